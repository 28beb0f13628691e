// lumivant-cli: the crawl for scripts and schedules. Results on stdout,
// problems on stderr, and an exit code a script can test.
//
// The crawl runs on a thread of its own so that Ctrl+C, Ctrl+Break or closing
// the console can be answered even while a request is blocked: the crawl is
// asked to stop, gets a moment to end by itself, and otherwise the process
// ends around it, taking the temporary file of the image in flight with it.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "cli/options.h"
#include "cli/reports.h"
#include "crawl/engine.h"
#include "crawl/settings.h"
#include "crawl/site.h"
#include "lumivant_version.h"

namespace lv::cli {
namespace {

constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;
// How long a stopped crawl may take to end by itself before the process ends
// around it. Closing the console gives the handler about five seconds.
constexpr DWORD kStopGraceMs = 2000;

crawl::StopSignal g_stop;
HANDLE g_interrupted = nullptr;  // set by the control handler
HANDLE g_finished = nullptr;     // set once the summary is out

BOOL WINAPI OnConsoleControl(DWORD event) {
  g_stop.Request();
  ::SetEvent(g_interrupted);
  // After these the process is ended as soon as the handler returns: wait
  // for the summary first.
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    ::WaitForSingleObject(g_finished, 4000);
  }
  return TRUE;
}

bool IsAbsolute(const Text& path) {
  return (path.size() >= 2 && path[1] == ':') || (path.size() >= 2 && path[0] == '\\' && path[1] == '\\');
}

// The window counts a relative folder from the program's own folder, so a
// remembered one is taken from there too.
Text RememberedFolder(const Text& runDirectory) {
  const Text folder = crawl::ReadSaveFolder(crawl::SettingsFilePath(runDirectory));
  if (folder.empty() || IsAbsolute(folder)) return folder;
  return runDirectory + "\\" + folder;
}

std::vector<Text> Arguments(int argc, char** argv) {
  std::vector<Text> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return args;
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

int Crawl(const Options& options) {
  g_interrupted = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  g_finished = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // A launcher may have started us with Ctrl+C turned off; a crawl that
  // cannot be interrupted is worse than one that can.
  ::SetConsoleCtrlHandler(nullptr, FALSE);
  ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);

  Report report(stdout, stderr, options.json ? Style::kJson : Style::kText,
                IsConsole(::GetStdHandle(STD_ERROR_HANDLE)));

  const auto started = std::chrono::steady_clock::now();
  crawl::CrawlInput input;
  input.folder = options.folder;
  input.pageCount = options.pages;
  input.site = options.site;
  HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread crawler([&] {
    crawl::RunCrawl(input, report, &g_stop);
    ::SetEvent(done);
  });

  const HANDLE waitFor[] = {done, g_interrupted};
  ::WaitForMultipleObjects(2, waitFor, FALSE, INFINITE);
  bool ended = ::WaitForSingleObject(done, g_stop.Requested() ? kStopGraceMs : 0) == WAIT_OBJECT_0;

  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
  int code = 0;
  if (ended) {
    crawler.join();
    code = report.Finish(took.count(), g_stop.Requested());
  } else {
    // The crawl is blocked in a request: its temporary file goes, it can
    // begin or finish no other, and the process ends around it.
    g_stop.TakeFilesOver();
    code = report.Finish(took.count(), true);
    crawler.detach();
  }
  ::SetEvent(g_finished);
  if (!ended) {
    std::fflush(nullptr);
    ::ExitProcess(static_cast<UINT>(code));
  }
  return code;
}

int Main(int argc, char** argv) {
  // Lines end in a bare line feed, as JSON Lines and scripts expect, and the
  // bytes go out as written.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  const Text runDirectory = crawl::RunDirectory();
  const Fallbacks fallbacks{RememberedFolder(runDirectory), crawl::SiteVariable(), crawl::BuiltInSite()};
  const Parsed parsed = ParseArguments(Arguments(argc, argv), fallbacks);
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "%s\n", parsed.error.c_str());
    return kExitUsage;
  }
  if (parsed.options.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (parsed.options.version) {
    std::printf("lumivant-cli %s\n", LV_VERSION);
    return 0;
  }
  return Crawl(parsed.options);
}

}  // namespace
}  // namespace lv::cli

int main(int argc, char** argv) { return lv::cli::Main(argc, argv); }
