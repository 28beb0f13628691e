// The release as a user unzips it: each program carries the build's version
// and its manifest as Windows reads them, and the window starts from the
// unzipped folder. check_package.sh unzips the package into that folder
// first; LV_PROGRAM_FILE names the window's file there.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "crawl/settings.h"
#include "testing/window_driver.h"
#include "lumivant_version.h"
#include "win/handle.h"

namespace lv {
namespace {

struct PackagedProgram {
  const char* file;
  const char* name;  // the file name without .exe
  const char* description;
  bool window;  // a window has visual styles: its controls come from Common Controls 6
};

const PackagedProgram kPrograms[] = {
    {"Lumivant.exe", "Lumivant", "Lumivant 壁纸下载", true},
    {"lumivant-cli.exe", "lumivant-cli", "Lumivant 壁纸下载（命令行）", false},
};

void PrintTo(const PackagedProgram& program, std::ostream* out) { *out << program.name; }

class PackagedProgramTest : public testing::TestWithParam<PackagedProgram> {
 protected:
  Text Path() const { return crawl::FolderOf(app::ProgramFile()) + "\\" + GetParam().file; }
};

INSTANTIATE_TEST_SUITE_P(Package, PackagedProgramTest, testing::ValuesIn(kPrograms),
                         [](const testing::TestParamInfo<PackagedProgram>& info) {
                           Text name = info.param.name;
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

// The whole version resource; empty when the file has none.
std::vector<char> VersionInfoOf(const Text& path) {
  DWORD ignored = 0;
  std::vector<char> info(::GetFileVersionInfoSizeA(path.c_str(), &ignored));
  if (info.empty() || !::GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data())) {
    info.clear();
  }
  return info;
}

// A value inside the version resource; null when it is not there.
template <typename T>
const T* VersionValue(const std::vector<char>& info, const Text& key) {
  void* value = nullptr;
  UINT length = 0;
  if (info.empty() || !::VerQueryValueA(info.data(), key.c_str(), &value, &length) || length == 0) return nullptr;
  return static_cast<const T*>(value);
}

TEST_P(PackagedProgramTest, VersionResourceNamesTheProgramAndTheBuildsVersion) {
  const std::vector<char> info = VersionInfoOf(Path());
  ASSERT_FALSE(info.empty()) << Path();

  const auto* fixed = VersionValue<VS_FIXEDFILEINFO>(info, "\\");
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  const DWORD high = MAKELONG(LV_VERSION_MINOR, LV_VERSION_MAJOR);
  const DWORD low = MAKELONG(0, LV_VERSION_PATCH);
  EXPECT_EQ(fixed->dwFileVersionMS, high);
  EXPECT_EQ(fixed->dwFileVersionLS, low);
  EXPECT_EQ(fixed->dwProductVersionMS, high);
  EXPECT_EQ(fixed->dwProductVersionLS, low);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  // A build date would make two builds of one commit differ.
  EXPECT_EQ(fixed->dwFileDateMS, 0u);
  EXPECT_EQ(fixed->dwFileDateLS, 0u);

  // Readers find the strings through the first translation.
  const auto* translation = VersionValue<WORD>(info, "\\VarFileInfo\\Translation");
  ASSERT_NE(translation, nullptr);
  EXPECT_EQ(translation[0], 0x0804);  // Simplified Chinese
  EXPECT_EQ(translation[1], 1200);    // UTF-16
  char block[32];
  std::snprintf(block, sizeof block, "\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);

  const PackagedProgram& program = GetParam();
  const struct {
    const char* key;
    const char* value;
  } strings[] = {
      {"FileDescription", program.description}, {"ProductName", "Lumivant"},  {"FileVersion", LV_VERSION},
      {"ProductVersion", LV_VERSION},            {"OriginalFilename", program.file}, {"InternalName", program.name},
  };
  for (const auto& string : strings) {
    SCOPED_TRACE(string.key);
    const char* value = VersionValue<char>(info, Text(block) + string.key);
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, string.value);
  }
}

TEST_P(PackagedProgramTest, HeaderCarriesNoLinkTimeAndNoSymbols) {
  win::UniqueFile file(::CreateFileA(Path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
  ASSERT_TRUE(file) << Path();
  std::vector<char> head(4096);
  DWORD got = 0;
  ASSERT_TRUE(::ReadFile(file.Get(), head.data(), static_cast<DWORD>(head.size()), &got, nullptr));
  IMAGE_DOS_HEADER dos;
  ASSERT_GE(got, sizeof dos);
  std::memcpy(&dos, head.data(), sizeof dos);
  ASSERT_EQ(dos.e_magic, IMAGE_DOS_SIGNATURE);
  IMAGE_NT_HEADERS64 nt;
  ASSERT_LE(dos.e_lfanew + sizeof nt, got);
  std::memcpy(&nt, head.data() + dos.e_lfanew, sizeof nt);
  ASSERT_EQ(nt.Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
  EXPECT_EQ(nt.FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
  EXPECT_EQ(nt.FileHeader.TimeDateStamp, 0u);
  EXPECT_EQ(nt.FileHeader.PointerToSymbolTable, 0u);
  EXPECT_EQ(nt.FileHeader.NumberOfSymbols, 0u);
}

std::vector<WORD> ManifestLanguages(HMODULE file) {
  std::vector<WORD> languages;
  ::EnumResourceLanguagesA(
      file, MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1),
      [](HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found) -> BOOL {
        reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&languages));
  return languages;
}

std::vector<ULONG_PTR> ManifestIds(HMODULE file) {
  std::vector<ULONG_PTR> ids;
  ::EnumResourceNamesA(
      file, MAKEINTRESOURCEA(24),
      [](HMODULE, LPCSTR, LPSTR name, LONG_PTR found) -> BOOL {
        reinterpret_cast<std::vector<ULONG_PTR>*>(found)->push_back(IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&ids));
  return ids;
}

// Type 24 (RT_MANIFEST) id 1 is the manifest Windows reads when it starts the
// program; a second one, such as a toolchain's default, would go unread.
TEST_P(PackagedProgramTest, HoldsOneManifestAsResource24Id1) {
  win::UniqueModule file(::LoadLibraryExA(Path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(file) << Path();
  EXPECT_EQ(ManifestIds(file.Get()), std::vector<ULONG_PTR>{1});
  EXPECT_EQ(ManifestLanguages(file.Get()).size(), 1u);

  const HRSRC found = ::FindResourceA(file.Get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr);
  const char* bytes = static_cast<const char*>(::LockResource(::LoadResource(file.Get(), found)));
  ASSERT_NE(bytes, nullptr);
  const Text manifest(bytes, ::SizeofResource(file.Get(), found));
  EXPECT_EQ(Left(manifest, 5), "<?xml");
  EXPECT_NE(manifest.find("version=\"" LV_VERSION ".0\""), Text::npos) << manifest;
}

// The program's manifest as Windows itself reads it: an activation context
// made from the file, queried for each setting.
class ManifestContext {
 public:
  explicit ManifestContext(const Text& path) {
    ACTCTXA request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEA(1);
    context_.Reset(::CreateActCtxA(&request));
  }
  explicit operator bool() const { return static_cast<bool>(context_); }

  bool RunLevel(ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION* level) const {
    return ::QueryActCtxW(0, context_.Get(), nullptr, RunlevelInformationInActivationContext, level,
                          sizeof *level, nullptr) != FALSE;
  }
  // The compatibility section as Windows returns it.
  std::vector<char> Compatibility() const {
    std::vector<char> section(1024);
    SIZE_T got = 0;
    if (!::QueryActCtxW(0, context_.Get(), nullptr, CompatibilityInformationInActivationContext, section.data(),
                        section.size(), &got)) {
      got = 0;
    }
    section.resize(got);
    return section;
  }
  // Empty when the manifest does not set it.
  std::wstring Setting(const wchar_t* ns, const wchar_t* name) const {
    wchar_t value[64] = {};
    SIZE_T got = 0;
    if (!::QueryActCtxSettingsW(0, context_.Get(), ns, name, value, 64, &got)) return {};
    return value;
  }
  // Whether, inside this context, a window of the class comes from a side-by-side
  // assembly rather than from the system's own classes.
  bool RedirectsWindowClass(const char* className) const {
    ULONG_PTR cookie = 0;
    if (!::ActivateActCtx(context_.Get(), &cookie)) return false;
    ACTCTX_SECTION_KEYED_DATA data{};
    data.cbSize = sizeof data;
    const bool found = ::FindActCtxSectionStringA(0, nullptr, ACTIVATION_CONTEXT_SECTION_WINDOW_CLASS_REDIRECTION,
                                                  className, &data) != FALSE;
    ::DeactivateActCtx(0, cookie);
    return found;
  }

 private:
  win::UniqueActivationContext context_;
};

bool Holds(const std::vector<char>& bytes, const GUID& id) {
  for (std::size_t at = 0; at + sizeof id <= bytes.size(); ++at) {
    if (std::memcmp(bytes.data() + at, &id, sizeof id) == 0) return true;
  }
  return false;
}

TEST_P(PackagedProgramTest, ManifestRunsAsInvokerOnWindows7To11WithLongPaths) {
  const ManifestContext manifest(Path());
  ASSERT_TRUE(manifest) << Path() << ": error " << ::GetLastError();

  ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level{};
  ASSERT_TRUE(manifest.RunLevel(&level));
  EXPECT_EQ(level.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
  EXPECT_EQ(level.UiAccess, 0u);

  // Each element grew a field in later Windows versions, so the Ids are
  // looked for in the section rather than read at fixed places.
  const std::vector<char> compatibility = manifest.Compatibility();
  ASSERT_GE(compatibility.size(), sizeof(DWORD));
  DWORD count = 0;
  std::memcpy(&count, compatibility.data(), sizeof count);
  const struct {
    const char* name;
    GUID id;
  } systems[] = {
      {"Windows 7", {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}}},
      {"Windows 8", {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}}},
      {"Windows 8.1", {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}}},
      {"Windows 10 and 11", {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}}},
  };
  EXPECT_EQ(count, std::size(systems));
  for (const auto& system : systems) {
    EXPECT_TRUE(Holds(compatibility, system.id)) << system.name;
  }

  EXPECT_EQ(manifest.Setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"longPathAware"), L"true");
  // DPI awareness stays off: the window keeps its layout by being scaled.
  EXPECT_EQ(manifest.Setting(nullptr, L"dpiAware"), L"");
  EXPECT_EQ(manifest.Setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"), L"");

  EXPECT_EQ(manifest.RedirectsWindowClass("Button"), GetParam().window);
}

TEST(PackagedWindowTest, StartsFromTheUnzippedFolder) {
  app::Program program(app::Program::InPlace{});
  ASSERT_TRUE(program.Start()) << app::ProgramFile();
  EXPECT_EQ(app::TextOf(program.Window()), "Lumivant");
  EXPECT_TRUE(program.Close());
}

}  // namespace
}  // namespace lv
