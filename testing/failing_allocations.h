// Makes large COM task-memory allocations fail, as when memory runs out, for
// tests of what a COM user does when the system cannot build a value (a
// BSTR, a SAFEARRAY). It goes through the allocation spy that COM offers for
// this purpose; nothing of the system is patched.
#pragma once

#include <windows.h>

#include <cstddef>

namespace lv::testing {

class LargeAllocationsFail {
 public:
  // While this lives, every allocation of at least `bytes` bytes fails.
  explicit LargeAllocationsFail(std::size_t bytes);
  ~LargeAllocationsFail();
  LargeAllocationsFail(const LargeAllocationsFail&) = delete;
  LargeAllocationsFail& operator=(const LargeAllocationsFail&) = delete;

  bool Ok() const { return registered_; }

 private:
  bool registered_ = false;
};

}  // namespace lv::testing
