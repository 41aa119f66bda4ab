#pragma once
// Declared functions: every call into a Windows library goes through a row that is bound by
// name on its first call and cached for the rest of the run. A missing library or export is a
// fatal runtime error raised at that first call, never at start-up.
#include <windows.h>

#include <atomic>
#include <utility>

struct DeclaredRow {
  const char* library;     // as declared: any letter case, with or without ".dll"; may be empty
  const char* exportName;  // exported function name
  std::atomic<void*> address{nullptr};
  std::atomic<HMODULE> module{nullptr};

  constexpr DeclaredRow(const char* lib, const char* name) : library(lib), exportName(name) {}
};

// Resolves the row (library search, export lookup) or raises the missing-library/function error.
void* bindDeclaredRow(DeclaredRow& row);

// A typed row: F is the function's own type, so a call with a wrong argument list does not
// compile (the stack can never be left unbalanced by a mismatched declaration).
template <typename F>
class DeclaredFunction {
 public:
  constexpr DeclaredFunction(const char* library, const char* exportName) : row_(library, exportName) {}
  DeclaredFunction(const DeclaredFunction&) = delete;
  DeclaredFunction& operator=(const DeclaredFunction&) = delete;

  template <typename... Args>
  decltype(auto) operator()(Args&&... args) {
    return target()(std::forward<Args>(args)...);
  }

  // The bound entry point (binds on first use).
  F* target() {
    // Two threads binding at once both look the function up and store the same address.
    void* address = row_.address.load(std::memory_order_acquire);
    if (!address) address = bindDeclaredRow(row_);
    return reinterpret_cast<F*>(address);
  }

  const DeclaredRow& row() const { return row_; }

 private:
  DeclaredRow row_;
};
