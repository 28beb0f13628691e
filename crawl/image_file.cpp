#include "crawl/image_file.h"

#include "win/handle.h"

#include <algorithm>
#include <vector>

namespace lv::crawl {
namespace {

bool IsFolder(const Text& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Text FullPath(std::string_view folder) {
  const Text in(folder);
  const DWORD need = ::GetFullPathNameA(in.c_str(), 0, nullptr, nullptr);
  if (need == 0) return {};
  std::vector<char> buffer(need + 1);
  const DWORD got = ::GetFullPathNameA(in.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (got == 0 || got >= buffer.size()) return {};
  return Text(buffer.data(), got);
}

// Strips trailing backslashes, walking by character: in code page 936 the
// byte 0x5C can also be the second half of a double-byte character.
Text WithoutTrailingSeparators(Text path) {
  while (!path.empty()) {
    const int last = FindBackward(path, "\\");
    if (last != Len(path) || Len(path) <= 3) break;  // keep "C:\" whole
    path.resize(path.size() - 1);
  }
  return path;
}

bool CreateFolderTree(const Text& path, int depth) {
  if (::CreateDirectoryA(path.c_str(), nullptr) || IsFolder(path)) return true;
  if (::GetLastError() != ERROR_PATH_NOT_FOUND || depth > 512) return false;
  const int cut = FindBackward(path, "\\");
  if (cut <= 1) return false;
  const Text parent = WithoutTrailingSeparators(Left(path, cut - 1));
  if (parent.empty() || parent == path || !CreateFolderTree(parent, depth + 1)) return false;
  return ::CreateDirectoryA(path.c_str(), nullptr) || IsFolder(path);
}

}  // namespace

bool EnsureFolder(std::string_view folder) {
  const Text full = WithoutTrailingSeparators(FullPath(folder));
  if (full.empty()) return false;
  return IsFolder(full) || CreateFolderTree(full, 0);
}

bool ReplaceFileWith(std::string_view path, const ByteSet& bytes) {
  const Text target(path);
  const Text temporary = target + ".part";
  bool written = false;
  {
    win::UniqueFile file(::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    written = true;
    std::size_t done = 0;
    while (done < bytes.size()) {
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
      DWORD wrote = 0;
      if (!::WriteFile(file.Get(), bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) {
        written = false;
        break;
      }
      done += wrote;
    }
  }
  if (written && ::MoveFileExA(temporary.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  ::DeleteFileA(temporary.c_str());
  return false;
}

}  // namespace lv::crawl
