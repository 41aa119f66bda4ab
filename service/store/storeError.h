#pragma once
// A store call that failed, with the store's own message ("database or disk is full", "store busy:
// another process holds it", …). Its transaction is already rolled back: nothing of it was written.
#include <stdexcept>

class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
