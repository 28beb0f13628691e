#include "crawl/settings.h"

#include <windows.h>

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

namespace lv::crawl {
namespace {

struct FolderCase {
  const char* filePath;
  const char* folder;
};

class FolderOfTest : public testing::TestWithParam<FolderCase> {};

TEST_P(FolderOfTest, CutsBeforeTheLastBackslash) {
  EXPECT_EQ(FolderOf(GetParam().filePath), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FolderOfTest,
    testing::Values(FolderCase{"C:\\Lumivant.exe", "C:"},  // a drive root leaves the bare drive
                    FolderCase{"C:\\壁纸\\工具\\Lumivant.exe", "C:\\壁纸\\工具"},
                    // 縗 is 0xBF 0x5C: its second byte is not a backslash.
                    FolderCase{"D:\\下载\\縗\\Lumivant.exe", "D:\\下载\\縗"},
                    FolderCase{"\\\\server\\share\\Lumivant.exe", "\\\\server\\share"},
                    FolderCase{"Lumivant.exe", ""}));

TEST(SettingsFilePathTest, JoinsTheFileNameWithABackslash) {
  EXPECT_EQ(SettingsFilePath("C:"), "C:\\路径.ini");
  EXPECT_EQ(SettingsFilePath("D:\\壁纸"), "D:\\壁纸\\路径.ini");
}

class SaveFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    folder_ = Text(temp) + "lumivant-settings-" + ToText(::GetCurrentProcessId());
    ::CreateDirectoryA(folder_.c_str(), nullptr);
    path_ = SettingsFilePath(folder_);
  }
  void TearDown() override {
    ::DeleteFileA(path_.c_str());
    ::RemoveDirectoryA(folder_.c_str());
  }
  Text FileBytes() const {
    std::ifstream in(path_, std::ios::binary);
    return Text(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  Text folder_;
  Text path_;
};

TEST_F(SaveFolderTest, MissingFileSectionOrKeyReadsEmpty) {
  EXPECT_EQ(ReadSaveFolder(path_), "");
  ::WritePrivateProfileStringA("其他", "路径", "D:\\x", path_.c_str());
  EXPECT_EQ(ReadSaveFolder(path_), "");
  ::WritePrivateProfileStringA("路径保存", "别的", "D:\\x", path_.c_str());
  EXPECT_EQ(ReadSaveFolder(path_), "");
}

TEST_F(SaveFolderTest, WritesTheUsualIniLayoutInCodePage936AndReadsItBack) {
  WriteSaveFolder(path_, "D:\\壁纸\\下载");
  EXPECT_EQ(FileBytes(), "[路径保存]\r\n路径=D:\\壁纸\\下载\r\n");
  EXPECT_EQ(ReadSaveFolder(path_), "D:\\壁纸\\下载");
  WriteSaveFolder(path_, "E:\\图片");
  EXPECT_EQ(ReadSaveFolder(path_), "E:\\图片");
}

TEST_F(SaveFolderTest, LongValueComesBackCutTo10239Bytes) {
  const Text longFolder(12000, 'a');
  WriteSaveFolder(path_, longFolder);
  EXPECT_EQ(ReadSaveFolder(path_), longFolder.substr(0, 10239));
}

}  // namespace
}  // namespace lv::crawl
