#include "win/com.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "testing/failing_allocations.h"
#include "testing/fake_dispatch.h"

namespace lv::win {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using lv::testing::FakeDispatch;
using Bytes = std::vector<std::uint8_t>;

// The pointers an argument takes are texts and automation objects; any
// other would turn into a bool, so it does not compile.
static_assert(std::is_convertible_v<const char*, Arg>);
static_assert(std::is_convertible_v<char*, Arg>);
static_assert(std::is_convertible_v<IDispatch*, Arg>);
static_assert(std::is_convertible_v<FakeDispatch*, Arg>);
static_assert(!std::is_constructible_v<Arg, int*>);
static_assert(!std::is_constructible_v<Arg, void*>);
static_assert(!std::is_constructible_v<Arg, const wchar_t*>);
static_assert(!std::is_constructible_v<Arg, const VARIANT*>);
static_assert(!std::is_constructible_v<Arg, HRESULT*>);

// A Variant holds its VARIANT: it is none, so it cannot be sliced into one,
// and it cannot be copied without Copy.
static_assert(!std::is_base_of_v<VARIANT, Variant>);
static_assert(!std::is_convertible_v<Variant*, VARIANT*>);
static_assert(!std::is_copy_constructible_v<Variant> && !std::is_copy_assignable_v<Variant>);

class ComLayer : public ::testing::Test {
 protected:
  ComScope com;
  ComPtr<FakeDispatch> fake = FakeDispatch::Create();
};

TEST_F(ComLayer, ArgumentsArriveLeftToRightWithTheirTypes) {
  CallMethod(fake.Get(), L"Do",
             {"GET", std::string("中文"), std::string_view("v"), 7, false, 2.5, Bytes{0, 0x80, 0xFF}});
  ASSERT_EQ(fake->Calls().size(), 1u);
  const lv::testing::FakeCall& call = fake->Calls()[0];
  EXPECT_EQ(call.flags, DISPATCH_METHOD);
  EXPECT_EQ(call.Describe(),
            "Do(BSTR \"GET\", BSTR \"中文\", BSTR \"v\", I4 7, BOOL false, R8 2.5, "
            "UI1[3]{00 80 FF})");
  // Texts cross from the ANSI code page as proper UTF-16.
  EXPECT_STREQ(call.args[1].Get().bstrVal, L"中文");
}

TEST_F(ComLayer, PropertyPutPassesTheValueAsTheNamedArgument) {
  EXPECT_TRUE(PutProperty(fake.Get(), L"Option", {4, 0}));
  GetProperty(fake.Get(), L"Status");
  ASSERT_EQ(fake->Calls().size(), 2u);
  EXPECT_EQ(fake->Calls()[0].flags, DISPATCH_PROPERTYPUT);
  EXPECT_EQ(fake->Calls()[0].namedArgs, 1);
  EXPECT_EQ(fake->Calls()[1].flags, DISPATCH_PROPERTYGET);
  EXPECT_THAT(fake->Describe(), ElementsAre("put Option(I4 4, I4 0)", "get Status()"));
}

TEST_F(ComLayer, ResultsAreReadAsTheKindAskedFor) {
  fake->SetResult(L"Number", Variant::FromText("12.5"));
  fake->SetResult(L"Count", Variant::FromInt(42));
  fake->SetResult(L"Body", Variant::FromBytes({'a', 0, 'b'}));
  fake->SetResult(L"Text", Variant::FromText("中文"));

  EXPECT_EQ(VariantToNumber(GetProperty(fake.Get(), L"Number")), 12.5);
  EXPECT_EQ(VariantToText(GetProperty(fake.Get(), L"Count")), "42");
  EXPECT_EQ(VariantToBytes(GetProperty(fake.Get(), L"Body")), (Bytes{'a', 0, 'b'}));
  EXPECT_EQ(VariantToText(CallMethod(fake.Get(), L"Text")), "中文");
  // Anything that cannot be read so gives the empty value.
  EXPECT_EQ(VariantToBytes(GetProperty(fake.Get(), L"Text")), Bytes());
  EXPECT_EQ(VariantToNumber(GetProperty(fake.Get(), L"Text")), 0);
  EXPECT_EQ(VariantToBytes(Variant::FromBytes({})), Bytes());
}

TEST_F(ComLayer, FailuresYieldTheEmptyValue) {
  fake->SetResult(L"Broken", Variant::FromInt(1));
  fake->SetFailure(L"Broken");
  fake->SetUnknown(L"Missing");

  HRESULT hr = S_OK;
  EXPECT_TRUE(Invoke(fake.Get(), L"Broken", CallKind::Method, {}, &hr).IsEmpty());
  EXPECT_EQ(hr, E_FAIL);  // the member's own code from its exception record, not DISP_E_EXCEPTION
  EXPECT_TRUE(Invoke(fake.Get(), L"Missing", CallKind::PropertyGet, {}, &hr).IsEmpty());
  EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);
  EXPECT_FALSE(PutProperty(fake.Get(), L"Missing", {1}));
  EXPECT_TRUE(Invoke(nullptr, L"Any", CallKind::Method, {}, &hr).IsEmpty());
  EXPECT_TRUE(FAILED(hr));
  // The unknown member never reached Invoke.
  EXPECT_THAT(fake->Describe(), ElementsAre("Broken()"));
}

