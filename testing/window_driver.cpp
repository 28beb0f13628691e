#include "testing/window_driver.h"

#include <utility>

#include "crawl/settings.h"

namespace lv::app {
using crawl::FolderOf;
using crawl::SettingsFilePath;
namespace {

constexpr DWORD kPatienceMs = 15000;
constexpr char kMainWindowClass[] = "LumivantMainWindow";

struct FoundWindow {
  DWORD processId;
  const char* className;
  HWND window;
};

BOOL CALLBACK TakeIfWanted(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<FoundWindow*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != found->processId || !::IsWindowVisible(window)) return TRUE;
  if (found->className && ClassOf(window) != found->className) return TRUE;
  found->window = window;
  return FALSE;
}

}  // namespace

// The build hands over the program's path; under Wine a Unix path is reached
// through drive Z:.
Text ProgramFile() {
  Text path = LV_PROGRAM_FILE;
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

bool WaitUntil(const std::function<bool()>& condition) {
  for (DWORD waited = 0; waited < kPatienceMs; waited += 20) {
    if (condition()) return true;
    ::Sleep(20);
  }
  return condition();
}

Text TextOf(HWND window) {
  std::vector<char> buffer(16384);
  const LRESULT got = ::SendMessageA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
  return Text(buffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

void SetTextOf(HWND window, const Text& text) {
  ::SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

Text ClassOf(HWND window) {
  char name[256] = {};
  const int got = ::GetClassNameA(window, name, sizeof name);
  return Text(name, got > 0 ? static_cast<std::size_t>(got) : 0);
}

std::vector<HWND> ChildrenOf(HWND window) {
  std::vector<HWND> children;
  for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

HWND VisibleTopLevelWindow(DWORD processId, const char* className) {
  FoundWindow found{processId, className, nullptr};
  ::EnumWindows(&TakeIfWanted, reinterpret_cast<LPARAM>(&found));
  return found.window;
}

Program::Program() : Program(FreshFolder(), "Lumivant.exe") { ownsFolder_ = true; }

Program::Program(Text folder, const Text& fileName)
    : folder_(std::move(folder)), file_(folder_ + "\\" + fileName) {
  ownsFile_ = placed_ = ::CopyFileA(ProgramFile().c_str(), file_.c_str(), FALSE) != 0;
}

Program::Program(InPlace) : folder_(FolderOf(ProgramFile())), file_(ProgramFile()), placed_(true) {}

Program::~Program() {
  Close();
  if (ownsFile_) {
    // The ended process may hold its file for a moment.
    WaitUntil([&] { return ::DeleteFileA(file_.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND; });
  }
  ::DeleteFileA(SettingsPath().c_str());
  if (ownsFolder_) ::RemoveDirectoryA(folder_.c_str());
}

Text Program::SettingsPath() const { return SettingsFilePath(folder_); }

bool Program::Start() {
  if (!placed_) return false;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  Text commandLine = "\"" + file_ + "\"";
  if (!::CreateProcessA(file_.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
    return false;
  }
  ::CloseHandle(info.hThread);
  process_.Reset(info.hProcess);
  processId_ = info.dwProcessId;
  ::WaitForInputIdle(process_.Get(), kPatienceMs);
  return WaitUntil([&] { return (window_ = VisibleTopLevelWindow(processId_, kMainWindowClass)) != nullptr; });
}

bool Program::HasEnded() const { return ::WaitForSingleObject(process_.Get(), kPatienceMs) == WAIT_OBJECT_0; }

bool Program::Close() {
  if (!process_) return true;
  if (::WaitForSingleObject(process_.Get(), 0) != WAIT_OBJECT_0) ::PostMessageA(window_, WM_CLOSE, 0, 0);
  const bool ended = HasEnded();
  if (!ended) ::TerminateProcess(process_.Get(), 1);
  process_.Reset();
  return ended;
}

HWND Program::Control(ControlIndex index) const {
  const std::vector<HWND> children = ChildrenOf(window_);
  return index < children.size() ? children[index] : nullptr;
}

Text Program::FreshFolder() {
  static int made = 0;
  char temp[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, temp);
  const Text folder = Text(temp) + "lumivant 縗壁纸 " + ToText(::GetCurrentProcessId()) + "-" + ToText(++made);
  ::CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

}  // namespace lv::app
