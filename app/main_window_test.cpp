// The real program, started and worked from outside as a user would.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "crawl/settings.h"
#include "testing/window_driver.h"

namespace lv::app {
using crawl::ReadSaveFolder;
using crawl::WriteSaveFolder;
namespace {

TEST(MainWindowTest, OpensCentredWithAFixedFrameAndNoMaximiseButton) {
  Program program;
  ASSERT_TRUE(program.Start());
  const HWND window = program.Window();

  EXPECT_EQ(TextOf(window), "Lumivant");
  const LONG style = ::GetWindowLongA(window, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_FALSE(style & WS_CHILD);
  EXPECT_FALSE(::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_EQ(::GetWindow(window, GW_OWNER), nullptr);

  RECT outer{};
  ASSERT_TRUE(::GetWindowRect(window, &outer));
  EXPECT_EQ(outer.right - outer.left, 380);
  EXPECT_EQ(outer.bottom - outer.top, 250);
  EXPECT_EQ(outer.left, (::GetSystemMetrics(SM_CXSCREEN) - 380) / 2);
  EXPECT_EQ(outer.top, (::GetSystemMetrics(SM_CYSCREEN) - 250) / 2);

  EXPECT_TRUE(program.Close());
}

struct ControlRow {
  const char* className;
  const char* text;
  RECT place;  // client coordinates of the main window: left, top, right, bottom
};

TEST(MainWindowTest, ControlsSitAtTheirPlacesWithTheirTexts) {
  Program program;  // no settings file: 编辑框1 starts empty
  ASSERT_TRUE(program.Start());
  const ControlRow rows[] = {
      {"Static", "保存路径", {128, 8, 128 + 96, 8 + 24}},
      {"Edit", "", {16, 40, 16 + 336, 40 + 32}},
      {"Button", "你想保存在哪里呀？", {184, 80, 184 + 168, 80 + 40}},
      {"Static", "你想爬取的页数", {40, 120, 40 + 88, 120 + 24}},
      {"Edit", "", {40, 152, 40 + 80, 152 + 32}},
      {"Button", "开始爬取", {264, 152, 264 + 80, 152 + 32}},
  };
  const std::vector<HWND> children = ChildrenOf(program.Window());
  ASSERT_EQ(children.size(), std::size(rows));
  for (std::size_t i = 0; i < children.size(); ++i) {
    SCOPED_TRACE(rows[i].text);
    EXPECT_EQ(::lstrcmpiA(ClassOf(children[i]).c_str(), rows[i].className), 0) << ClassOf(children[i]);
    EXPECT_EQ(TextOf(children[i]), rows[i].text);
    RECT place{};
    ::GetWindowRect(children[i], &place);
    ::MapWindowPoints(nullptr, program.Window(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, rows[i].place.left);
    EXPECT_EQ(place.top, rows[i].place.top);
    EXPECT_EQ(place.right, rows[i].place.right);
    EXPECT_EQ(place.bottom, rows[i].place.bottom);
  }
}

struct TypingCase {
  const char* name;
  const char* typed;  // one WM_CHAR per byte
  const char* shown;
};

TEST(MainWindowTest, PageCountBoxTakesTypedDigitsAndMinusOnly) {
  const TypingCase cases[] = {
      {"letters and signs", "a.+ x", ""},
      {"digits and minus", "1-2", "1-2"},
      {"minus anywhere, any number of times", "-5--0", "-5--0"},
      {"backspace passes", "12\b3", "13"},
      {"full-width digit", "１", ""},
      {"mixed", "7p.8", "78"},
  };
  Program program;
  ASSERT_TRUE(program.Start());
  const HWND box = program.Control(k编辑框2);
  for (const TypingCase& typing : cases) {
    SCOPED_TRACE(typing.name);
    SetTextOf(box, "");
    for (const char* c = typing.typed; *c; ++c) {
      ::SendMessageA(box, WM_CHAR, static_cast<unsigned char>(*c), 1);
    }
    EXPECT_EQ(TextOf(box), typing.shown);
  }
}

TEST(MainWindowTest, PageCountBoxPastesUnfiltered) {
  Program program;
  ASSERT_TRUE(program.Start());
  const Text pasted = "ab.c+页";
  ASSERT_TRUE(::OpenClipboard(nullptr));
  ::EmptyClipboard();
  HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, pasted.size() + 1);
  ASSERT_NE(memory, nullptr);
  memcpy(::GlobalLock(memory), pasted.c_str(), pasted.size() + 1);
  ::GlobalUnlock(memory);
  if (!::SetClipboardData(CF_TEXT, memory)) ::GlobalFree(memory);
  ::CloseClipboard();

  const HWND box = program.Control(k编辑框2);
  ::SendMessageA(box, WM_CHAR, 0x16, 1);  // Ctrl+V
  EXPECT_EQ(TextOf(box), pasted);
}

struct ClosingCase {
  const char* name;
  int control;  // a ControlIndex; -1: the window itself
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

void PrintTo(const ClosingCase& closing, std::ostream* out) { *out << closing.name; }

class ClosingTest : public testing::TestWithParam<ClosingCase> {};

TEST_P(ClosingTest, EndsTheProgram) {
  const ClosingCase& closing = GetParam();
  Program program;
  ASSERT_TRUE(program.Start());
  const HWND target = closing.control < 0 ? program.Window() : program.Control(static_cast<ControlIndex>(closing.control));
  ASSERT_NE(target, nullptr);
  ::PostMessageA(target, closing.message, closing.wParam, closing.lParam);
  EXPECT_TRUE(program.HasEnded());
}

constexpr LPARAM kKeyDown = 0x00010001;      // repeat count 1, scan code 1
constexpr LPARAM kAltKeyDown = 0x20010001;  // the same with Alt held

INSTANTIATE_TEST_SUITE_P(
    Keys, ClosingTest,
    testing::Values(ClosingCase{"EscInWindow", -1, WM_KEYDOWN, VK_ESCAPE, kKeyDown},
                    ClosingCase{"EscInFolderBox", k编辑框1, WM_KEYDOWN, VK_ESCAPE, kKeyDown},
                    ClosingCase{"EscInPageCountBox", k编辑框2, WM_KEYDOWN, VK_ESCAPE, kKeyDown},
                    ClosingCase{"EscOnStartButton", k按钮1, WM_KEYDOWN, VK_ESCAPE, kKeyDown},
                    ClosingCase{"AltF4", -1, WM_SYSKEYDOWN, VK_F4, kAltKeyDown},
                    ClosingCase{"SystemMenuClose", -1, WM_SYSCOMMAND, SC_CLOSE, 0}),
    [](const testing::TestParamInfo<ClosingCase>& info) { return info.param.name; });

TEST(MainWindowTest, ShowsTheSavedFolderAtEachStartAndNotAFolderOnlyTyped) {
  Program program;
  WriteSaveFolder(program.SettingsPath(), "D:\\壁纸\\下载");
  ASSERT_TRUE(program.Start());
  EXPECT_EQ(TextOf(program.Control(k编辑框1)), "D:\\壁纸\\下载");
  SetTextOf(program.Control(k编辑框1), "E:\\别处");
  ASSERT_TRUE(program.Close());

  ASSERT_TRUE(program.Start());
  EXPECT_EQ(TextOf(program.Control(k编辑框1)), "D:\\壁纸\\下载");
}

TEST(MainWindowTest, ProgramInADriveRootReadsTheRootsSettingsFile) {
  Program program("C:", "lumivant-root-test.exe");
  WriteSaveFolder(program.SettingsPath(), "F:\\根目录");
  ASSERT_EQ(ReadSaveFolder("C:\\路径.ini"), "F:\\根目录");
  ASSERT_TRUE(program.Start());
  EXPECT_EQ(TextOf(program.Control(k编辑框1)), "F:\\根目录");
}

// The chooser is modal inside the program, so the click is posted, not sent.
HWND OpenFolderChooser(const Program& program) {
  ::PostMessageA(program.Control(k按钮2), BM_CLICK, 0, 0);
  HWND chooser = nullptr;
  WaitUntil([&] { return (chooser = VisibleTopLevelWindow(program.ProcessId(), "#32770")) != nullptr; });
  return chooser;
}

std::vector<Text> DescendantTexts(HWND window) {
  std::vector<Text> texts;
  ::EnumChildWindows(
      window,
      [](HWND child, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<Text>*>(param)->push_back(ClassOf(child) + ":" + TextOf(child));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&texts));
  return texts;
}

bool Contains(const std::vector<Text>& texts, const Text& wanted) {
  return std::find(texts.begin(), texts.end(), wanted) != texts.end();
}

TEST(FolderChooserTest, CancelEmptiesTheFolderBoxAndSavesNothing) {
  Program program;
  WriteSaveFolder(program.SettingsPath(), "D:\\壁纸");
  ASSERT_TRUE(program.Start());
  const HWND chooser = OpenFolderChooser(program);
  ASSERT_NE(chooser, nullptr);
  EXPECT_FALSE(::IsWindowEnabled(program.Window()));
  const std::vector<Text> texts = DescendantTexts(chooser);
  EXPECT_TRUE(Contains(texts, "Static:请选择你要保存的路径")) << testing::PrintToString(texts);

  ::PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(program.Window()) != FALSE; }));
  EXPECT_EQ(TextOf(program.Control(k编辑框1)), "");
  EXPECT_EQ(ReadSaveFolder(program.SettingsPath()), "D:\\壁纸");
}

TEST(FolderChooserTest, ChosenFolderGoesIntoTheBoxOnly) {
  Program program;
  ASSERT_TRUE(program.Start());
  const HWND chooser = OpenFolderChooser(program);
  ASSERT_NE(chooser, nullptr);
  const HWND tree = ::FindWindowExA(chooser, nullptr, WC_TREEVIEWA, nullptr);
  ASSERT_NE(tree, nullptr);
  const auto desktop = ::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
  ::SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, desktop);
  ::PostMessageA(chooser, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(program.Window()) != FALSE; }));

  char desktopFolder[MAX_PATH] = {};
  ASSERT_EQ(::SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktopFolder), S_OK);
  EXPECT_EQ(TextOf(program.Control(k编辑框1)), desktopFolder);
  EXPECT_EQ(::GetFileAttributesA(program.SettingsPath().c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace lv::app
