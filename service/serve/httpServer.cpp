#include "service/serve/httpServer.h"

#include <sys/resource.h>

#include <boost/asio/ip/address.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <cctype>
#include <csignal>
#include <thread>

#include "service/serve/httpConnection.h"

namespace {

using front::Clock;
using front::tcp;

// How often each loop looks for connections past their deadline: deadlines hold to about this.
constexpr auto kSweepEvery = std::chrono::milliseconds(100);
// After the process runs out of file descriptors, accepting waits this long before it tries again.
constexpr auto kAcceptPause = std::chrono::milliseconds(100);

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// The machine's own addresses: the local program and local load tests are never capped.
bool exempt(const boost::asio::ip::address& address) {
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    return address.to_v6().to_v4() == boost::asio::ip::address_v4::loopback();
  }
  return address == boost::asio::ip::address_v4::loopback() || address == boost::asio::ip::address_v6::loopback();
}

}  // namespace

std::string_view HttpRequest::header(std::string_view name) const {
  for (const HttpHeader& header : headers) {
    if (sameName(header.first, name)) return header.second;
  }
  return {};
}

struct HttpServer::Impl {
  Impl(HttpHandlers handlers, ServerLimits limits, ServerCounters& counters)
      : shared(std::move(handlers), limits, counters), loops(makeLoops(shared)) {}

  static std::vector<std::unique_ptr<front::Loop>> makeLoops(front::Shared& shared) {
    std::vector<std::unique_ptr<front::Loop>> loops;
    for (unsigned i = 0; i < std::max(1u, shared.limits.threads); ++i) {
      loops.push_back(std::make_unique<front::Loop>(shared));
    }
    return loops;
  }

  front::Shared shared;
  std::vector<std::unique_ptr<front::Loop>> loops;
  boost::asio::io_context& main() { return loops.front()->context; }
  tcp::acceptor acceptor{main()};
  boost::asio::steady_timer acceptPause{main()};
  boost::asio::signal_set signals{main()};
  std::size_t nextLoop = 0;

  void accept();
  void admit(tcp::socket socket, front::Loop& loop);
  void sweep(front::Loop& loop);
  void stop();
};

void HttpServer::Impl::accept() {
  front::Loop& loop = *loops[nextLoop];
  nextLoop = (nextLoop + 1) % loops.size();
  acceptor.async_accept(loop.context, [this, &loop](const boost::system::error_code& error, tcp::socket socket) {
    if (error == boost::asio::error::operation_aborted || !acceptor.is_open()) return;
    if (error == boost::asio::error::no_descriptors || error == boost::asio::error::no_buffer_space) {
      // Out of file descriptors: the connection waits in the backlog until one is free.
      acceptPause.expires_after(kAcceptPause);
      acceptPause.async_wait([this](const boost::system::error_code& waited) {
        if (!waited) accept();
      });
      return;
    }
    if (!error) admit(std::move(socket), loop);
    accept();
  });
}

void HttpServer::Impl::admit(tcp::socket socket, front::Loop& loop) {
  boost::system::error_code error;
  tcp::endpoint peer = socket.remote_endpoint(error);
  if (error) return;
  // Over a cap the connection is closed at once: no answer is written to a client that floods.
  if (shared.open >= shared.limits.maxConnections) {
    ++shared.counters.totalRefused;
    return;
  }
  front::ClientSlot slot;
  if (!exempt(peer.address())) {
    std::lock_guard lock(shared.clientsLock);
    std::size_t& open = shared.clients[peer.address()];
    if (open >= shared.limits.maxPerClient) {
      if (open == 0) shared.clients.erase(peer.address());
      ++shared.counters.perClientRefused;
      return;
    }
    ++open;
    slot = front::ClientSlot(shared, peer.address());
  }
  ++shared.open;
  auto connection = std::make_shared<front::Connection>(std::move(socket), loop, std::move(slot));
  boost::asio::post(loop.context, [connection] { connection->start(); });
}

void HttpServer::Impl::sweep(front::Loop& loop) {
  loop.sweep.expires_after(kSweepEvery);
  loop.sweep.async_wait([this, &loop](const boost::system::error_code& error) {
    if (error) return;
    Clock::time_point now = Clock::now();
    // Closing only cancels what is pending: no connection leaves the list while it is walked.
    for (front::Connection* connection : loop.connections) connection->sweep(now);
    if (loop.stopping && loop.connections.empty()) return;  // nothing left: the loop may end
    sweep(loop);
  });
}

void HttpServer::Impl::stop() {
  boost::system::error_code ignored;
  acceptor.close(ignored);
  acceptPause.cancel();
  signals.cancel(ignored);  // the signals stay caught (a second one is not fatal) but no longer wait
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(shared.limits.stopGraceMs);
  for (auto& each : loops) {
    front::Loop* loop = each.get();
    boost::asio::post(loop->context, [loop, deadline] {
      if (loop->stopping) return;
      loop->stopping = true;
      loop->stopDeadline = deadline;
      // Copied: a connection closed here leaves the list only later, but stay on the safe side.
      std::vector<front::Connection*> open(loop->connections.begin(), loop->connections.end());
      for (front::Connection* connection : open) connection->stop();
      if (loop->connections.empty()) loop->sweep.cancel();
    });
  }
}

HttpServer::HttpServer(HttpHandlers handlers, ServerLimits limits, ServerCounters& counters)
    : impl_(std::make_unique<Impl>(std::move(handlers), limits, counters)) {}

HttpServer::~HttpServer() = default;

int HttpServer::listen(const std::string& address, int port, std::string& error) {
  boost::system::error_code failure;
  boost::asio::ip::address ip = boost::asio::ip::make_address(address, failure);
  tcp::endpoint at(ip, static_cast<unsigned short>(port));
  tcp::acceptor& acceptor = impl_->acceptor;
  if (!failure) acceptor.open(at.protocol(), failure);
  // Address reuse only: the port is taken again at once after a restart (connections of the previous
  // listener may linger in TIME_WAIT), yet a second service on a port already listened on is refused
  // instead of sharing it, as port reuse would let it.
  if (!failure) acceptor.set_option(tcp::acceptor::reuse_address(true), failure);
  if (!failure) acceptor.bind(at, failure);
  if (!failure) acceptor.listen(tcp::acceptor::max_listen_connections, failure);
  if (failure) {
    error = failure.message();
    boost::system::error_code ignored;
    acceptor.close(ignored);
    return 0;
  }
  return acceptor.local_endpoint().port();
}

void HttpServer::run() {
  Impl& impl = *impl_;
  if (impl.acceptor.is_open()) impl.accept();
  for (auto& loop : impl.loops) impl.sweep(*loop);
  std::vector<std::thread> more;
  for (std::size_t i = 1; i < impl.loops.size(); ++i) {
    more.emplace_back([loop = impl.loops[i].get()] { loop->context.run(); });
  }
  impl.main().run();
  for (std::thread& thread : more) thread.join();
}

void HttpServer::stop() {
  boost::asio::post(impl_->main(), [impl = impl_.get()] { impl->stop(); });
}

void HttpServer::stopOnSignals() {
  Impl& impl = *impl_;
  impl.signals.add(SIGINT);
  impl.signals.add(SIGTERM);
  impl.signals.async_wait([&impl](const boost::system::error_code& error, int) {
    if (!error) impl.stop();
  });
}

std::size_t HttpServer::openConnections() const {
  return impl_->shared.open;
}
