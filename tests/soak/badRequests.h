#pragma once
// Malformed and awkward requests for the service's HTTP front, each with what must come back: broken
// request lines, heads too large, binary garbage, a body announced on a GET that never comes, pipelined
// requests, HTTP/1.0 and 1.1 keep-alive mixes, bodies and methods refused. Shared by the short form in
// host_tests and the long one under tests/soak; the server must run with a short --head-timeout
// (kBadRequestHeadTimeoutMs), since one kind waits for it.
#include <random>
#include <string>
#include <vector>

#include "rawHttp.h"
#include "tests/soak/queryMix.h"

namespace soak {

inline constexpr int kBadRequestHeadTimeoutMs = 1000;

struct BadRequest {
  std::string kind;
  std::vector<std::string> writes;  // sent one after the other
  // The answers that must come, in order, by status; a 0 stands for "any 4xx". Empty: none may come.
  std::vector<int> answers;
  bool closes = true;               // the server ends the connection after them
  bool silentCloseAllowed = false;  // garbage the parser may give up on without a word
};

inline std::string randomBytes(std::mt19937& random, std::size_t length) {
  std::string bytes;
  for (std::size_t i = 0; i < length; ++i) bytes += static_cast<char>(random() % 256);
  return bytes;
}

inline BadRequest makeBadRequest(std::mt19937& random) {
  const std::string get = "GET /mo.php?tqsl=%32 HTTP/1.1\r\nHost: x\r\n";
  switch (random() % 16) {
    case 0: {
      static const std::vector<std::string> lines = {"GET\r\n\r\n",
                                                     "GET /mo.php HTTP/9.9\r\n\r\n",
                                                     "GET /mo.php HTTP/1.1 extra\r\n\r\n",
                                                     "G@T /mo.php HTTP/1.1\r\n\r\n",
                                                     " /mo.php HTTP/1.1\r\n\r\n",
                                                     "GET /mo.php\rHTTP/1.1\r\n\r\n",
                                                     "GET  /mo.php HTTP/1.1\r\n\r\n"};
      return {"bad request line", {pick(random, lines)}, {400}};
    }
    case 1:
      return {"header without a colon", {get + "Broken header\r\n\r\n"}, {400}};
    case 2:
      return {"space in a header name", {get + "X A: 1\r\n\r\n"}, {400}};
    case 3:
      return {"huge header", {get + "X-Big: " + std::string(20000 + random() % 20000, 'h') + "\r\n\r\n"}, {431}};
    case 4: {
      std::string many = get;
      for (int i = 0; i < 2000; ++i) many += "X-" + std::to_string(i) + ": v\r\n";
      return {"many headers", {many + "\r\n"}, {431}};
    }
    case 5:
      return {
          "target too long", {"GET /mo.php?" + std::string(9000 + random() % 9000, 'q') + " HTTP/1.1\r\n\r\n"}, {414}};
    case 6:
      return {"binary garbage", {randomBytes(random, 1 + random() % 2000)}, {0}, true, true};
    case 7:
      return {"garbage after a request line",
              {"GET /mo.php HTTP/1.1\r\n" + randomBytes(random, 200) + "\r\n\r\n"},
              {0},
              true,
              true};
    case 8:
      return {"a body announced and never sent", {get + "Content-Length: 100\r\n\r\n" + "only part"}, {}};
    case 9:
      return {"bad content length", {get + "Content-Length: 12ab\r\n\r\n"}, {400}};
    case 10:
      return {"two content lengths", {get + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nab"}, {400}};
    case 11:
      return {"bad chunk", {get + "Transfer-Encoding: chunked\r\n\r\nzz\r\n"}, {400}};
    case 12:
      return {"body too large", {get + "Content-Length: 999999999\r\n\r\n" + std::string(4096, 'b')}, {413}};
    case 13:
      return {"other method", {"POST /mo.php HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\nabc"}, {405}};
    case 14: {
      // Three at once: answered in order on the same connection, which stays open.
      std::string three;
      for (int count : {1, 2, 3}) three += "GET /mo.php?tqsl=" + std::to_string(count) + " HTTP/1.1\r\nHost: x\r\n\r\n";
      return {"pipelined", {three}, {200, 200, 200}, false};
    }
    default: {
      // HTTP/1.0 kept alive, then HTTP/1.1, then HTTP/1.1 asking to close.
      std::string mix = "GET /mo.php?tqsl=1 HTTP/1.0\r\nConnection: keep-alive\r\n\r\n";
      mix += "GET /mo.php?tqsl=2 HTTP/1.1\r\nHost: x\r\n\r\n";
      mix += "GET /mo.php?tqsl=3 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
      if (random() % 2) return {"HTTP/1.0 alone", {"GET /mo.php?tqsl=1 HTTP/1.0\r\n\r\n"}, {200}};
      return {"keep-alive mix", {mix}, {200, 200, 200}};
    }
  }
}

// Sends it on a fresh connection from `from`; empty when what came back is what must, else the fault.
// A listed answer of 200 must list as many entries as its request asked (1, 2, 3 in turn).
inline std::string tryBadRequest(int port, const BadRequest& request, const std::string& from = "127.0.0.1") {
  RawClient client(port, from);
  if (!client.connected()) return request.kind + ": no connection";
  for (const std::string& bytes : request.writes) client.send(bytes);  // may fail once the server has refused
  const int wait = kBadRequestHeadTimeoutMs + 2000;
  for (std::size_t i = 0; i < request.answers.size(); ++i) {
    std::optional<RawAnswer> answer = client.readAnswer(wait);
    if (!answer) {
      if (request.silentCloseAllowed && i == 0) return client.closedWithin(wait) ? "" : request.kind + ": left open";
      return request.kind + ": answer " + std::to_string(i + 1) + " missing";
    }
    int wanted = request.answers[i];
    bool right = wanted == 0 ? answer->status >= 400 && answer->status < 500 : answer->status == wanted;
    if (!right) return request.kind + ": status " + std::to_string(answer->status);
    if (answer->header("content-type") != kPageType) return request.kind + ": content type";
    Listed listed = listedIn(answer->body);
    if (!listed.found) return request.kind + ": a marker is missing";
    std::size_t entries = answer->status == 200 ? i + 1 : 0;
    if (listed.entries.size() != entries)
      return request.kind + ": " + std::to_string(listed.entries.size()) + " entries";
  }
  if (request.closes && !client.closedWithin(wait)) return request.kind + ": left open";
  if (!request.closes && client.closedWithin(200)) return request.kind + ": closed a kept-alive connection";
  return {};
}

}  // namespace soak