// A value the system cannot build (here a text or byte array larger than the
// memory COM will give) must not reach the member as something else: the
// call is not made and fails.
TEST_F(ComLayer, AnArgumentThatCannotBeBuiltStopsTheCall) {
  const std::string text(2 << 20, 'x');
  const Bytes bytes(2 << 20, 'x');
  HRESULT textResult = S_OK;
  HRESULT bytesResult = S_OK;
  bool textEmpty = false;
  bool bytesEmpty = false;
  {
    lv::testing::LargeAllocationsFail failing(1 << 20);
    ASSERT_TRUE(failing.Ok());
    textEmpty = Invoke(fake.Get(), L"Send", CallKind::Method, {text}, &textResult).IsEmpty();
    bytesEmpty = Invoke(fake.Get(), L"Send", CallKind::Method, {1, bytes}, &bytesResult).IsEmpty();
  }
  EXPECT_TRUE(textEmpty);
  EXPECT_TRUE(bytesEmpty);
  EXPECT_EQ(textResult, E_OUTOFMEMORY);
  EXPECT_EQ(bytesResult, E_OUTOFMEMORY);
  EXPECT_THAT(fake->Describe(), IsEmpty());
}

TEST_F(ComLayer, OwnersKeepTheReferenceCountStraight) {
  {
    ComPtr<IDispatch> shared = ComPtr<IDispatch>::Share(fake.Get());
    ComPtr<IDispatch> copy = shared;
    ComPtr<IDispatch> moved = std::move(copy);
    EXPECT_EQ(fake->RefCount(), 3u);
    Variant held = Variant::FromDispatch(fake.Get());
    EXPECT_EQ(fake->RefCount(), 4u);
    ComPtr<IDispatch> read = VariantToDispatch(held);
    EXPECT_EQ(fake->RefCount(), 5u);
    // Put releases what it held before handing out the slot.
    fake->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(read.Put()));
    EXPECT_EQ(fake->RefCount(), 5u);
    // An object passed as an argument is released with the argument.
    CallMethod(fake.Get(), L"Take", {static_cast<IDispatch*>(fake.Get())});
    fake->ClearCalls();
    EXPECT_EQ(fake->RefCount(), 5u);
  }
  EXPECT_EQ(fake->RefCount(), 1u);
}

TEST_F(ComLayer, TextsConvertWholeIncludingEmpty) {
  const Bstr empty = BstrFromText("");
  ASSERT_NE(empty.Get(), nullptr);
  EXPECT_EQ(::SysStringLen(empty.Get()), 0u);
  EXPECT_EQ(TextFromBstr(nullptr), "");
  const std::string withZero("a\0中", 4);
  EXPECT_EQ(TextFromBstr(BstrFromText(withZero).Get()), withZero);
}

// Moving hands the value over whole; Copy copies it deeply, so the two own
// separate strings; Put lets go of what was held before it is refilled.
TEST_F(ComLayer, AVariantOwnsItsValue) {
  Variant text = Variant::FromText("壁纸");
  const Variant copy = Variant::Copy(text);
  ASSERT_EQ(copy.Get().vt, VT_BSTR);
  EXPECT_NE(copy.Get().bstrVal, text.Get().bstrVal);
  EXPECT_EQ(VariantToText(copy), "壁纸");

  const Variant moved = std::move(text);
  EXPECT_TRUE(text.IsEmpty());
  EXPECT_EQ(VariantToText(moved), "壁纸");

  Variant held = Variant::FromDispatch(fake.Get());
  EXPECT_EQ(fake->RefCount(), 2u);
  held.Put();
  EXPECT_TRUE(held.IsEmpty());
  EXPECT_EQ(fake->RefCount(), 1u);
}

// The lock count of an array is bounded. A lock past the bound fails, and
// the data must then be neither handed out nor unlocked.
TEST(ArrayData, ALockThatFailsGivesNoData) {
  const UniqueSafeArray array(::SafeArrayCreateVector(VT_UI1, 0, 4));
  ASSERT_TRUE(array);
  int locks = 0;
  while (locks < (1 << 20) && SUCCEEDED(::SafeArrayLock(array.Get()))) ++locks;
  ASSERT_LT(locks, 1 << 20);
  {
    const ArrayData refused(array.Get());
    EXPECT_EQ(refused.Data(), nullptr);
  }
  EXPECT_EQ(::SafeArrayUnlock(array.Get()), S_OK);  // the refused lock left the count as it was
  while (--locks > 0) ::SafeArrayUnlock(array.Get());
  const ArrayData data(array.Get());
  EXPECT_NE(data.Data(), nullptr);
}

TEST_F(ComLayer, AnAutomationClassLooksEachMemberUpOnce) {
  fake->SetResult(L"Count", Variant::FromInt(42));
  AutomationClass cls(L"Lumivant.NoSuchClass");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(VariantToNumber(cls.Invoke(fake.Get(), L"Count", CallKind::PropertyGet)), 42);
  HRESULT hr = S_OK;
  cls.Invoke(fake.Get(), L"Text", CallKind::Method, {}, &hr);
  cls.Invoke(fake.Get(), L"Text", CallKind::Method, {}, &hr);
  EXPECT_EQ(fake->NameLookups(), 2);
  EXPECT_THAT(fake->Describe(), ElementsAre("get Count()", "get Count()", "get Count()", "Text()", "Text()"));
  // An unregistered class makes nothing, and is asked again next time.
  EXPECT_FALSE(cls.Create());
  EXPECT_FALSE(cls.Create());
}

}  // namespace
}  // namespace lv::win
