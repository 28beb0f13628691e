// A recording stand-in for an automation object, for testing COM users
// without the real object. It is a real COM object: it counts its references
// (so a test can see that a user released what it took), answers every name
// with an id of its own, and records each Invoke in order. Results are canned
// per member; a member can also be made to fail or to be unknown.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "win/com.h"

namespace lv::testing {

// One recorded Invoke. The arguments are deep copies, left to right.
struct FakeCall {
  std::wstring name;  // as the caller first spelt it
  WORD flags = 0;
  std::vector<win::Variant> args;
  int namedArgs = 0;

  // One line such as `put Option(I4 4, I4 0)` or `Open(BSTR "GET", BOOL false)`:
  // "get " / "put " mark property reads and writes, nothing marks a method.
  // Texts are shown in the ANSI code page, byte arrays as hex bytes.
  std::string Describe() const;
};

// Describes one argument value as FakeCall::Describe does.
std::string DescribeVariant(const VARIANT& v);

class FakeDispatch final : public IDispatch {
 public:
  // Answers a call: fills *result (already empty) and returns the HRESULT.
  using Handler = std::function<HRESULT(const FakeCall& call, VARIANT* result)>;

  // Starts with one reference, owned by the returned pointer.
  static win::ComPtr<FakeDispatch> Create();

  // Every later call of the member (any letter case) returns a copy of value.
  void SetResult(const std::wstring& name, const VARIANT& value);
  // Every later call of the member is answered by handler.
  void SetHandler(const std::wstring& name, Handler handler);
  // Every later call of the member fails with DISP_E_EXCEPTION and filled
  // exception information, as a failing automation call does.
  void SetFailure(const std::wstring& name);
  // GetIDsOfNames refuses the name from now on.
  void SetUnknown(const std::wstring& name);

  const std::vector<FakeCall>& Calls() const { return calls_; }
  std::vector<std::string> Describe() const;  // one line per call
  void ClearCalls() { calls_.clear(); }
  ULONG RefCount() const { return refs_; }
  // How often a member's id was asked for.
  int NameLookups() const { return nameLookups_; }

  // IUnknown / IDispatch.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* badArg) override;

 private:
  FakeDispatch() = default;
  ~FakeDispatch() = default;

  struct Member {
    std::wstring name;
    bool unknown = false;
    bool fails = false;
    Handler handler;
  };
  // The member's id, given to it on first sight of its name.
  DISPID IdOf(const std::wstring& name);
  Member& MemberNamed(const std::wstring& name);

  ULONG refs_ = 1;

  int nameLookups_ = 0;
  std::map<std::wstring, DISPID> ids_;  // by lower-cased name
  std::vector<Member> members_;         // indexed by DISPID - 1
  std::vector<FakeCall> calls_;
};

}  // namespace lv::testing
