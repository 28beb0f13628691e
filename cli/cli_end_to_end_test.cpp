// lumivant-cli end to end: the real program, started as a script would
// start it, against a site served on 127.0.0.1.
#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "crawl/settings.h"
#include "lumivant_version.h"
#include "testing/wallpaper_site.h"
#include "win/handle.h"

namespace lv::cli {
namespace {

using namespace lv::testing;

constexpr DWORD kPatienceMs = 60000;

struct Outcome {
  DWORD exitCode = STILL_ACTIVE;
  std::string out;
  std::string err;
};

// One run of the program with stdout and stderr going to files; the
// program's folder is `programFolder` (a copy of the program is put there).
class CliProgram {
 public:
  explicit CliProgram(std::string folder) : folder_(std::move(folder)) {
    ::CreateDirectoryA(folder_.c_str(), nullptr);
    ::CopyFileA(LV_CLI_FILE, Exe().c_str(), FALSE);
  }
  std::string Exe() const { return folder_ + "\\lumivant-cli.exe"; }
  std::string Folder() const { return folder_; }

  bool Start(const std::string& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    outPath_ = folder_ + "\\out.txt";
    errPath_ = folder_ + "\\err.txt";
    out_.Reset(::CreateFileA(outPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, 0, nullptr));
    err_.Reset(::CreateFileA(errPath_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out_.Get();
    startup.hStdError = err_.Get();
    std::string command = "\"" + Exe() + "\" " + arguments;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          nullptr, &startup, &info)) {
      return false;
    }
    ::CloseHandle(info.hThread);
    process_.Reset(info.hProcess);
    return true;
  }

  Outcome Wait() {
    Outcome run;
    if (::WaitForSingleObject(process_.Get(), kPatienceMs) != WAIT_OBJECT_0) ::TerminateProcess(process_.Get(), 99);
    ::GetExitCodeProcess(process_.Get(), &run.exitCode);
    out_.Reset();
    err_.Reset();
    run.out = ReadFile(outPath_);
    run.err = ReadFile(errPath_);
    return run;
  }

  Outcome RunWith(const std::string& arguments) {
    if (!Start(arguments)) return {};
    return Wait();
  }

  std::string OutputSoFar() const { return ReadFile(outPath_); }

 private:
  std::string folder_;
  std::string outPath_;
  std::string errPath_;
  win::UniqueFile out_;
  win::UniqueFile err_;
  win::UniqueHandle process_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// The number after "key": in a JSON line, or -1.
long long JsonNumber(const std::string& line, const std::string& key) {
  const std::size_t at = line.find("\"" + key + "\":");
  if (at == std::string::npos) return -1;
  return std::atoll(line.c_str() + at + key.size() + 3);
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(site_.Server().Ok());
    root_ = TestFolder("lumivant cli");
    ::CreateDirectoryA(root_.c_str(), nullptr);
    ::SetEnvironmentVariableA("LUMIVANT_SITE", nullptr);
  }
  void TearDown() override { RemoveTree(root_); }

  std::string SiteUrl() { return site_.Server().Url(""); }

