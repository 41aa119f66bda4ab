#pragma once
// The transfers of a round, driven by events: libcurl says which sockets to watch and when its next timer
// falls due, epoll says which are ready, and only those transfers are run (curl_multi_socket_action), so a
// round with thousands of checks in flight does not walk every one of them at each wake-up.
//
// The slots are shared out over several multi handles ("lanes") of a few hundred each. libcurl keeps one
// connection bundle per proxy address and, when a connection closes, finds its bundle by walking every
// bundle of the multi handle; with one handle that walk grew with the checks in flight and took most of
// the checking thread at thousands of them.
#include <curl/curl.h>
#include <sys/epoll.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "service/check/checkTransfer.h"

namespace check {

class Round {
 public:
  // The slots' easy handles are made as they are first used (prepare), so one that cannot be made
  // costs one check, not the round.
  explicit Round(std::size_t slots);
  Round(const Round&) = delete;
  Round& operator=(const Round&) = delete;
  ~Round();

  std::vector<Slot>& slots() { return slots_; }
  std::size_t indexOf(const Slot& slot) const { return static_cast<std::size_t>(&slot - slots_.data()); }
  // False when the multi handle would not take it (out of memory).
  bool start(Slot& slot);
  void finish(Slot& slot);
  // Waits at most `maxWaitMs` (less when a libcurl timer falls due sooner) for ready sockets, and runs
  // the transfers they and the timers concern. Throws std::runtime_error when a multi handle fails as a
  // whole.
  void step(int maxWaitMs);
  // The next transfer that ended, with how; null once none is left since the last step.
  Slot* nextEnded(CURLcode& result);

 private:
  struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
  };
  struct Lane {
    Round* round = nullptr;
    std::size_t index = 0;
    std::unique_ptr<CURLM, MultiDeleter> multi;
    long long timerDue = -1;  // monotonic milliseconds of libcurl's next timer; -1 for none
  };
  static int onSocket(CURL* easy, curl_socket_t fd, int what, void* lane, void* socketData);
  static int onTimer(CURLM* multi, long timeoutMs, void* lane);
  Lane& laneOf(const Slot& slot) { return *lanes_[indexOf(slot) / kSlotsPerLane]; }
  void act(Lane& lane, curl_socket_t fd, int flags);

  static constexpr std::size_t kSlotsPerLane = 256;
  int epoll_ = -1;
  std::vector<struct epoll_event> events_;
  std::vector<std::unique_ptr<Lane>> lanes_;  // before the slots, so freed after their easy handles
  std::vector<Slot> slots_;
  std::size_t reading_ = 0;  // the lane nextEnded reads from
};

}  // namespace check
