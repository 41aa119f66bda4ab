#pragma once
// A spy on one row of the declared-function table: what our code calls through the row is
// counted and its last arguments kept, then the real function runs.
#include <atomic>
#include <tuple>
#include <type_traits>

#include "gfx/declared.h"

// While it lives, calls through the row go to a forwarder that counts them, keeps the last
// arguments and runs onCall (when set, for a test to look at the state at that moment), then
// calls the real function.
template <auto& row>
class RowSpy;

template <typename R, typename... A, DeclaredFunction<R WINAPI(A...)>& row>
class RowSpy<row> {
 public:
  RowSpy() {
    real_ = row.target();
    calls = 0;
    onCall = nullptr;
    address().store(reinterpret_cast<void*>(&forward));
  }
  ~RowSpy() { address().store(reinterpret_cast<void*>(real_)); }
  RowSpy(const RowSpy&) = delete;
  RowSpy& operator=(const RowSpy&) = delete;

  static inline int calls = 0;
  static inline std::tuple<std::decay_t<A>...> lastArguments;
  static inline void (*onCall)() = nullptr;

 private:
  static R WINAPI forward(A... arguments) {
    ++calls;
    lastArguments = std::tuple<std::decay_t<A>...>(arguments...);
    if (onCall) onCall();
    return real_(arguments...);
  }
  // The table's rows are ordinary (non-const) objects; row() only offers a read-only view.
  static std::atomic<void*>& address() { return const_cast<DeclaredRow&>(row.row()).address; }

  static inline R(WINAPI* real_)(A...) = nullptr;
};
