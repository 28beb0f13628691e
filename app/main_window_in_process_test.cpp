// MainWindow made inside the test process, where the fonts and the icon it
// hands out can be looked at.
#include "app/main_window.h"

#include <windows.h>

#include <vector>

#include <gtest/gtest.h>

#include "testing/window_driver.h"

namespace lv::app {
namespace {

class InProcessWindowTest : public testing::Test {
 protected:
  void TearDown() override {
    ::DestroyWindow(window_.Handle());
    MSG quit;  // posted by the window's end; this thread runs no loop to take it
    ::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  }
  HWND Open(HINSTANCE instance = ::GetModuleHandleA(nullptr)) {
    return window_.Create(instance, SW_HIDE) ? window_.Handle() : nullptr;
  }

  win::UniqueModule program_;  // outlives the window made from it
  MainWindow window_{"Z:\\lumivant-no-such-folder"};
};

TEST_F(InProcessWindowTest, LabelHasItsOwnGb2312FontAndTheRestTheGuiFont) {
  const HWND window = Open();
  ASSERT_NE(window, nullptr);
  const std::vector<HWND> controls = ChildrenOf(window);
  ASSERT_EQ(controls.size(), 6u);
  const auto labelFont = reinterpret_cast<HFONT>(::SendMessageA(controls[k标签1], WM_GETFONT, 0, 0));
  LOGFONTA label{};
  ASSERT_NE(::GetObjectA(labelFont, sizeof label, &label), 0);
  EXPECT_EQ(label.lfHeight, -21);
  EXPECT_EQ(label.lfWeight, FW_NORMAL);
  EXPECT_EQ(label.lfCharSet, GB2312_CHARSET);
  EXPECT_STREQ(label.lfFaceName, "");
  for (std::size_t i = k编辑框1; i < controls.size(); ++i) {
    const auto font = reinterpret_cast<HGDIOBJ>(::SendMessageA(controls[i], WM_GETFONT, 0, 0));
    EXPECT_EQ(font, ::GetStockObject(DEFAULT_GUI_FONT)) << TextOf(controls[i]);
  }
}

TEST_F(InProcessWindowTest, EditBoxesPaintBlackOnWhite) {
  const HWND window = Open();
  ASSERT_NE(window, nullptr);
  const win::Unique<win::NullIsInvalid<HDC, ::DeleteDC>> dc(::CreateCompatibleDC(nullptr));
  ::SetTextColor(dc.Get(), RGB(1, 2, 3));
  ::SetBkColor(dc.Get(), RGB(4, 5, 6));
  const LRESULT brush = ::SendMessageA(window, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc.Get()),
                                       reinterpret_cast<LPARAM>(ChildrenOf(window)[k编辑框2]));
  LOGBRUSH fill{};
  ASSERT_NE(::GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof fill, &fill), 0);
  EXPECT_EQ(fill.lbColor, RGB(255, 255, 255));
  EXPECT_EQ(::GetTextColor(dc.Get()), RGB(0, 0, 0));
  EXPECT_EQ(::GetBkColor(dc.Get()), RGB(255, 255, 255));
}

// Runs the window's own procedure, then notes how much of the caption is
// left once the window's last message has been handled.
WNDPROC windowProc = nullptr;
int captionLeftAfterLastMessage = -1;

LRESULT CALLBACK WatchLastMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = ::CallWindowProcA(windowProc, window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    wchar_t caption[64] = {};
    captionLeftAfterLastMessage = ::InternalGetWindowText(window, caption, 64);
  }
  return result;
}

// The default handling of WM_NCDESTROY is where the system lets go of the
// caption; it can do so only when it is handed the window itself.
TEST_F(InProcessWindowTest, LastMessageReachesTheDefaultHandlingWithTheWindow) {
  const HWND window = Open();
  ASSERT_NE(window, nullptr);
  windowProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchLastMessage)));
  ASSERT_TRUE(::DestroyWindow(window));
  EXPECT_EQ(captionLeftAfterLastMessage, 0);
  EXPECT_EQ(window_.Handle(), nullptr);
}

// The program file's resources stand in for the program's own module, so the
// window class gets the icon that the program gives it.
TEST_F(InProcessWindowTest, IconIsOne32By32ImageOf32BitsPerPixel) {
  program_.Reset(::LoadLibraryExA(ProgramFile().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(program_);
  ASSERT_NE(Open(program_.Get()), nullptr);
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  ASSERT_TRUE(::GetClassInfoExA(program_.Get(), "LumivantMainWindow", &windowClass));
  ICONINFO icon{};
  ASSERT_TRUE(::GetIconInfo(windowClass.hIcon, &icon));
  BITMAP colour{};
  ::GetObjectA(icon.hbmColor, sizeof colour, &colour);
  ::DeleteObject(icon.hbmColor);
  ::DeleteObject(icon.hbmMask);
  EXPECT_EQ(colour.bmWidth, 32);
  EXPECT_EQ(colour.bmHeight, 32);
  EXPECT_EQ(colour.bmBitsPixel, 32);
}

}  // namespace
}  // namespace lv::app
