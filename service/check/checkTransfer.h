#pragma once
// One attempt of a check as a libcurl transfer: the easy handle set up for one protocol through the
// candidate (or straight to the target), its reply counted against the cap, and what its end says
// (candidateProbe.h's Attempt). The round that runs them is transferRound.h. Used by the checker alone.
#include <curl/curl.h>

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
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
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

}  // namespace check
