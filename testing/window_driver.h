// Test support for the window tests: starts a copy of the real program and
// reads and works its window from outside with ordinary window messages,
// which reach a window of another process.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <vector>

#include "text/text.h"
#include "win/handle.h"

namespace lv::app {

// The program file that the build made, as a Windows path.
Text ProgramFile();
// Polls the condition for a while; its last answer.
bool WaitUntil(const std::function<bool()>& condition);

Text TextOf(HWND window);
void SetTextOf(HWND window, const Text& text);
Text ClassOf(HWND window);
// In creation order, which is also the tab order.
std::vector<HWND> ChildrenOf(HWND window);
// A visible top-level window of the process, of the class when one is given.
HWND VisibleTopLevelWindow(DWORD processId, const char* className);

// The main window's controls in creation order (通用对话框1 is not made).
enum ControlIndex : std::size_t { k标签1, k编辑框1, k按钮2, k标签2, k编辑框2, k按钮1 };

// One copy of the program in a folder of its own, so that it has its own
// settings file beside it. The folder name holds 縗, whose second byte is
// 0x5C, to catch a run directory cut inside a character.
class Program {
 public:
  Program();
  // fileName inside an existing folder (a bare drive such as C: for its root).
  Program(Text folder, const Text& fileName);
  // The program file itself, started where it lies and left there.
  struct InPlace {};
  explicit Program(InPlace);
  // Closes the program if it runs and removes its settings file and its copy.
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  Text SettingsPath() const;
  // Starts the program and waits for its window; false when it did not come.
  bool Start();
  // Waits for the process to end; true when it did.
  bool HasEnded() const;
  // Asks the window to close, as its close button does; true when the
  // program then ended.
  bool Close();

  HWND Window() const { return window_; }
  DWORD ProcessId() const { return processId_; }
  HWND Control(ControlIndex index) const;

 private:
  static Text FreshFolder();

  Text folder_;
  Text file_;
  bool ownsFolder_ = false;
  bool ownsFile_ = false;  // a copy, removed at the end
  bool placed_ = false;    // the file is there to start
  win::UniqueHandle process_;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
};

}  // namespace lv::app
