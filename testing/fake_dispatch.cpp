#include "testing/fake_dispatch.h"

#include <cstdio>
#include <cwctype>

namespace lv::testing {
namespace {

std::wstring Lower(const std::wstring& s) {
  std::wstring out = s;
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(c));
  return out;
}

// Member names of automation objects are ASCII.
std::string Narrow(const std::wstring& s) {
  std::string out;
  for (wchar_t c : s) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

std::string DescribeBytes(const VARIANT& v) {
  const std::vector<std::uint8_t> bytes = win::VariantToBytes(v);
  std::string out = "UI1[" + std::to_string(bytes.size()) + "]{";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
    if (i > 0) out += ' ';
    out += hex;
  }
  return out + "}";
}

}  // namespace

std::string DescribeVariant(const VARIANT& v) {
  switch (v.vt) {
    case VT_EMPTY: return "EMPTY";
    case VT_NULL: return "NULL";
    case VT_BSTR: return "BSTR \"" + win::TextFromBstr(v.bstrVal) + "\"";
    case VT_I4: return "I4 " + std::to_string(v.lVal);
    case VT_I2: return "I2 " + std::to_string(v.iVal);
    case VT_R8: return "R8 " + win::VariantToText(v);
    case VT_BOOL: return v.boolVal == VARIANT_FALSE ? "BOOL false" : "BOOL true";
    case VT_DISPATCH: return v.pdispVal ? "DISPATCH" : "DISPATCH null";
    case VT_ARRAY | VT_UI1: return DescribeBytes(v);
    default: return "VT " + std::to_string(v.vt);
  }
}

std::string FakeCall::Describe() const {
  std::string out;
  if (flags == DISPATCH_PROPERTYGET) out = "get ";
  if (flags == DISPATCH_PROPERTYPUT || flags == DISPATCH_PROPERTYPUTREF) out = "put ";
  out += Narrow(name) + "(";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i > 0) out += ", ";
    out += DescribeVariant(args[i]);
  }
  return out + ")";
}

win::ComPtr<FakeDispatch> FakeDispatch::Create() {
  win::ComPtr<FakeDispatch> fake;
  *fake.Put() = new FakeDispatch();
  return fake;
}

DISPID FakeDispatch::IdOf(const std::wstring& name) {
  auto [it, added] = ids_.try_emplace(Lower(name), static_cast<DISPID>(members_.size() + 1));
  if (added) members_.push_back(Member{name, false, false, nullptr});
  return it->second;
}

FakeDispatch::Member& FakeDispatch::MemberNamed(const std::wstring& name) {
  return members_[static_cast<std::size_t>(IdOf(name)) - 1];
}

void FakeDispatch::SetResult(const std::wstring& name, const VARIANT& value) {
  // The handler owns its own copy of the value.
  auto held = std::make_shared<win::Variant>(win::Variant::Copy(value));
  SetHandler(name, [held](const FakeCall&, VARIANT* result) {
    return result ? ::VariantCopy(result, const_cast<VARIANT*>(&held->Get())) : S_OK;
  });
}

void FakeDispatch::SetHandler(const std::wstring& name, Handler handler) {
  MemberNamed(name).handler = std::move(handler);
}

void FakeDispatch::SetFailure(const std::wstring& name) { MemberNamed(name).fails = true; }

void FakeDispatch::SetUnknown(const std::wstring& name) { MemberNamed(name).unknown = true; }

std::vector<std::string> FakeDispatch::Describe() const {
  std::vector<std::string> lines;
  for (const FakeCall& call : calls_) lines.push_back(call.Describe());
  return lines;
}

HRESULT FakeDispatch::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG FakeDispatch::AddRef() { return ++refs_; }

ULONG FakeDispatch::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT FakeDispatch::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}

HRESULT FakeDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT FakeDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids || count == 0) return E_INVALIDARG;
  ++nameLookups_;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  // Named arguments are not supported: only the member name gets an id.
  const DISPID id = IdOf(names[0]);
  if (members_[static_cast<std::size_t>(id) - 1].unknown) return DISP_E_UNKNOWNNAME;
  ids[0] = id;
  return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT FakeDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* excep, UINT* badArg) {
  if (id < 1 || static_cast<std::size_t>(id) > members_.size()) return DISP_E_MEMBERNOTFOUND;
  if (!params) return E_INVALIDARG;
  const Member& member = members_[static_cast<std::size_t>(id) - 1];

  FakeCall call;
  call.name = member.name;
  call.flags = flags;
  call.namedArgs = static_cast<int>(params->cNamedArgs);
  // DISPPARAMS holds the arguments right to left.
  for (UINT i = params->cArgs; i > 0; --i) {
    win::Variant copy;
    if (FAILED(::VariantCopy(copy.Put(), &params->rgvarg[i - 1]))) {
      if (badArg) *badArg = i - 1;
      return DISP_E_TYPEMISMATCH;
    }
    call.args.push_back(std::move(copy));
  }
  calls_.push_back(std::move(call));

  if (result) ::VariantInit(result);
  if (member.fails) {
    if (excep) {
      *excep = EXCEPINFO{};
      excep->bstrSource = ::SysAllocString(L"FakeDispatch");
      excep->bstrDescription = ::SysAllocString(L"the call was made to fail");
      excep->scode = E_FAIL;
    }
    return DISP_E_EXCEPTION;
  }
  if (member.handler) return member.handler(calls_.back(), result);
  return S_OK;
}

}  // namespace lv::testing
