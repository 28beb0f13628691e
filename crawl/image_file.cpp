#include "crawl/image_file.h"

#include "http/image_check.h"
#include "win/handle.h"

#include <algorithm>
#include <cstdint>
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

// ERROR_SUCCESS when the folder exists afterwards, else CreateDirectoryA's
// error, taken before IsFolder's own call can replace it.
DWORD MakeFolder(const Text& path) {
  if (::CreateDirectoryA(path.c_str(), nullptr)) return ERROR_SUCCESS;
  const DWORD error = ::GetLastError();
  return IsFolder(path) ? ERROR_SUCCESS : error;
}

DWORD CreateFolderTree(const Text& path, int depth) {
  const DWORD error = MakeFolder(path);
  if (error != ERROR_PATH_NOT_FOUND || depth > 512) return error;
  const int cut = FindBackward(path, "\\");
  if (cut <= 1) return error;
  const Text parent = WithoutTrailingSeparators(Left(path, cut - 1));
  if (parent.empty() || parent == path) return error;
  const DWORD parentError = CreateFolderTree(parent, depth + 1);
  return parentError != ERROR_SUCCESS ? parentError : MakeFolder(path);
}

}  // namespace

bool EnsureFolder(std::string_view folder, unsigned long* error) {
  unsigned long scratch = 0;
  unsigned long& reason = error ? *error : scratch;
  reason = 0;
  const Text full = WithoutTrailingSeparators(FullPath(folder));
  if (full.empty()) return false;
  if (IsFolder(full)) return true;
  reason = CreateFolderTree(full, 0);
  return reason == ERROR_SUCCESS;
}

PartFile::PartFile(std::string_view target) : target_(target), temporary_(target_ + ".part") {
  // Others may delete it while it is open: a console program ending around
  // a blocked download removes it by name, and the close finishes the job.
  file_.Reset(::CreateFileA(temporary_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool PartFile::Write(const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD wrote = 0;
    if (!file_ || !::WriteFile(file_.Get(), data, chunk, &wrote, nullptr) || wrote == 0) return false;
    data += wrote;
    size -= wrote;
    written_ += wrote;
  }
  return true;
}

// The check reads the file through a mapping, so only the pages its walk
// touches are brought into memory.
bool PartFile::HoldsWholeImage() const {
  if (written_ == 0 || written_ > SIZE_MAX) return false;
  win::UniqueHandle mapping(::CreateFileMappingA(file_.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping) return false;
  const void* view = ::MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0);
  if (!view) return false;
  const bool whole =
      WholeImageKind(static_cast<const std::uint8_t*>(view), static_cast<std::size_t>(written_)) != ImageKind::None;
  ::UnmapViewOfFile(view);
  return whole;
}

PartFile::Outcome PartFile::Commit() {
  if (!file_) return Outcome::kWriteFailed;
  if (!HoldsWholeImage()) {
    Discard();
    return Outcome::kNotAnImage;
  }
  file_.Reset();
  if (::MoveFileExA(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    temporary_.clear();
    return Outcome::kSaved;
  }
  Discard();
  return Outcome::kWriteFailed;
}

void PartFile::Discard() {
  file_.Reset();
  if (!temporary_.empty()) ::DeleteFileA(temporary_.c_str());
  temporary_.clear();
}

}  // namespace lv::crawl
