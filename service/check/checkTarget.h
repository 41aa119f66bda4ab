#pragma once
// The target side of the live check: any quorvelip-service answers GET /check?token=X with its signed
// answer to X (checkAnswer.h; the route is the HTTP front's, in service/serve/routes.*), so one service
// can check proxies for another that shares its key. Beside the token the answer says what the target
// saw of the request: the address it came from (`peer`) and every header that gives a client or a proxy
// away (`via`, `x-forwarded-for`, ...: kRevealingHeaders), so the checker can tell the proxy's exit and
// grade how much it gives its client away. All of it is covered by the MAC and bounded: a value is cut
// at kMaxSeenValueBytes, and the lines stay within what the reader takes.
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "service/check/checkKey.h"

// A request header as the HTTP front hands it over: name, value.
using SeenHeader = std::pair<std::string_view, std::string_view>;

// What the target saw of one check request.
struct CheckSight {
  std::string_view peer;  // the address the connection came from, as text; empty when unknown
  std::span<const SeenHeader> headers = {};
};

// The fact naming the peer; the others are header names in lowercase.
inline constexpr char kPeerFact[] = "peer";
// When more revealing headers came than the answer has lines for: how many were left out.
inline constexpr char kMoreHeadersFact[] = "more-headers";
inline constexpr std::size_t kMaxSeenValueBytes = 200;

// Headers a client does not send itself: each tells that a proxy is in between, and most may carry the
// client's address. Reported in this order. A leaked Proxy-Authorization is reported as present, never
// with its value (the proxy's credentials).
inline constexpr std::array<std::string_view, 24> kRevealingHeaders = {
    "via",
    "x-forwarded-for",
    "forwarded",
    "x-real-ip",
    "client-ip",
    "x-client-ip",
    "true-client-ip",
    "x-cluster-client-ip",
    "cf-connecting-ip",
    "x-originating-ip",
    "x-remote-ip",
    "x-remote-addr",
    "x-proxyuser-ip",
    "forwarded-for",
    "x-forwarded",
    "x-forwarded-host",
    "x-forwarded-server",
    "x-forwarded-proto",
    "x-forwarded-port",
    "proxy-connection",
    "x-proxy-id",
    "x-bluecoat-via",
    "x-proxy-connection",
    "proxy-authorization",
};
inline constexpr char kHiddenValue[] = "present";

// The answer body to a check request with this raw query string (the text after "?") and what the target
// saw of it, or nothing when the query does not hold exactly one `token` of 1 to kMaxCheckTokenLength hex
// digits. Other keys are ignored, so a check URL may carry a query of its own.
std::optional<std::string> answerCheck(std::string_view rawQuery, const CheckKey& key, const CheckSight& sight = {});
