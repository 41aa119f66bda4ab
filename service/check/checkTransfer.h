#pragma once
// One attempt of a check as a libcurl transfer: the easy handle set up for one protocol through the
// candidate (or straight to the target), its reply counted against the cap, and what its end says
// (candidateProbe.h's Attempt); and the multi handle of a round that holds them. Used by the checker alone.
#include <curl/curl.h>
#include <sys/epoll.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "service/check/candidateProbe.h"
#include "service/check/checker.h"

namespace check {

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using ListHandle = std::unique_ptr<curl_slist, ListDeleter>;

// What every transfer of a round shares.
struct TransferCommon {
  explicit TransferCommon(const CheckSettings& settings);
  const CheckSettings& settings;
  bool proxyResolves = false;  // the check URL names a host: SOCKS4a and SOCKS5h let the proxy resolve it
  bool alwaysTunnels = false;  // an https check URL: an HTTP proxy is asked for a tunnel either way
  ListHandle headers;          // the request's own header lines
};

// One transfer in flight. Lives at a fixed address while curl holds pointers to it.
struct Slot {
  EasyHandle easy;
  std::size_t candidate = 0;
  ProtocolBit protocol = kHttp;
  std::string token;
  std::string url;
  std::string proxy;
  std::string body;
  std::size_t received = 0;  // headers and body, against the cap
  std::size_t cap = 0;
  bool overCap = false;
  bool sawHttp = false;       // an HTTP status line came back (of the request or of a CONNECT)
  bool localFailure = false;  // the reply could not be kept here (out of memory): no verdict
  int socketError = 0;        // errno of a socket that could not even be opened (EMFILE...)
  bool busy = false;
};

// Sets the slot up to fetch the check URL with `token` through `candidate` as `protocol`, with its
// credentials; or, with no candidate, straight to the target. False when it cannot be set up here (no easy
// handle, an option refused for want of memory).
bool prepare(Slot& slot, const CheckCandidate* candidate, ProtocolBit protocol, const TransferCommon& common,
             std::string token);

// What the ended transfer says: its verdict, how it ended for the other protocols, the latency and, when
// it worked, the facts the target reported.
Attempt readAttempt(const Slot& slot, CURLcode result, const CheckKey& key);

// The local address of the ended transfer's connection, empty when unknown.
std::string localAddress(const Slot& slot);

// The multi handle of a round, driven by events: libcurl says which sockets to watch and when its next
// timer falls due, epoll says which are ready, and only those transfers are run (curl_multi_socket_action),
// so a round with thousands of checks in flight does not walk every one of them at each wake-up. Takes
// every easy handle out of the multi handle before either is freed, whatever ends the round.
class Round {
 public:
  // The slots' easy handles are made as they are first used (prepare), so one that cannot be made
  // costs one check, not the round.
  explicit Round(std::size_t slots);
  Round(const Round&) = delete;
  Round& operator=(const Round&) = delete;
  ~Round();

  CURLM* multi() const { return multi_.get(); }
  std::vector<Slot>& slots() { return slots_; }
  std::size_t indexOf(const Slot& slot) const { return static_cast<std::size_t>(&slot - slots_.data()); }

  // False when the multi handle would not take it (out of memory).
  bool start(Slot& slot) {
    slot.busy = curl_multi_add_handle(multi_.get(), slot.easy.get()) == CURLM_OK;
    return slot.busy;
  }

  void finish(Slot& slot) {
    curl_multi_remove_handle(multi_.get(), slot.easy.get());
    slot.busy = false;
  }

  // Waits at most `maxWaitMs` (less when a libcurl timer falls due sooner) for ready sockets, and runs
  // the transfers they and the timers concern; ended transfers are then in curl_multi_info_read. Throws
  // std::runtime_error when the multi handle fails as a whole.
  void step(int maxWaitMs);

 private:
  static int onSocket(CURL* easy, curl_socket_t fd, int what, void* round, void* socketData);
  static int onTimer(CURLM* multi, long timeoutMs, void* round);
  void act(curl_socket_t fd, int flags);

  int epoll_ = -1;
  long long timerDue_ = -1;  // monotonic milliseconds of libcurl's next timer; -1 for none
  std::vector<struct epoll_event> events_;
  MultiHandle multi_;  // declared before the slots so it is freed after their easy handles
  std::vector<Slot> slots_;
};

}  // namespace check
