#include "service/serve/httpConnection.h"

#include <array>
#include <boost/asio/write.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/status.hpp>
#include <exception>

namespace front {

namespace http = boost::beast::http;

namespace {

constexpr std::size_t kReadBytes = 4096;
// After an answer that closes, what the client still sends is read and dropped for a while, so the
// close does not reset the connection under an answer the client has not read yet; never for long.
constexpr std::size_t kLingerBytes = 256 * 1024;
constexpr std::chrono::milliseconds kLinger{2000};
constexpr std::chrono::milliseconds kLingerAtStop{200};  // a stopping service does not wait on it
// A client that stops reading its answer is cut after this long.
constexpr auto kSendTime = std::chrono::seconds(30);
// "GET " and " HTTP/1.1": a request line longer than the target cap by more than this is over it.
constexpr std::size_t kRequestLineExtra = 32;

std::chrono::milliseconds ms(std::int64_t milliseconds) {
  return std::chrono::milliseconds(milliseconds);
}

}  // namespace

ClientSlot::~ClientSlot() {
  if (!shared_) return;
  std::lock_guard lock(shared_->clientsLock);
  auto found = shared_->clients.find(address_);
  if (found != shared_->clients.end() && --found->second == 0) shared_->clients.erase(found);
}

namespace {

// An IPv4 client of a dual-stack listener shows as ::ffff:a.b.c.d; it is named as the IPv4 address.
std::string addressOf(const tcp::socket& socket) {
  boost::system::error_code error;
  tcp::endpoint peer = socket.remote_endpoint(error);
  if (error) return {};
  boost::asio::ip::address address = peer.address();
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, address.to_v6()).to_string();
  }
  return address.to_string();
}

}  // namespace

Connection::Connection(tcp::socket socket, Loop& loop, ClientSlot slot)
    : socket_(std::move(socket)),
      peer_(addressOf(socket_)),
      admitted_(!loop.shared.handlers.admits || loop.shared.handlers.admits(peer_)),
      loop_(loop),
      slot_(std::move(slot)) {}

Connection::~Connection() {
  if (registered_) loop_.connections.erase(place_);
  --loop_.shared.open;
}

void Connection::start() {
  place_ = loop_.connections.insert(loop_.connections.end(), this);
  registered_ = true;
  boost::system::error_code ignored;
  socket_.set_option(tcp::no_delay(true), ignored);  // each answer is one write; never wait for an ack
  socket_.non_blocking(true, ignored);
  // A new connection has the head deadline from its opening: one that never says a word is cut then.
  deadline_ = Clock::now() + ms(loop_.shared.limits.headTimeoutMs);
  if (loop_.stopping) return close();
  waitForBytes();
}

void Connection::setDeadline(Clock::time_point deadline) {
  deadline_ = loop_.stopping ? std::min(deadline, loop_.stopDeadline) : deadline;
}

void Connection::sweep(Clock::time_point now) {
  if (now < deadline_ || !socket_.is_open()) return;
  ServerCounters& counters = loop_.shared.counters;
  if (!loop_.stopping) {
    if (phase_ == Phase::reading || (phase_ == Phase::waiting && firstRequest_)) ++counters.headTimeouts;
    if (phase_ == Phase::waiting && !firstRequest_) ++counters.idleCloses;
    if (phase_ == Phase::writing) ++counters.sendTimeouts;
  }
  close();
}

void Connection::stop() {
  if (phase_ == Phase::waiting) return close();
  setDeadline(deadline_);
}

void Connection::close() {
  boost::system::error_code ignored;
  socket_.close(ignored);  // what is pending ends with operation_aborted, and the last owner lets go
}

void Connection::waitForBytes() {
  socket_.async_wait(tcp::socket::wait_read, [self = shared_from_this()](const boost::system::error_code& error) {
    if (error) return self->close();
    self->phase_ == Phase::lingering ? self->linger() : self->onReadable();
  });
}

void Connection::onReadable() {
  boost::system::error_code error;
  std::size_t got = socket_.read_some(buffer_.prepare(kReadBytes), error);
  if (error == boost::asio::error::would_block) return waitForBytes();
  if (error || got == 0) return close();  // the client left, or reset
  buffer_.commit(got);
  if (phase_ == Phase::waiting) {
    phase_ = Phase::reading;
    setDeadline(Clock::now() + ms(loop_.shared.limits.headTimeoutMs));
  }
  parse();
}

