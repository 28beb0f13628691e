// Start-up: the run directory becomes the current directory, COM is set up
// for the GUI thread, and the main window runs until it is closed.
#include <windows.h>

#include "app/main_window.h"
#include "crawl/settings.h"
#include "win/com.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  const lv::Text runDirectory = lv::crawl::RunDirectory();
  // With the backslash a bare drive such as C: means its root, not the
  // drive's remembered current directory; relative save folders start here.
  ::SetCurrentDirectoryA((runDirectory + "\\").c_str());
  lv::win::OleScope ole;

  lv::app::MainWindow window(runDirectory);
  if (!window.Create(instance, showCommand)) return 1;
  return window.RunMessageLoop();
}
