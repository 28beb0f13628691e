#include "win/com.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace lv::win {
namespace {

// Frees what a failed call left in its exception record.
void ClearExcepInfo(EXCEPINFO& e) {
  if (e.pfnDeferredFillIn) e.pfnDeferredFillIn(&e);
  ::SysFreeString(e.bstrSource);
  ::SysFreeString(e.bstrDescription);
  ::SysFreeString(e.bstrHelpFile);
  e = EXCEPINFO{};
}

HRESULT ExceptionCode(EXCEPINFO& e) {
  if (e.pfnDeferredFillIn) {
    e.pfnDeferredFillIn(&e);
    e.pfnDeferredFillIn = nullptr;
  }
  if (FAILED(e.scode)) return e.scode;
  return DISP_E_EXCEPTION;
}

WORD DispatchFlags(CallKind kind) {
  switch (kind) {
    case CallKind::Method: return DISPATCH_METHOD;
    case CallKind::PropertyGet: return DISPATCH_PROPERTYGET;
    case CallKind::PropertyPut: return DISPATCH_PROPERTYPUT;
  }
  return DISPATCH_METHOD;
}

}  // namespace

Bstr BstrFromText(std::string_view ansi) {
  if (ansi.size() > INT_MAX) return {};
  const int size = static_cast<int>(ansi.size());
  const int units = size == 0 ? 0 : ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  Bstr s(::SysAllocStringLen(nullptr, static_cast<UINT>(units)));
  if (s && units > 0) ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, s.Get(), units);
  return s;
}

std::string TextFromBstr(BSTR s) {
  const int units = static_cast<int>(::SysStringLen(s));
  if (units == 0) return {};
  const int bytes = ::WideCharToMultiByte(CP_ACP, 0, s, units, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) ::WideCharToMultiByte(CP_ACP, 0, s, units, out.data(), bytes, nullptr, nullptr);
  return out;
}

Variant Variant::FromText(std::string_view ansi) {
  Variant v;
  Bstr s = BstrFromText(ansi);
  if (!s) return v;
  v.v_.vt = VT_BSTR;
  v.v_.bstrVal = s.Release();
  return v;
}

Variant Variant::FromInt(LONG value) {
  Variant v;
  v.v_.vt = VT_I4;
  v.v_.lVal = value;
  return v;
}

Variant Variant::FromBool(bool value) {
  Variant v;
  v.v_.vt = VT_BOOL;
  v.v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

Variant Variant::FromDouble(double value) {
  Variant v;
  v.v_.vt = VT_R8;
  v.v_.dblVal = value;
  return v;
}

Variant Variant::FromBytes(const std::vector<std::uint8_t>& b) {
  Variant v;
  if (b.size() > ULONG_MAX) return v;
  UniqueSafeArray array(::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(b.size())));
  if (!array) return v;
  {
    const ArrayData data(array.Get());
    if (!data.Data()) return v;
    if (!b.empty()) std::memcpy(data.Data(), b.data(), b.size());
  }
  v.v_.vt = VT_ARRAY | VT_UI1;
  v.v_.parray = array.Release();
  return v;
}

Variant Variant::FromDispatch(IDispatch* d) {
  Variant v;
  v.v_.vt = VT_DISPATCH;
  v.v_.pdispVal = d;
  if (d) d->AddRef();
  return v;
}

Variant Variant::Copy(const VARIANT& from) {
  Variant v;
  if (FAILED(::VariantCopy(&v.v_, const_cast<VARIANT*>(&from)))) v.Put();
  return v;
}

std::string VariantToText(const VARIANT& v) {
  if (v.vt == VT_BSTR) return TextFromBstr(v.bstrVal);
  Variant changed;
  if (FAILED(::VariantChangeType(changed.Put(), const_cast<VARIANT*>(&v), 0, VT_BSTR))) return {};
  return TextFromBstr(changed.Get().bstrVal);
}

double VariantToNumber(const VARIANT& v) {
  Variant changed;
  if (FAILED(::VariantChangeType(changed.Put(), const_cast<VARIANT*>(&v), 0, VT_R8))) return 0;
  return changed.Get().dblVal;
}

std::vector<std::uint8_t> VariantToBytes(const VARIANT& v) {
  if (v.vt != (VT_ARRAY | VT_UI1) || !v.parray || ::SafeArrayGetDim(v.parray) != 1) return {};
  LONG lower = 0;
  LONG upper = -1;
  if (FAILED(::SafeArrayGetLBound(v.parray, 1, &lower)) ||
      FAILED(::SafeArrayGetUBound(v.parray, 1, &upper)) || upper < lower) {
    return {};
  }
  const ArrayData data(v.parray);
  if (!data.Data()) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(data.Data());
  return std::vector<std::uint8_t>(
      bytes, bytes + (static_cast<std::size_t>(upper) - static_cast<std::size_t>(lower) + 1));
}

