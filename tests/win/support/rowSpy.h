#pragma once
// While it lives, calls through one declared-function row go to a forwarder that counts them,
// keeps the last arguments and runs an optional hook with them, then calls the real function.
#include <functional>
#include <tuple>
#include <type_traits>

#include "win32/binder.h"

template <auto& row>
class RowSpy;

template <typename R, typename... A, DeclaredFunction<R WINAPI(A...)>& row>
class RowSpy<row> {
 public:
  RowSpy() {
    real_ = row.target();
    calls = 0;
    address().store(reinterpret_cast<void*>(&forward));
  }
  ~RowSpy() {
    address().store(reinterpret_cast<void*>(real_));
    onCall = nullptr;
  }
  RowSpy(const RowSpy&) = delete;
  RowSpy& operator=(const RowSpy&) = delete;

  static inline int calls = 0;
  static inline std::tuple<std::decay_t<A>...> lastArguments;
  // Runs before the real function, with its arguments (for what must be read during the call).
  static inline std::function<void(A...)> onCall;

 private:
  static R WINAPI forward(A... arguments) {
    ++calls;
    lastArguments = std::tuple<std::decay_t<A>...>(arguments...);
    if (onCall) onCall(arguments...);
    return real_(arguments...);
  }
  // The table's rows are ordinary (non-const) objects; row() only offers a read-only view.
  static std::atomic<void*>& address() { return const_cast<DeclaredRow&>(row.row()).address; }

  static inline R(WINAPI* real_)(A...) = nullptr;
};
