// Every owned Windows handle kind: one move-only owner template and one alias
// line per kind. Put() releases what is held before handing out the address,
// so a handle can never be overwritten without being closed.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <shlobj.h>
#include <oleauto.h>

#include <utility>

namespace lv::win {

template <typename Traits>
class Unique {
 public:
  using Type = typename Traits::Type;

  Unique() = default;
  explicit Unique(Type h) : h_(h) {}
  ~Unique() { Reset(); }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : h_(other.Release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  Type Get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::Invalid(); }

  // Closes what is held, then gives the slot to a function that fills it.
  Type* Put() {
    Reset();
    return &h_;
  }
  // Gives up ownership without closing.
  Type Release() { return std::exchange(h_, Traits::Invalid()); }
  void Reset(Type h = Traits::Invalid()) {
    Type old = std::exchange(h_, h);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

 private:
  Type h_ = Traits::Invalid();
};

template <typename T, auto CloseFn>
struct NullIsInvalid {
  using Type = T;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { CloseFn(h); }
};

// Handles whose failure value is INVALID_HANDLE_VALUE rather than null.
template <auto CloseFn>
struct InvalidValueIsInvalid {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { CloseFn(h); }
};

inline void DeleteGdiObject(HGDIOBJ h) { ::DeleteObject(h); }
inline void DestroySafeArray(SAFEARRAY* a) { ::SafeArrayDestroy(a); }

using UniqueHandle = Unique<NullIsInvalid<HANDLE, ::CloseHandle>>;
using UniqueFile = Unique<InvalidValueIsInvalid<::CloseHandle>>;
using UniqueModule = Unique<NullIsInvalid<HMODULE, ::FreeLibrary>>;
using UniqueActivationContext = Unique<InvalidValueIsInvalid<::ReleaseActCtx>>;
// A FindFirstFileA search.
using UniqueFind = Unique<InvalidValueIsInvalid<::FindClose>>;
using UniqueInternet = Unique<NullIsInvalid<HINTERNET, ::InternetCloseHandle>>;
using UniqueWindow = Unique<NullIsInvalid<HWND, ::DestroyWindow>>;
using UniqueFont = Unique<NullIsInvalid<HFONT, DeleteGdiObject>>;
using UniqueIcon = Unique<NullIsInvalid<HICON, ::DestroyIcon>>;
// Item lists and other memory the shell hands out with its allocator.
using UniqueItemList = Unique<NullIsInvalid<PIDLIST_ABSOLUTE, ::CoTaskMemFree>>;
// COM's own kinds: a BSTR and an array, each freed by the system's allocator.
using Bstr = Unique<NullIsInvalid<BSTR, ::SysFreeString>>;
using UniqueSafeArray = Unique<NullIsInvalid<SAFEARRAY*, DestroySafeArray>>;

}  // namespace lv::win