ComPtr<IDispatch> VariantToDispatch(const VARIANT& v) {
  if (v.vt == VT_DISPATCH) return ComPtr<IDispatch>::Share(v.pdispVal);
  if (v.vt == VT_UNKNOWN && v.punkVal) {
    ComPtr<IDispatch> d;
    v.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(d.Put()));
    return d;
  }
  return {};
}

ArrayData::ArrayData(SAFEARRAY* array) : array_(array) {
  if (FAILED(::SafeArrayAccessData(array_, &data_))) data_ = nullptr;
}

ArrayData::~ArrayData() {
  if (data_) ::SafeArrayUnaccessData(array_);
}

Arg Arg::Borrow(const VARIANT& v) {
  Arg a;
  a.borrowed_ = &v;
  return a;
}

Variant Invoke(IDispatch* obj, DISPID id, CallKind kind, std::initializer_list<Arg> args, HRESULT* hr) {
  Variant result;
  HRESULT status = E_POINTER;
  const bool built = std::all_of(args.begin(), args.end(), [](const Arg& a) { return a.Built(); });
  if (!built) status = E_OUTOFMEMORY;
  if (obj && built) {
    // DISPPARAMS wants the arguments right to left. The copies are shallow:
    // the callee only reads them and the Args keep ownership.
    std::vector<VARIANT> reversed;
    reversed.reserve(args.size());
    for (auto it = args.end(); it != args.begin();) reversed.push_back((--it)->Value());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = reversed.empty() ? nullptr : reversed.data();
    params.cArgs = static_cast<UINT>(reversed.size());
    if (kind == CallKind::PropertyPut) {
      params.rgdispidNamedArgs = &putId;
      params.cNamedArgs = 1;
    }
    EXCEPINFO excep{};
    UINT badArg = 0;
    status = obj->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DispatchFlags(kind), &params,
                         kind == CallKind::PropertyPut ? nullptr : result.Put(), &excep, &badArg);
    // A member that raised reports its own error in the record; that code
    // says more than DISP_E_EXCEPTION.
    if (status == DISP_E_EXCEPTION) status = ExceptionCode(excep);
    ClearExcepInfo(excep);
    if (FAILED(status)) result.Put();
  }
  if (hr) *hr = status;
  return result;
}

Variant Invoke(IDispatch* obj, const wchar_t* name, CallKind kind, std::initializer_list<Arg> args, HRESULT* hr) {
  DISPID id = DISPID_UNKNOWN;
  HRESULT status = E_POINTER;
  if (obj) {
    auto* names = const_cast<LPOLESTR>(name);
    status = obj->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id);
  }
  if (FAILED(status)) {
    if (hr) *hr = status;
    return Variant();
  }
  return Invoke(obj, id, kind, args, hr);
}

bool PutProperty(IDispatch* obj, const wchar_t* name,
                 std::initializer_list<Arg> indexAndValue) {
  HRESULT hr = E_FAIL;
  Invoke(obj, name, CallKind::PropertyPut, indexAndValue, &hr);
  return SUCCEEDED(hr);
}

ComPtr<IDispatch> CreateObject(const wchar_t* progId) {
  CLSID clsid{};
  if (FAILED(::CLSIDFromProgID(progId, &clsid))) return {};
  return CreateObject(clsid);
}

ComPtr<IDispatch> CreateObject(const CLSID& clsid) {
  ComPtr<IDispatch> obj;
  ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                     reinterpret_cast<void**>(obj.Put()));
  return obj;
}

ComPtr<IDispatch> AutomationClass::Create() {
  std::lock_guard<std::mutex> hold(lock_);
  if (!resolved_) {
    // Only a success is kept: a class not yet registered may be next time.
    resolved_ = SUCCEEDED(::CLSIDFromProgID(progId_, &clsid_));
    if (!resolved_) return {};
  }
  return CreateObject(clsid_);
}

Variant AutomationClass::Invoke(IDispatch* obj, const wchar_t* name, CallKind kind, std::initializer_list<Arg> args,
                                HRESULT* hr) {
  DISPID id = DISPID_UNKNOWN;
  {
    std::lock_guard<std::mutex> hold(lock_);
    const auto known = ids_.find(name);
    if (known != ids_.end()) {
      id = known->second;
    } else if (obj) {
      auto* names = const_cast<LPOLESTR>(name);
      if (SUCCEEDED(obj->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id))) ids_.emplace(name, id);
    }
  }
  if (id == DISPID_UNKNOWN) return win::Invoke(obj, name, kind, args, hr);
  return win::Invoke(obj, id, kind, args, hr);
}

}  // namespace lv::win
