#include "testing/class_stand_in.h"

#include <ole2.h>

#include "testing/single_interface.h"
#include "win/com.h"

namespace lv::testing {
namespace {

class StandInFactory final : public SingleInterface<IClassFactory, IID_IClassFactory> {
 public:
  explicit StandInFactory(IDispatch* standIn) : standIn_(win::ComPtr<IDispatch>::Share(standIn)) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return standIn_->QueryInterface(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

 private:
  win::ComPtr<IDispatch> standIn_;
};

}  // namespace

ClassStandIn::ClassStandIn(const wchar_t* progId, IDispatch* standIn) {
  CLSID clsid{};
  if (!standIn || FAILED(::CLSIDFromProgID(progId, &clsid))) return;
  // COM keeps its own reference for as long as the class is registered.
  win::ComPtr<IClassFactory> factory;
  *factory.Put() = new StandInFactory(standIn);
  if (FAILED(::CoRegisterClassObject(clsid, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                     &cookie_))) {
    cookie_ = 0;
  }
}

ClassStandIn::~ClassStandIn() {
  if (cookie_) ::CoRevokeClassObject(cookie_);
}

}  // namespace lv::testing
