#pragma once
// One check as a libcurl transfer: the easy handle with its reply counted against the cap, and the
// multi handle of a round that holds them. Used by the checker alone.
#include <curl/curl.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "service/check/checker.h"

namespace check {

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;

// One check in flight. Lives at a fixed address while curl holds pointers to it.
struct Slot {
  EasyHandle easy;
  std::size_t candidate = 0;
  std::string token;
  std::string url;
  std::string proxy;
  std::string body;
  std::size_t received = 0;  // headers and body, against the cap
  std::size_t cap = 0;
  bool overCap = false;
  bool localFailure = false;  // the reply could not be kept here (out of memory): no verdict
  int socketError = 0;        // errno of a socket that could not even be opened (EMFILE...)
  bool busy = false;
};

// Sets the slot up to fetch the check URL with `token` through the candidate as an HTTP proxy. False
// when it cannot be set up here (no easy handle, an option refused for want of memory).
bool prepare(Slot& slot, const CheckCandidate& candidate, const CheckSettings& settings, std::string token);

// The whole exchange through the proxy, rounded to milliseconds.
std::uint32_t latencyMs(const Slot& slot);

// Takes every easy handle out of the multi handle before either is freed, whatever ends the round.
class Round {
 public:
  // The slots' easy handles are made as they are first used (prepare), so one that cannot be made
  // costs one check, not the round.
  explicit Round(std::size_t slots) : multi_(curl_multi_init()), slots_(slots) {
    if (!multi_) throw std::runtime_error("curl_multi_init failed");
  }
  Round(const Round&) = delete;
  Round& operator=(const Round&) = delete;
  ~Round() {
    for (Slot& slot : slots_) {
      if (slot.busy) curl_multi_remove_handle(multi_.get(), slot.easy.get());
    }
  }

  CURLM* multi() const { return multi_.get(); }
  std::vector<Slot>& slots() { return slots_; }

  // False when the multi handle would not take it (out of memory).
  bool start(Slot& slot) {
    slot.busy = curl_multi_add_handle(multi_.get(), slot.easy.get()) == CURLM_OK;
    return slot.busy;
  }

  void finish(Slot& slot) {
    curl_multi_remove_handle(multi_.get(), slot.easy.get());
    slot.busy = false;
  }

 private:
  MultiHandle multi_;  // declared first so it is freed after the slots' easy handles
  std::vector<Slot> slots_;
};

}  // namespace check
