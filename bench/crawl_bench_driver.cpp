// Drives one copy of the real program for bench/crawl_bench.sh and prints
// what it cost, as one line of figures:
//
//   crawl_bench_driver idle
//     starts the program, leaves it idle for a moment, and prints
//     "idle <peak working set bytes> <peak pagefile bytes>"
//   crawl_bench_driver crawl SITE PAGES
//     starts the program with LUMIVANT_SITE=SITE, crawls PAGES pages into a
//     fresh folder and prints
//     "crawl <seconds> <peak working set bytes> <peak pagefile bytes>
//      <bytes written> <files written> <1 when the closing message was clean>"
//     The seconds run from the click to the closing message, so neither
//     Wine's start-up nor the program's counts. The files are deleted after
//     they are counted.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "testing/window_driver.h"
#include "win/handle.h"

namespace lv::app {
namespace {

constexpr char kMessageTitle[] = "提示";
constexpr char kCleanMessage[] = "mission completed";
constexpr DWORD kIdleMs = 2000;
constexpr DWORD kCrawlPatienceMs = 30 * 60 * 1000;
// How often the closing message is looked for: fine enough for the shortest
// crawls, coarse enough not to take CPU from the crawl itself.
constexpr DWORD kPollMs = 5;

double Now() {
  LARGE_INTEGER frequency, counter;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Memory {
  unsigned long long peakWorkingSet = 0;
  unsigned long long peakPagefile = 0;
};

Memory PeakMemoryOf(DWORD processId) {
  Memory memory;
  win::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  PROCESS_MEMORY_COUNTERS counters{};
  if (process && ::GetProcessMemoryInfo(process.Get(), &counters, sizeof counters)) {
    memory.peakWorkingSet = counters.PeakWorkingSetSize;
    memory.peakPagefile = counters.PeakPagefileUsage;
  }
  return memory;
}

// The program's message box with the system's title, read without sending
// the window a message; nullptr until it shows.
HWND MessageBoxOf(const Program& program) {
  HWND box = VisibleTopLevelWindow(program.ProcessId(), "#32770");
  char caption[64] = {};
  if (!box || ::GetWindowTextA(box, caption, sizeof caption) <= 0) return nullptr;
  return std::strcmp(caption, kMessageTitle) == 0 ? box : nullptr;
}

// The message's text: its one static control that holds text.
Text MessageText(HWND box) {
  for (HWND child : ChildrenOf(box)) {
    if (::lstrcmpiA(ClassOf(child).c_str(), "Static") == 0 && !TextOf(child).empty()) return TextOf(child);
  }
  return {};
}

struct Written {
  unsigned long long bytes = 0;
  int files = 0;
};

// Counts the crawl's files, deleting each, then the folder.
Written CountAndRemove(const Text& folder) {
  Written written;
  // The search is closed before the folder goes.
  if (WIN32_FIND_DATAA found{}; const win::UniqueFind search{::FindFirstFileA((folder + "\\*").c_str(), &found)}) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      written.bytes += (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
      ++written.files;
      ::DeleteFileA((folder + "\\" + found.cFileName).c_str());
    } while (::FindNextFileA(search.Get(), &found));
  }
  ::RemoveDirectoryA(folder.c_str());
  return written;
}

Text FreshSaveFolder() {
  char temp[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, temp);
  return Text(temp) + "lumivant bench " + ToText(::GetCurrentProcessId());
}

int Idle() {
  Program program;
  if (!program.Start()) return 1;
  ::Sleep(kIdleMs);
  const Memory memory = PeakMemoryOf(program.ProcessId());
  std::printf("idle %llu %llu\n", memory.peakWorkingSet, memory.peakPagefile);
  return program.Close() ? 0 : 1;
}

int Crawl(const char* site, const char* pages) {
  ::SetEnvironmentVariableA("LUMIVANT_SITE", site);
  const Text folder = FreshSaveFolder();
  Program program;
  if (!program.Start()) return 1;
  SetTextOf(program.Control(k编辑框1), folder);
  SetTextOf(program.Control(k编辑框2), pages);
  HWND button = program.Control(k按钮1);

  const double start = Now();
  ::PostMessageA(program.Window(), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
  // A program that ends before its closing message has crashed.
  win::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, program.ProcessId()));
  if (!process) return 1;
  HWND box = nullptr;
  for (DWORD waited = 0; !box && waited < kCrawlPatienceMs; waited += kPollMs) {
    box = MessageBoxOf(program);
    if (!box && ::WaitForSingleObject(process.Get(), kPollMs) == WAIT_OBJECT_0) break;
  }
  const double seconds = Now() - start;
  if (!box) {
    CountAndRemove(folder);
    std::fprintf(stderr, "no closing message after %.3f s\n", seconds);
    return 1;
  }

  const Memory memory = PeakMemoryOf(program.ProcessId());
  const Text message = MessageText(box);
  const bool clean = message == kCleanMessage;
  if (!clean) std::fprintf(stderr, "closing message: %s\n", Replace(message, "\r\n", "; ", /*matchCase=*/true).c_str());
  ::PostMessageA(box, WM_COMMAND, IDOK, 0);
  program.Close();
  const Written written = CountAndRemove(folder);
  std::printf("crawl %.3f %llu %llu %llu %d %d\n", seconds, memory.peakWorkingSet, memory.peakPagefile,
              written.bytes, written.files, clean ? 1 : 0);
  return 0;
}

}  // namespace
}  // namespace lv::app

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "idle") == 0) return lv::app::Idle();
  if (argc == 4 && std::strcmp(argv[1], "crawl") == 0) return lv::app::Crawl(argv[2], argv[3]);
  std::fprintf(stderr, "usage: crawl_bench_driver idle | crawl SITE PAGES\n");
  return 2;
}
