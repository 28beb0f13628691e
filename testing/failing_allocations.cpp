#include "testing/failing_allocations.h"

#include <objbase.h>
#include <objidl.h>

#include "testing/single_interface.h"

namespace lv::testing {
namespace {

// Passes everything through except the size of a large request, which it
// turns into 0: COM then fails that allocation.
class RefusingSpy final : public SingleInterface<IMallocSpy, IID_IMallocSpy> {
 public:
  explicit RefusingSpy(std::size_t limit) : limit_(limit) {}

  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T request) override { return request >= limit_ ? 0 : request; }
  void* STDMETHODCALLTYPE PostAlloc(void* actual) override { return actual; }
  void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override { return request; }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override {
    *newRequest = request;
    return size >= limit_ ? 0 : size;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}

 private:
  std::size_t limit_;
};

}  // namespace

LargeAllocationsFail::LargeAllocationsFail(std::size_t bytes) {
  auto* spy = new RefusingSpy(bytes);
  registered_ = SUCCEEDED(::CoRegisterMallocSpy(spy));
  spy->Release();  // COM holds the spy while it is registered
  // Wine's allocator searches its list of spied blocks on some paths (the
  // size of a freed BSTR) before checking that the list exists; one spied
  // block makes the list.
  if (registered_) ::CoTaskMemFree(::CoTaskMemAlloc(1));
}

LargeAllocationsFail::~LargeAllocationsFail() {
  if (registered_) ::CoRevokeMallocSpy();
}

}  // namespace lv::testing