void Connection::parse() {
  const ServerLimits& limits = loop_.shared.limits;
  ServerCounters& counters = loop_.shared.counters;
  while (true) {
    if (!parser_) {
      parser_.emplace();
      parser_->header_limit(static_cast<std::uint32_t>(limits.maxHeadBytes));
      parser_->body_limit(limits.maxBodyBytes);
      headAccepted_ = false;
      headRead_ = 0;
    }
    if (buffer_.size() == 0) return waitForBytes();
    boost::beast::error_code error;
    std::size_t used = parser_->put(buffer_.data(), error);
    buffer_.consume(used);
    if (!parser_->is_header_done()) headRead_ += used;
    bool lineDone = headRead_ > 0;  // the parser takes the request line on its own, then the fields
    if (error == http::error::need_more) {
      std::size_t head = headRead_ + buffer_.size();
      if (!lineDone && buffer_.size() > limits.maxTargetBytes + kRequestLineExtra) {
        return refuse(414, counters.targetTooLong);
      }
      if (head > limits.maxHeadBytes) return refuse(431, counters.headTooLarge);
      return waitForBytes();
    }
    if (error == http::error::body_limit) return refuse(413, counters.bodyTooLarge);
    if (error == http::error::header_limit) {
      return lineDone ? refuse(431, counters.headTooLarge) : refuse(414, counters.targetTooLong);
    }
    if (error) return refuse(400, counters.malformed);
    if (parser_->is_header_done() && !headAccepted_ && !acceptHead()) return;
    if (parser_->is_done()) return answer();
  }
}

bool Connection::acceptHead() {
  headAccepted_ = true;
  const auto& request = parser_->get();
  ServerCounters& counters = loop_.shared.counters;
  // First: a client that may not ask learns nothing more from us than this.
  const HttpHandlers& handlers = loop_.shared.handlers;
  if (!admitted_ && !(handlers.openToAll && handlers.openToAll(request.target()))) {
    refuse(403, counters.notAllowed);
    return false;
  }
  if (request.target().size() > loop_.shared.limits.maxTargetBytes) {
    refuse(414, counters.targetTooLong);
    return false;
  }
  if (request.method() != http::verb::get && request.method() != http::verb::head) {
    refuse(405, counters.methodNotAllowed);
    return false;
  }
  return true;
}

void Connection::answer() {
  const auto& request = parser_->get();
  headers_.clear();
  for (const auto& field : request) headers_.emplace_back(field.name_string(), field.value());
  HttpRequest asked{request.method_string(), request.target(), headers_, peer_};
  bool keepAlive = request.keep_alive() && !loop_.stopping;
  bool headOnly = request.method() == http::verb::head;
  try {
    send(loop_.shared.handlers.answer(asked), headOnly, keepAlive);
  } catch (const std::exception&) {
    send(loop_.shared.handlers.refusal(500), headOnly, false);
  }
}

void Connection::refuse(int status, std::atomic<std::uint64_t>& counter) {
  ++counter;
  bool headOnly = parser_ && parser_->is_header_done() && parser_->get().method() == http::verb::head;
  send(loop_.shared.handlers.refusal(status), headOnly, false);
}

void Connection::send(const HttpAnswer& answer, bool headOnly, bool keepAlive) {
  static const std::string kNothing;
  body_ = answer.body;
  const std::string& body = body_ ? *body_ : kNothing;
  bool http10 = parser_ && parser_->get().version() == 10;
  head_.clear();
  head_ += "HTTP/1.1 ";
  head_ += std::to_string(answer.status);
  head_ += ' ';
  std::string_view reason = http::obsolete_reason(http::int_to_status(static_cast<unsigned>(answer.status)));
  head_ += reason;
  head_ += "\r\n";
  if (!answer.contentType.empty()) {
    head_ += "Content-Type: ";
    head_ += answer.contentType;
    head_ += "\r\n";
  }
  head_ += "Content-Length: ";
  head_ += std::to_string(body.size());
  head_ += "\r\n";
  head_ += answer.headers;
  if (!keepAlive) {
    head_ += "Connection: close\r\n";
  } else if (http10) {
    head_ += "Connection: keep-alive\r\n";
  }
  head_ += "\r\n";
  parser_.reset();
  phase_ = Phase::writing;
  setDeadline(Clock::now() + kSendTime);
  std::array<boost::asio::const_buffer, 2> pieces = {boost::asio::buffer(head_),
                                                     boost::asio::buffer(body.data(), headOnly ? 0 : body.size())};
  boost::asio::async_write(socket_, pieces,
                           [self = shared_from_this(), keepAlive](const boost::system::error_code& error, std::size_t) {
                             if (error) return self->close();
                             self->onSent(keepAlive);
                           });
}

void Connection::onSent(bool keepAlive) {
  body_.reset();
  firstRequest_ = false;
  if (!keepAlive || loop_.stopping) {
    boost::system::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_send, ignored);
    phase_ = Phase::lingering;
    lingered_ = 0;
    buffer_.clear();
    setDeadline(Clock::now() + (loop_.stopping ? kLingerAtStop : kLinger));
    return linger();
  }
  if (buffer_.size() > 0) {  // the next request came pipelined behind this one
    phase_ = Phase::reading;
    setDeadline(Clock::now() + ms(loop_.shared.limits.headTimeoutMs));
    return parse();
  }
  phase_ = Phase::waiting;
  buffer_.shrink_to_fit();  // an idle connection holds no buffer
  setDeadline(Clock::now() + ms(loop_.shared.limits.idleTimeoutMs));
  waitForBytes();
}

void Connection::linger() {
  while (true) {
    boost::system::error_code error;
    std::size_t got = socket_.read_some(buffer_.prepare(kReadBytes), error);
    if (error == boost::asio::error::would_block) return waitForBytes();
    lingered_ += got;
    if (error || got == 0 || lingered_ > kLingerBytes) return close();
  }
}

}  // namespace front
