// Saving images must never leave a broken file behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "crawl/image_download.h"
#include "crawl/image_file.h"

namespace lv::crawl {
namespace {

ImageDownload Download(ByteSet bytes, int status, bool complete, std::int64_t announced = -1,
                       unsigned long error = 0) {
  ImageDownload d;
  d.bytes = std::move(bytes);
  d.status = status;
  d.complete = complete;
  d.announced = announced;
  d.error = error;
  return d;
}

TEST(IsSavable, OnlyCompleteSuccessfulNonEmptyDownloadsWithTheReasonWhyNot) {
  const struct {
    ImageDownload download;
    bool savable;
    const char* reason;
  } cases[] = {
      {Download({1, 2, 3}, 200, true, 3), true, ""},
      {Download({1}, 299, true), true, ""},
      {Download({1, 2, 3}, 404, true), false, "HTTP 404"},
      {Download({1, 2, 3}, 200, false, 10), false, "cut short (got 3 of 10 bytes)"},
      {Download({1, 2, 3}, 200, false), false, "cut short (got 3 bytes)"},
      {Download({}, 200, true), false, "empty body"},
      {Download({}, 200, false, 5), false, "empty body"},
      {Download({}, 0, false, -1, 12029), false, "no response (error 12029)"},
      {Download({1}, 0, true), false, "no response"},
  };
  for (const auto& c : cases) {
    Failure why;
    EXPECT_EQ(IsSavable(c.download, &why), c.savable) << c.reason;
    if (!c.savable) {
      EXPECT_EQ(Describe(why), c.reason);
    }
  }
}

class ImageFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    root_ = std::string(temp) + "lv_image_file_" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(root_.c_str(), nullptr);
  }
  void TearDown() override {
    // Best effort: remove what the tests made, deepest first.
    for (const char* f : {"\\a\\b\\c\\0.png", "\\0.png", "\\0.png.part", "\\中文\\0.png"}) ::DeleteFileA((root_ + f).c_str());
    for (const char* d : {"\\a\\b\\c", "\\a\\b", "\\a", "\\中文", "\\dir.png"}) ::RemoveDirectoryA((root_ + d).c_str());
    ::RemoveDirectoryA(root_.c_str());
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  std::string root_;
};

TEST_F(ImageFileTest, EnsureFolderCreatesMissingParents) {
  const std::string nested = root_ + "\\a\\b\\c\\";
  EXPECT_TRUE(EnsureFolder(nested));
  EXPECT_TRUE(EnsureFolder(nested));  // already there
  EXPECT_TRUE(ReplaceFileWith(nested + "0.png", {'x'}));
  EXPECT_EQ(Read(root_ + "\\a\\b\\c\\0.png"), "x");
}

TEST_F(ImageFileTest, EnsureFolderTakesChineseNames) {
  EXPECT_TRUE(EnsureFolder(root_ + "\\中文"));
  EXPECT_TRUE(ReplaceFileWith(root_ + "\\中文\\0.png", {'y'}));
  EXPECT_EQ(Read(root_ + "\\中文\\0.png"), "y");
}

TEST_F(ImageFileTest, EnsureFolderFailsWhereAFileStands) {
  ASSERT_TRUE(ReplaceFileWith(root_ + "\\0.png", {'z'}));
  EXPECT_FALSE(EnsureFolder(root_ + "\\0.png"));
  EXPECT_FALSE(EnsureFolder(root_ + "\\0.png\\sub"));
}

TEST_F(ImageFileTest, ReplaceSwapsInTheWholeFileAndLeavesNoTemporary) {
  const std::string target = root_ + "\\0.png";
  ASSERT_TRUE(ReplaceFileWith(target, {'o', 'l', 'd'}));
  const ByteSet fresh = {0x89, 'P', 'N', 'G', 0, 1, 2};
  ASSERT_TRUE(ReplaceFileWith(target, fresh));
  EXPECT_EQ(Read(target), std::string(fresh.begin(), fresh.end()));
  EXPECT_FALSE(Exists(target + ".part"));
}

TEST_F(ImageFileTest, AFailedReplaceKeepsTheOldFile) {
  const std::string target = root_ + "\\0.png";
  ASSERT_TRUE(ReplaceFileWith(target, {'o', 'l', 'd'}));
  // The temporary cannot be made while a folder of that name is in the way.
  ASSERT_TRUE(::CreateDirectoryA((target + ".part").c_str(), nullptr));
  EXPECT_FALSE(ReplaceFileWith(target, {'n', 'e', 'w'}));
  EXPECT_EQ(Read(target), "old");
  ::RemoveDirectoryA((target + ".part").c_str());
  // Nothing at all is written into a folder that does not exist.
  EXPECT_FALSE(ReplaceFileWith(root_ + "\\missing\\0.png", {'x'}));
  EXPECT_FALSE(Exists(root_ + "\\missing"));
}

}  // namespace
}  // namespace lv::crawl