  Site site_;
  std::string root_;
};

TEST_F(CliTest, BadUsageSaysWhatIsWrongOnOneLineAndTouchesNothing) {
  CliProgram program(root_ + "\\程序");
  const std::string out = root_ + "\\out";
  const std::string site = " --site " + SiteUrl();
  const struct {
    std::string arguments;
    const char* problem;
  } cases[] = {
      {"--folder \"" + out + "\" --pages 1 --bogus" + site, "unknown option '--bogus'"},
      {"--folder \"" + out + "\"" + site + " --pages", "option '--pages' needs a value"},
      {"--folder \"" + out + "\" --pages 1.5" + site, "--pages must be a whole number"},
      {"--folder \"" + out + "\" --pages 100001" + site, "--pages must be a whole number"},
      {"--pages 1" + site, "no folder"},
      {"--folder \"" + out + "\" --pages 1 --site ftp://127.0.0.1", "--site must be http(s)://host[:port]"},
      {"--folder \"" + out + "\" --pages 1 --site " + SiteUrl() + "/toplist", "--site must be http(s)://host[:port]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Outcome run = program.RunWith(c.arguments);
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.out, "");
    const std::vector<std::string> lines = Lines(run.err);
    ASSERT_EQ(lines.size(), 1u) << run.err;
    EXPECT_NE(lines[0].find(c.problem), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("--help"), std::string::npos) << lines[0];
  }
  ::SetEnvironmentVariableA("LUMIVANT_SITE", "wallpapers.example.com");
  EXPECT_EQ(program.RunWith("--folder \"" + out + "\" --pages 1").exitCode, 2u);
  EXPECT_EQ(site_.Server().RequestCount(), 0u);
  EXPECT_FALSE(Exists(out));
  EXPECT_FALSE(Exists(program.Folder() + "\\路径.ini"));
}

TEST_F(CliTest, HelpAndVersion) {
  CliProgram program(root_ + "\\程序");
  Outcome run = program.RunWith("--version");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.out, "lumivant-cli " LV_VERSION "\n");
  run = program.RunWith("--help");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.out.rfind("Usage: lumivant-cli --folder DIR --pages N", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("壁纸"), std::string::npos);
}

TEST_F(CliTest, ACleanCrawlSavesEveryImageAndExitsZero) {
  site_.AddPage(1, {"a1", "a2"});
  site_.AddPage(2, {"b1"});
  CliProgram program(root_ + "\\程序");
  const std::string out = root_ + "\\壁纸 下载";
  ::SetEnvironmentVariableA("LUMIVANT_SITE", SiteUrl().c_str());  // the variable is used without --site
  const Outcome run = program.RunWith("--folder \"" + out + "\" --pages 2");
  EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 6u) << run.out;
  EXPECT_EQ(lines[0], "page 1/2  HTTP 200  2 links  " + SiteUrl() + "/toplist?page=1");
  EXPECT_EQ(lines[1].rfind("[page 1/2  1/2]  0.png  saved  ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[4].rfind("[page 2/2  1/1]  2.png  saved  ", 0), 0u) << lines[4];
  EXPECT_EQ(lines[5].rfind("done: 3 saved, 0 failed, 0 pages failed; ", 0), 0u) << lines[5];
  EXPECT_EQ(run.err, "");  // redirected: no live line
  EXPECT_EQ(ReadFile(out + "\\2.png"), site_.Image("b1"));
}

TEST_F(CliTest, JsonLinesAgreeWithTheFilesAndFailuresExitOne) {
  site_.AddPage(1, {"j1", "j2"});
  site_.Server().Route("/full/j2", Reply::Body("<h1>no</h1>", "text/html", 404));
  CliProgram program(root_ + "\\程序");
  const std::string out = root_ + "\\中文";
  const Outcome run = program.RunWith("--json --folder \"" + out + "\" --pages 1 --site " + SiteUrl());
  EXPECT_EQ(run.exitCode, 1u) << run.out << run.err;
  std::vector<std::string> events;
  for (const std::string& line : Lines(run.out)) {
    ASSERT_EQ(line.front(), '{');
    ASSERT_EQ(line.back(), '}');
    const std::size_t at = line.find("\"event\":\"") + 9;
    events.push_back(line.substr(at, line.find('"', at) - at));
    if (events.back() == "image_saved") {
      // The name comes in UTF-8: 中文 is E4 B8 AD E6 96 87.
      EXPECT_NE(line.find(u8"\\\\中文\\\\0.png\""), std::string::npos) << line;
      EXPECT_EQ(JsonNumber(line, "bytes"), static_cast<long long>(ReadFile(out + "\\0.png").size()));
    }
    if (events.back() == "image_failed") {
      EXPECT_NE(line.find("\"reason\":\"HTTP 404\""), std::string::npos);
    }
    if (events.back() == "summary") {
      EXPECT_EQ(JsonNumber(line, "saved"), 1);
      EXPECT_EQ(JsonNumber(line, "failed"), 1);
      EXPECT_NE(line.find("\"interrupted\":false"), std::string::npos);
    }
  }
  EXPECT_EQ(events, (std::vector<std::string>{"page_started", "page_loaded", "image_started", "image_saved",
                                              "image_started", "image_failed", "summary"}));
  EXPECT_EQ(ReadFile(out + "\\0.png"), site_.Image("j1"));
}

TEST_F(CliTest, TheRememberedFolderIsReadAndNeverWritten) {
  site_.AddPage(1, {"r1"});
  CliProgram program(root_ + "\\程序");
  const std::string ini = program.Folder() + "\\路径.ini";
  crawl::WriteSaveFolder(ini, "记住的");  // relative: counted from the program's folder
  const std::string before = ReadFile(ini);
  ASSERT_FALSE(before.empty());
  const Outcome run = program.RunWith("--pages 1 --site " + SiteUrl());
  EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
  EXPECT_EQ(ReadFile(program.Folder() + "\\记住的\\0.png"), site_.Image("r1"));
  EXPECT_EQ(ReadFile(ini), before);
  // --folder wins, and still leaves the file alone.
  EXPECT_EQ(program.RunWith("--pages 1 --folder \"" + root_ + "\\given\" --site " + SiteUrl()).exitCode, 0u);
  EXPECT_TRUE(Exists(root_ + "\\given\\0.png"));
  EXPECT_EQ(ReadFile(ini), before);
}

TEST_F(CliTest, ZeroPagesIsACleanEmptyRun) {
  CliProgram program(root_ + "\\程序");
  const Outcome run = program.RunWith("--pages 0 --folder \"" + root_ + "\\none\" --site " + SiteUrl());
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.out.rfind("done: 0 saved, 0 failed, 0 pages failed", 0), 0u) << run.out;
  EXPECT_EQ(site_.Server().RequestCount(), 0u);
}

// Swallows the Ctrl+C the test sends to its console, so that only the
// program acts on it.
BOOL WINAPI IgnoreCtrlC(DWORD event) { return event == CTRL_C_EVENT; }

TEST_F(CliTest, CtrlCDuringASlowImageKeepsTheOldFileAndExits130) {
  site_.AddPage(1, {"k1", "k2", "k3"});
  Reply slow = Reply::Body(PngBytes("slow"), "image/png");
  slow.delay = std::chrono::seconds(30);
  site_.Server().Route("/full/k2", slow);
  CliProgram program(root_ + "\\程序");
  const std::string out = root_ + "\\keep";
  ::CreateDirectoryA(out.c_str(), nullptr);
  std::ofstream(out + "\\1.png", std::ios::binary) << "older";

  // Ctrl+C reaches the processes of a console; under a test runner the test's
  // own console may be one that takes no events, so it gets a fresh one that
  // the program shares.
  ::FreeConsole();
  ASSERT_TRUE(::AllocConsole());
  ::SetConsoleCtrlHandler(&IgnoreCtrlC, TRUE);
  ASSERT_TRUE(program.Start("--json --folder \"" + out + "\" --pages 1 --site " + SiteUrl()));
  // Wait until the slow image is in flight.
  bool inFlight = false;
  for (DWORD waited = 0; waited < kPatienceMs && !inFlight; waited += 50) {
    inFlight = program.OutputSoFar().find("\"event\":\"image_started\",\"file\":1") != std::string::npos;
    if (!inFlight) ::Sleep(50);
  }
  ASSERT_TRUE(inFlight);
  ::Sleep(300);
  const DWORD sent = ::GetTickCount();
  ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
  const Outcome run = program.Wait();
  EXPECT_LT(::GetTickCount() - sent, 15000u);
  EXPECT_EQ(run.exitCode, 130u) << run.out << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("\"event\":\"summary\""), std::string::npos) << run.out;
  EXPECT_NE(lines.back().find("\"interrupted\":true"), std::string::npos) << run.out;
  EXPECT_EQ(ReadFile(out + "\\1.png"), "older");
  EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"0.png", "1.png"}));
  for (const std::string& target : site_.Targets()) EXPECT_NE(target, "/w/k3");
}

}  // namespace
}  // namespace lv::cli
