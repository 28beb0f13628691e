#include "crawl/settings.h"

#include <windows.h>

#include <vector>

namespace lv::crawl {
namespace {

constexpr char kSettingsFileName[] = "路径.ini";
constexpr char kSection[] = "路径保存";
constexpr char kKey[] = "路径";
constexpr DWORD kReadBufferSize = 10240;
// The longest path the "A" file APIs hand out with a long-path prefix.
constexpr DWORD kLongestPath = 32768;

Text ProgramFilePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD got = ::GetModuleFileNameA(nullptr, buffer.data(), size);
    if (got == 0) return {};
    // A full buffer means the name was cut; try again with more room.
    if (got < size || size >= kLongestPath) return Text(buffer.data(), got);
    buffer.resize(size * 2);
  }
}

}  // namespace

Text RunDirectory() { return FolderOf(ProgramFilePath()); }

Text FolderOf(std::string_view filePath) {
  const int backslash = FindBackward(filePath, "\\");
  return backslash > 0 ? Left(filePath, backslash - 1) : Text();
}

Text SettingsFilePath(std::string_view runDirectory) {
  return Text(runDirectory) + "\\" + kSettingsFileName;
}

Text ReadSaveFolder(std::string_view settingsPath) {
  std::vector<char> buffer(kReadBufferSize);
  const DWORD got = ::GetPrivateProfileStringA(kSection, kKey, nullptr, buffer.data(), kReadBufferSize,
                                               Text(settingsPath).c_str());
  return Text(buffer.data(), got);
}

void WriteSaveFolder(std::string_view settingsPath, std::string_view folder) {
  ::WritePrivateProfileStringA(kSection, kKey, Text(folder).c_str(), Text(settingsPath).c_str());
}

}  // namespace lv::crawl
