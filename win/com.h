// The late-bound COM layer every COM user of Lumivant shares: owners for
// interface pointers and VARIANTs, and one helper that invokes a member by
// name. Failures are quiet: a failed call yields an empty Variant, and the
// readers turn anything unexpected into the empty value of the type.
//
// Texts cross this layer as std::string in the ANSI code page, bytes as
// std::vector<std::uint8_t>; it needs nothing of the rest of Lumivant.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <ole2.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "win/handle.h"

namespace lv::win {

// Owns one reference to a COM interface. Copying adds a reference.
template <typename I>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference to p; the caller keeps its own.
  static ComPtr Share(I* p) {
    if (p) p->AddRef();
    ComPtr c;
    c.p_ = p;
    return c;
  }
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr& operator=(const ComPtr& o) {
    if (this != &o) *this = Share(o.p_);
    return *this;
  }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) {
      Reset();
      p_ = std::exchange(o.p_, nullptr);
    }
    return *this;
  }

  I* Get() const { return p_; }
  I* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Releases what is held, then gives the slot to a function that fills it
  // with a reference this owner takes over.
  I** Put() {
    Reset();
    return &p_;
  }
  void Reset() {
    if (I* old = std::exchange(p_, nullptr)) old->Release();
  }

 private:
  I* p_ = nullptr;
};

// Owns one VARIANT, held rather than inherited so that it can be neither
// sliced nor copied shallowly: a copy is made only by Copy, which copies
// deeply. Move-only, cleared when it goes.
class Variant {
 public:
  Variant() { ::VariantInit(&v_); }
  ~Variant() { ::VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  Variant(Variant&& o) noexcept : v_(o.v_) { ::VariantInit(&o.v_); }
  Variant& operator=(Variant&& o) noexcept {
    if (this != &o) {
      ::VariantClear(&v_);
      v_ = o.v_;
      ::VariantInit(&o.v_);
    }
    return *this;
  }

  // The text and byte makers, and Copy, give the empty Variant when the
  // system cannot build the value (no memory for the BSTR or the array, or
  // the array cannot be locked to be filled).
  static Variant FromText(std::string_view ansi);                  // VT_BSTR
  static Variant FromInt(LONG v);                                  // VT_I4
  static Variant FromBool(bool v);                                 // VT_BOOL
  static Variant FromDouble(double v);                             // VT_R8
  static Variant FromBytes(const std::vector<std::uint8_t>& b);    // VT_ARRAY | VT_UI1
  static Variant FromDispatch(IDispatch* d);                       // VT_DISPATCH, adds a reference
  static Variant Copy(const VARIANT& v);

  // The held value, for reading and for handing to COM, which only reads it.
  const VARIANT& Get() const { return v_; }
  operator const VARIANT&() const { return v_; }
  // Empties the variant and hands out its address to be filled.
  VARIANT* Put() {
    ::VariantClear(&v_);
    return &v_;
  }
  bool IsEmpty() const { return v_.vt == VT_EMPTY; }

 private:
  VARIANT v_;
};

// A BSTR from ANSI code page text, whole length; null when there is no
// memory for it.
Bstr BstrFromText(std::string_view ansi);

// Readers: the empty value of the type when the variant cannot be read so.
std::string TextFromBstr(BSTR s);       // to the ANSI code page, whole length
std::string VariantToText(const VARIANT& v);      // through a change to VT_BSTR
double VariantToNumber(const VARIANT& v);         // through a change to VT_R8
std::vector<std::uint8_t> VariantToBytes(const VARIANT& v);  // only a one-dimensional byte array
ComPtr<IDispatch> VariantToDispatch(const VARIANT& v);

// A SAFEARRAY's data, locked for as long as this lives. Data() is null when
// the array could not be locked; the array must outlive this.
class ArrayData {
 public:
  explicit ArrayData(SAFEARRAY* array);
  ~ArrayData();
  ArrayData(const ArrayData&) = delete;
  ArrayData& operator=(const ArrayData&) = delete;

  void* Data() const { return data_; }

