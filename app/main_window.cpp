#include "app/main_window.h"

#include <shlobj.h>

#include <vector>

#include "app/start_crawl.h"
#include "app/resources/resource_ids.h"
#include "crawl/settings.h"

namespace lv::app {
namespace {

constexpr char kClassName[] = "LumivantMainWindow";
constexpr char kCaption[] = "Lumivant";
constexpr char kBrowsePrompt[] = "请选择你要保存的路径";
// Outer size, frame included.
constexpr int kWidth = 380;
constexpr int kHeight = 250;
// A fixed frame with a caption bar, a system menu, a minimise button and no
// maximise button.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

enum ControlId : int {
  kId标签1 = 101,
  kId编辑框1,
  kId按钮2,
  kId标签2,
  kId编辑框2,
  kId按钮1,
};

constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_LEFT;
constexpr DWORD kEditStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

struct ControlArgs {
  const char* className = nullptr;
  const char* text = "";
  int id = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
};

HWND CreateControl(HWND parent, const ControlArgs& args) {
  const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(parent, GWLP_HINSTANCE));
  return ::CreateWindowExA(args.exStyle, args.className, args.text, args.style, args.x, args.y, args.width,
                           args.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(args.id)), instance,
                           nullptr);
}

// 编辑框2 takes digits and the minus sign only, and only as typed characters:
// codes below 32 (Backspace, the clipboard shortcuts) pass, so pasting is not
// filtered. The edit control's own procedure is kept in its user data.
bool PassesPageCountFilter(WPARAM code) { return code < 32 || code == '-' || (code >= '0' && code <= '9'); }

LRESULT CALLBACK PageCountEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHAR && !PassesPageCountFilter(wParam)) return 0;
  const auto editProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(edit, GWLP_USERDATA));
  return ::CallWindowProcA(editProc, edit, message, wParam, lParam);
}

void FilterPageCountInput(HWND edit) {
  const LONG_PTR editProc =
      ::SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PageCountEditProc));
  ::SetWindowLongPtrA(edit, GWLP_USERDATA, editProc);
}

// While the folder chooser is open every visible top-level window of the
// program is disabled; afterwards they are enabled again and the former
// active and foreground windows get activation and the foreground back.
class ProgramWindowsDisabled {
 public:
  ProgramWindowsDisabled() : active_(::GetActiveWindow()), foreground_(::GetForegroundWindow()) {
    ::EnumThreadWindows(::GetCurrentThreadId(), &DisableOne, reinterpret_cast<LPARAM>(&disabled_));
  }
  ~ProgramWindowsDisabled() {
    for (HWND window : disabled_) {
      if (::IsWindow(window)) ::EnableWindow(window, TRUE);
    }
    if (::IsWindow(active_)) ::SetActiveWindow(active_);
    if (::IsWindow(foreground_)) ::SetForegroundWindow(foreground_);
  }
  ProgramWindowsDisabled(const ProgramWindowsDisabled&) = delete;
  ProgramWindowsDisabled& operator=(const ProgramWindowsDisabled&) = delete;

 private:
  static BOOL CALLBACK DisableOne(HWND window, LPARAM disabled) {
    if (::IsWindowVisible(window) && ::IsWindowEnabled(window)) {
      ::EnableWindow(window, FALSE);
      reinterpret_cast<std::vector<HWND>*>(disabled)->push_back(window);
    }
    return TRUE;
  }

  HWND active_;
  HWND foreground_;
  std::vector<HWND> disabled_;
};

// The whole shell namespace from the desktop down, with a box to type a path
// into. Empty when the user cancels or picks an item with no file-system path.
Text ChooseFolder(const char* prompt) {
  BROWSEINFOA info{};
  info.hwndOwner = ::GetActiveWindow();
  info.lpszTitle = prompt;
  info.ulFlags = BIF_EDITBOX;
  win::UniqueItemList chosen;
  {
    ProgramWindowsDisabled disabled;
    chosen.Reset(::SHBrowseForFolderA(&info));
  }
  char path[MAX_PATH] = {};
  if (!chosen || !::SHGetPathFromIDListA(chosen.Get(), path)) return {};
  return path;
}

HFONT GuiFont() { return static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)); }

}  // namespace

MainWindow::MainWindow(const Text& runDirectory) : settingsPath_(crawl::SettingsFilePath(runDirectory)) {}

