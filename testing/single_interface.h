// IUnknown for a test object that is one COM interface I (with the id iid):
// counted references, and the object deleted with its last one. Objects are
// made with new and start with one reference, owned by their maker.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace lv::testing {

template <typename I, const IID& iid>
class SingleInterface : public I {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID asked, void** out) override {
    if (!out) return E_POINTER;
    if (asked == IID_IUnknown || asked == iid) {
      *out = static_cast<I*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  SingleInterface() = default;
  virtual ~SingleInterface() = default;

 private:
  ULONG refs_ = 1;
};

}  // namespace lv::testing
