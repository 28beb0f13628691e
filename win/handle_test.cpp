#include "win/handle.h"

#include <gtest/gtest.h>

#include <string>

namespace lv::win {
namespace {

std::string WindowsFolderPattern() {
  char folder[MAX_PATH] = {};
  ::GetWindowsDirectoryA(folder, MAX_PATH);
  return std::string(folder) + "\\*";
}

TEST(UniqueFind, ClosesItsSearchAndTakesNoFailedOne) {
  WIN32_FIND_DATAA found{};
  UniqueFind search(::FindFirstFileA(WindowsFolderPattern().c_str(), &found));
  ASSERT_TRUE(search);
  const HANDLE raw = search.Get();
  EXPECT_TRUE(::FindNextFileA(raw, &found));
  search.Reset();
  EXPECT_FALSE(search);
  EXPECT_FALSE(::FindNextFileA(raw, &found));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  const UniqueFind none(::FindFirstFileA("Z:\\lumivant-no-such-folder\\*", &found));
  EXPECT_FALSE(none);
  EXPECT_EQ(none.Get(), INVALID_HANDLE_VALUE);
}

TEST(Unique, PutClosesWhatWasHeldAndReleaseKeepsItOpen) {
  UniqueHandle event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  const HANDLE first = event.Get();
  *event.Put() = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_FALSE(::SetEvent(first));  // closed by Put
  const HANDLE second = event.Release();
  EXPECT_FALSE(event);
  EXPECT_TRUE(::SetEvent(second));  // still open: Release only let go
  ::CloseHandle(second);
}

TEST(Unique, MovingHandsOverOwnership) {
  UniqueHandle from(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const HANDLE raw = from.Get();
  UniqueHandle to = std::move(from);
  EXPECT_FALSE(from);
  EXPECT_EQ(to.Get(), raw);
  to = UniqueHandle();
  EXPECT_FALSE(::SetEvent(raw));
}

}  // namespace
}  // namespace lv::win