bool MainWindow::Create(HINSTANCE instance, int showCommand) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &MainWindow::WindowProc;
  windowClass.hInstance = instance;
  // Shared icons: the system keeps them for as long as the program runs.
  const auto icon = MAKEINTRESOURCEA(LV_IDI_PROGRAM);
  windowClass.hIcon = ::LoadIconA(instance, icon);
  windowClass.hIconSm = static_cast<HICON>(::LoadImageA(instance, icon, IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                        ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  // A second window in the same process finds the class already there.
  ::RegisterClassExA(&windowClass);

  const int left = (::GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
  const int top = (::GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  if (!::CreateWindowExA(0, kClassName, kCaption, kWindowStyle, left, top, kWidth, kHeight, nullptr, nullptr,
                         instance, this)) {
    return false;
  }

  ::ShowWindow(Handle(), showCommand);
  ::UpdateWindow(Handle());
  return true;
}

int MainWindow::RunMessageLoop() {
  MSG message{};
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (IsEscapeKey(message)) {
      ::SendMessageA(Handle(), WM_CLOSE, 0, 0);
      continue;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

// Edit boxes and buttons keep Esc to themselves, so it is caught here, before
// it reaches whichever control has the focus.
bool MainWindow::IsEscapeKey(const MSG& message) const {
  if (message.message != WM_KEYDOWN || message.wParam != VK_ESCAPE || !Handle()) return false;
  return message.hwnd == Handle() || ::IsChild(Handle(), message.hwnd);
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_.Reset(window);
  }
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!self) return ::DefWindowProcA(window, message, wParam, lParam);
  const LRESULT result = self->HandleMessage(message, wParam, lParam);
  // The last message is handled with the handle still held, so that its
  // default handling reaches the window; only then is the handle let go.
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    self->window_.Release();
  }
  return result;
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateControls();
      OnWindowCreated();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CLOSE:
      // The crawl's requests may serve the queue while they wait; a close
      // that reaches the window then is lost, like every other input.
      if (crawling_) return 0;
      return ::DefWindowProcA(Handle(), message, wParam, lParam);
    case WM_CTLCOLOREDIT:
      return OnEditColour(reinterpret_cast<HDC>(wParam));
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcA(Handle(), message, wParam, lParam);
  }
}

void MainWindow::CreateControls() {
  struct Row {
    HWND MainWindow::*slot;
    ControlArgs args;
  };
  // In the order of the tab stops.
  const Row rows[] = {
      {&MainWindow::标签1, {"STATIC", "保存路径", kId标签1, 128, 8, 96, 24, kLabelStyle}},
      {&MainWindow::编辑框1, {"EDIT", "", kId编辑框1, 16, 40, 336, 32, kEditStyle, WS_EX_CLIENTEDGE}},
      {&MainWindow::按钮2, {"BUTTON", "你想保存在哪里呀？", kId按钮2, 184, 80, 168, 40, kButtonStyle}},
      {&MainWindow::标签2, {"STATIC", "你想爬取的页数", kId标签2, 40, 120, 88, 24, kLabelStyle}},
      {&MainWindow::编辑框2, {"EDIT", "", kId编辑框2, 40, 152, 80, 32, kEditStyle, WS_EX_CLIENTEDGE}},
      {&MainWindow::按钮1, {"BUTTON", "开始爬取", kId按钮1, 264, 152, 80, 32, kButtonStyle}},
  };
  for (const Row& row : rows) {
    this->*row.slot = CreateControl(Handle(), row.args);
    ::SendMessageA(this->*row.slot, WM_SETFONT, reinterpret_cast<WPARAM>(GuiFont()), FALSE);
  }

  // No face name: the system picks its GB2312 face for a 21-pixel character.
  labelFont_.Reset(::CreateFontA(-21, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, nullptr));
  if (labelFont_) ::SendMessageA(标签1, WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_.Get()), FALSE);

  FilterPageCountInput(编辑框2);
}

void MainWindow::OnCommand(int id, int code) {
  // No second crawl and no folder chooser inside a crawl.
  if (code != BN_CLICKED || crawling_) return;
  if (id == kId按钮2) OnBrowseButtonClicked();
  if (id == kId按钮1) OnStartButtonClicked();
}

// Both edit boxes show black text on white, whatever the colour scheme.
LRESULT MainWindow::OnEditColour(HDC dc) {
  ::SetTextColor(dc, RGB(0, 0, 0));
  ::SetBkColor(dc, RGB(255, 255, 255));
  return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
}

void MainWindow::OnWindowCreated() { ::SetWindowTextA(编辑框1, crawl::ReadSaveFolder(settingsPath_).c_str()); }

// Only the box changes; the folder is remembered when a crawl starts.
void MainWindow::OnBrowseButtonClicked() { ::SetWindowTextA(编辑框1, ChooseFolder(kBrowsePrompt).c_str()); }

void MainWindow::OnStartButtonClicked() {
  crawling_ = true;
  StartCrawl(CrawlTargets{Handle(), 编辑框1, 编辑框2, settingsPath_});
  crawling_ = false;
}

}  // namespace lv::app