 private:
  SAFEARRAY* array_;
  void* data_ = nullptr;
};

// One argument of a late-bound call, converted by its C++ type. A value the
// system could not build is not passed as something else: the call is not
// made (see Built).
class Arg {
 public:
  Arg(std::string_view ansi) : Arg(Variant::FromText(ansi)) {}
  Arg(const char* ansi) : Arg(Variant::FromText(ansi ? ansi : "")) {}
  Arg(const std::string& ansi) : Arg(Variant::FromText(ansi)) {}
  Arg(int v) : v_(Variant::FromInt(v)) {}
  Arg(bool v) : v_(Variant::FromBool(v)) {}
  Arg(double v) : v_(Variant::FromDouble(v)) {}
  Arg(const std::vector<std::uint8_t>& b) : Arg(Variant::FromBytes(b)) {}
  Arg(IDispatch* d) : v_(Variant::FromDispatch(d)) {}
  // Any other pointer would otherwise turn into a bool argument.
  template <typename T, typename = std::enable_if_t<!std::is_convertible_v<T*, const char*> &&
                                                    !std::is_convertible_v<T*, IDispatch*>>>
  Arg(T*) = delete;
  // Refers to an existing variant without copying it, so that a large held
  // subject string is not duplicated for every call; v must outlive the
  // call, which only reads it (a temporary would not).
  static Arg Borrow(const VARIANT& v);
  static Arg Borrow(Variant&&) = delete;

  const VARIANT& Value() const { return borrowed_ ? *borrowed_ : v_.Get(); }
  bool Built() const { return built_; }

 private:
  Arg() = default;
  // For the makers that give the empty Variant when they fail.
  explicit Arg(Variant v) : v_(std::move(v)), built_(!v_.IsEmpty()) {}

  Variant v_;
  const VARIANT* borrowed_ = nullptr;
  bool built_ = true;
};

enum class CallKind { Method, PropertyGet, PropertyPut };

// Invokes the member `name` of obj. Arguments are given left to right; for a
// property put the last one is the value. Returns the result, or an empty
// Variant when obj is null, an argument could not be built (E_OUTOFMEMORY;
// nothing is called), the name is unknown or the call fails; the
// HRESULT goes to *hr when asked for (for a member that raised, the code in
// its exception record). Exception information is freed.
Variant Invoke(IDispatch* obj, const wchar_t* name, CallKind kind,
               std::initializer_list<Arg> args = {}, HRESULT* hr = nullptr);
inline Variant CallMethod(IDispatch* obj, const wchar_t* name,
                          std::initializer_list<Arg> args = {}) {
  return Invoke(obj, name, CallKind::Method, args);
}
inline Variant GetProperty(IDispatch* obj, const wchar_t* name,
                           std::initializer_list<Arg> args = {}) {
  return Invoke(obj, name, CallKind::PropertyGet, args);
}
// Returns false when the write failed.
bool PutProperty(IDispatch* obj, const wchar_t* name,
                 std::initializer_list<Arg> indexAndValue);

// The same call by dispatch id, for a caller that looked the name up before.
Variant Invoke(IDispatch* obj, DISPID id, CallKind kind, std::initializer_list<Arg> args = {},
               HRESULT* hr = nullptr);

// Creates an automation object from its ProgID or class id; null on failure.
ComPtr<IDispatch> CreateObject(const wchar_t* progId);
ComPtr<IDispatch> CreateObject(const CLSID& clsid);

// One automation class used again and again: its ProgID is looked up once
// and each member's dispatch id the first time it is called, for the rest of
// the process, instead of on every object and every call. Only objects
// created by Create() may be invoked through it: another class's ids would
// be wrong. Safe to share between threads.
class AutomationClass {
 public:
  explicit AutomationClass(const wchar_t* progId) : progId_(progId) {}
  AutomationClass(const AutomationClass&) = delete;
  AutomationClass& operator=(const AutomationClass&) = delete;

  ComPtr<IDispatch> Create();
  Variant Invoke(IDispatch* obj, const wchar_t* name, CallKind kind, std::initializer_list<Arg> args = {},
                 HRESULT* hr = nullptr);

 private:
  const wchar_t* progId_;
  std::mutex lock_;
  bool resolved_ = false;
  CLSID clsid_{};
  std::map<std::wstring, DISPID> ids_;
};

// One initialisation for the lifetime of a scope, undone only when it took.
// Library gives Initialize() and Uninitialize(): plain functions rather than
// template arguments, since the address of an imported function is not a
// constant for every compiler.
template <typename Library>
class InitializeScope {
 public:
  InitializeScope() : ok_(SUCCEEDED(Library::Initialize())) {}
  ~InitializeScope() {
    if (ok_) Library::Uninitialize();
  }
  InitializeScope(const InitializeScope&) = delete;
  InitializeScope& operator=(const InitializeScope&) = delete;

 private:
  bool ok_;
};
struct ComLibrary {
  static HRESULT Initialize() { return ::CoInitialize(nullptr); }
  static void Uninitialize() { ::CoUninitialize(); }
};
struct OleLibrary {
  static HRESULT Initialize() { return ::OleInitialize(nullptr); }
  static void Uninitialize() { ::OleUninitialize(); }
};
using ComScope = InitializeScope<ComLibrary>;
// COM plus OLE's clipboard and drag and drop, for the GUI thread.
using OleScope = InitializeScope<OleLibrary>;

}  // namespace lv::win
