// MainWindow: the program's one window, its seven controls and their handlers.
#pragma once

#include <windows.h>

#include "text/text.h"
#include "win/handle.h"

namespace lv::app {

class MainWindow {
 public:
  // The remembered save folder is read from and written beside runDirectory.
  explicit MainWindow(const Text& runDirectory);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window centred on the primary screen, fills it and shows it.
  // False when the window could not be made.
  bool Create(HINSTANCE instance, int showCommand);
  // Serves the event queue until the window is gone; gives the exit code.
  int RunMessageLoop();
  HWND Handle() const { return window_.Get(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  bool IsEscapeKey(const MSG& message) const;

  void OnCommand(int id, int code);
  LRESULT OnEditColour(HDC dc);
  void OnWindowCreated();
  void OnBrowseButtonClicked();
  void OnStartButtonClicked();

  const Text settingsPath_;
  // From the start button's click to the end of its closing message: no
  // command and no close is taken meanwhile.
  bool crawling_ = false;
  win::UniqueFont labelFont_;  // 标签1's own font; outlives the label
  // The controls belong to the window and go with it. Their names are the
  // system's own: 标签 label, 编辑框 edit box, 按钮 button.
  HWND 标签1 = nullptr;
  HWND 编辑框1 = nullptr;
  HWND 按钮2 = nullptr;
  HWND 标签2 = nullptr;
  HWND 编辑框2 = nullptr;
  HWND 按钮1 = nullptr;
  // Last, so that it is destroyed before the font it uses. The user
  // closing the window destroys it too; the handle is let go then.
  win::UniqueWindow window_;
};

}  // namespace lv::app
