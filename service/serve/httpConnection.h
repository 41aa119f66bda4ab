#pragma once
// Inside the HTTP front (httpServer.cpp and httpConnection.cpp only): the event loops and one client
// connection. Built with Asio and Beast's request parser; nothing else in the service includes it.
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <chrono>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "service/serve/httpServer.h"

namespace front {

using Clock = std::chrono::steady_clock;
using tcp = boost::asio::ip::tcp;

// What every event loop shares.
struct Shared {
  Shared(HttpHandlers handlers, ServerLimits limits, ServerCounters& counters)
      : handlers(std::move(handlers)), limits(limits), counters(counters) {}
  HttpHandlers handlers;
  ServerLimits limits;
  ServerCounters& counters;
  std::atomic<std::size_t> open{0};
  std::mutex clientsLock;
  std::map<boost::asio::ip::address, std::size_t> clients;  // open connections per capped address
};

class Connection;

// One event loop: its connections, and the sweep that cuts those past their deadline.
struct Loop {
  explicit Loop(Shared& shared) : shared(shared) {}
  Shared& shared;
  boost::asio::io_context context{1};
  boost::asio::steady_timer sweep{context};
  std::list<Connection*> connections;
  bool stopping = false;
  Clock::time_point stopDeadline;
};

// Holds one place under --max-per-client for an address, and gives it back when dropped.
class ClientSlot {
 public:
  ClientSlot() = default;
  ClientSlot(Shared& shared, boost::asio::ip::address address) : shared_(&shared), address_(std::move(address)) {}
  ClientSlot(ClientSlot&& other) noexcept : shared_(other.shared_), address_(other.address_) {
    other.shared_ = nullptr;
  }
  ClientSlot& operator=(ClientSlot&& other) noexcept {
    std::swap(shared_, other.shared_);
    std::swap(address_, other.address_);
    return *this;
  }
  ~ClientSlot();

 private:
  Shared* shared_ = nullptr;  // null for an exempt address
  boost::asio::ip::address address_;
};

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(tcp::socket socket, Loop& loop, ClientSlot slot);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // On its loop's thread: registers with the loop and waits for the first request.
  void start();
  // From the loop's sweep: closes the connection when its deadline has passed.
  void sweep(Clock::time_point now);
  // The server stops: a connection waiting for a request closes now, one in a request gets to the
  // loop's stop deadline and closes after its answer.
  void stop();

 private:
  enum class Phase {
    waiting,    // no byte of the next request yet
    reading,    // a request's head or body under way
    writing,    // an answer going out
    lingering,  // an answer that closes went out: the client's last bytes are read and dropped
  };

  void waitForBytes();
  void onReadable();
  void parse();
  bool acceptHead();
  void answer();
  void refuse(int status, std::atomic<std::uint64_t>& counter);
  void send(const HttpAnswer& answer, bool headOnly, bool keepAlive);
  void onSent(bool keepAlive);
  void linger();
  void setDeadline(Clock::time_point deadline);
  void close();

  tcp::socket socket_;
  std::string peer_;  // the client's address, for the routes that answer by who asks
  bool admitted_;     // whether that address may ask at all (HttpHandlers::admits)
  Loop& loop_;
  ClientSlot slot_;
  std::list<Connection*>::iterator place_;
  bool registered_ = false;
  Phase phase_ = Phase::waiting;
  bool firstRequest_ = true;
  Clock::time_point deadline_;
  boost::beast::flat_buffer buffer_;
  std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
  bool headAccepted_ = false;
  std::size_t headRead_ = 0;  // bytes of the current head the parser has taken
  std::vector<HttpHeader> headers_;
  std::string head_;
  std::shared_ptr<const std::string> body_;
  std::size_t lingered_ = 0;
};

}  // namespace front
