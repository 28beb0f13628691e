// Puts a stand-in object in place of an automation class, for tests of COM
// users that make their own objects from a ProgID: while a ClassStandIn
// lives, creating the class in the calling thread's apartment yields the
// stand-in (a registered class object is asked before the registry).
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace lv::testing {

class ClassStandIn {
 public:
  // COM must be initialised on the calling thread. The stand-in is shared,
  // not copied: every creation hands out a new reference to it.
  ClassStandIn(const wchar_t* progId, IDispatch* standIn);
  ~ClassStandIn();
  ClassStandIn(const ClassStandIn&) = delete;
  ClassStandIn& operator=(const ClassStandIn&) = delete;

  bool Ok() const { return cookie_ != 0; }

 private:
  DWORD cookie_ = 0;
};

}  // namespace lv::testing
