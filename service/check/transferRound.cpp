#include "service/check/transferRound.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace check {

namespace {

constexpr int kEventsPerWait = 1024;

long long monotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// A socket's epoll word: its lane above, its number below.
std::uint64_t eventWord(std::size_t lane, curl_socket_t fd) {
  return (static_cast<std::uint64_t>(lane) << 32) | static_cast<std::uint32_t>(fd);
}

}  // namespace

Round::Round(std::size_t slots) : epoll_(epoll_create1(EPOLL_CLOEXEC)), events_(kEventsPerWait), slots_(slots) {
  if (epoll_ < 0) throw std::runtime_error("epoll_create1 failed");
  const std::size_t lanes = std::max<std::size_t>(1, (slots + kSlotsPerLane - 1) / kSlotsPerLane);
  for (std::size_t index = 0; index < lanes; ++index) {
    auto lane = std::make_unique<Lane>();
    lane->round = this;
    lane->index = index;
    lane->multi.reset(curl_multi_init());
    if (!lane->multi) {
      lanes_.clear();
      close(epoll_);
      throw std::runtime_error("curl_multi_init failed");
    }
    CURLM* multi = lane->multi.get();
    curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, &Round::onSocket);
    curl_multi_setopt(multi, CURLMOPT_SOCKETDATA, lane.get());
    curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION, &Round::onTimer);
    curl_multi_setopt(multi, CURLMOPT_TIMERDATA, lane.get());
    lanes_.push_back(std::move(lane));
  }
}

Round::~Round() {
  for (Slot& slot : slots_) {
    if (slot.busy) curl_multi_remove_handle(laneOf(slot).multi.get(), slot.easy.get());
  }
  slots_.clear();  // the easy handles, before the multi handles whose callbacks use epoll_
  lanes_.clear();
  close(epoll_);
}

bool Round::start(Slot& slot) {
  slot.busy = curl_multi_add_handle(laneOf(slot).multi.get(), slot.easy.get()) == CURLM_OK;
  return slot.busy;
}

void Round::finish(Slot& slot) {
  curl_multi_remove_handle(laneOf(slot).multi.get(), slot.easy.get());
  slot.busy = false;
}

int Round::onSocket(CURL*, curl_socket_t fd, int what, void* data, void*) {
  Lane& lane = *static_cast<Lane*>(data);
  const int epoll = lane.round->epoll_;
  if (what == CURL_POLL_REMOVE) {
    epoll_ctl(epoll, EPOLL_CTL_DEL, fd, nullptr);
    return 0;
  }
  epoll_event event{};
  event.data.u64 = eventWord(lane.index, fd);
  event.events = ((what & CURL_POLL_IN) ? EPOLLIN : 0u) | ((what & CURL_POLL_OUT) ? EPOLLOUT : 0u);
  // A socket closed without a word leaves epoll by itself, so its number may come back unknown.
  if (epoll_ctl(epoll, EPOLL_CTL_MOD, fd, &event) != 0 && errno == ENOENT) {
    epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event);
  }
  return 0;
}

int Round::onTimer(CURLM*, long timeoutMs, void* data) {
  Lane& lane = *static_cast<Lane*>(data);
  lane.timerDue = timeoutMs < 0 ? -1 : monotonicMs() + timeoutMs;
  return 0;
}

void Round::act(Lane& lane, curl_socket_t fd, int flags) {
  int running = 0;
  CURLMcode code = curl_multi_socket_action(lane.multi.get(), fd, flags, &running);
  // A socket libcurl has let go of in the meantime is no failure of the round.
  if (code != CURLM_OK && code != CURLM_BAD_SOCKET) throw std::runtime_error("curl_multi_socket_action failed");
}

void Round::step(int maxWaitMs) {
  long long wait = maxWaitMs;
  const long long now = monotonicMs();
  for (const auto& lane : lanes_) {
    if (lane->timerDue >= 0) wait = std::clamp(lane->timerDue - now, 0LL, wait);
  }
  int ready = epoll_wait(epoll_, events_.data(), static_cast<int>(events_.size()), static_cast<int>(wait));
  if (ready < 0 && errno != EINTR) throw std::runtime_error("epoll_wait failed");
  for (int at = 0; at < ready; ++at) {
    const epoll_event& event = events_[static_cast<std::size_t>(at)];
    int flags = 0;
    if (event.events & EPOLLIN) flags |= CURL_CSELECT_IN;
    if (event.events & EPOLLOUT) flags |= CURL_CSELECT_OUT;
    if (event.events & (EPOLLERR | EPOLLHUP)) flags |= CURL_CSELECT_ERR;
    act(*lanes_[event.data.u64 >> 32], static_cast<curl_socket_t>(event.data.u64 & 0xFFFFFFFFu), flags);
  }
  const long long after = monotonicMs();
  for (const auto& lane : lanes_) {
    if (lane->timerDue >= 0 && after >= lane->timerDue) {
      lane->timerDue = -1;  // libcurl sets the next one from inside
      act(*lane, CURL_SOCKET_TIMEOUT, 0);
    }
  }
}

Slot* Round::nextEnded(CURLcode& result) {
  for (; reading_ < lanes_.size(); ++reading_) {
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(lanes_[reading_]->multi.get(), &queued)) {
      if (message->msg != CURLMSG_DONE) continue;
      void* data = nullptr;
      curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &data);
      result = message->data.result;  // `message` is invalid once its handle is removed
      return static_cast<Slot*>(data);
    }
  }
  reading_ = 0;
  return nullptr;
}

}  // namespace check
