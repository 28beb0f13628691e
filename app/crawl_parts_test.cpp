// The crawl's own small pieces: the page count, the closing words, and the
// file saving that must never leave a broken image behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <string>

#include "app/crawl.h"
#include "app/image_download.h"
#include "app/image_file.h"

namespace lv::app {
namespace {

TEST(PageCountFrom, ReadsTheLeadingNumberCutTowardZero) {
  const struct {
    const char* text;
    int expected;
  } cases[] = {
      {"2", 2},
      {"2.9", 2},
      {"12abc", 12},
      {"abc", 0},
      {"-", 0},
      {"1-2", 1},
      {"-3", -3},
      {"-2.9", -2},
      {" 7", 7},
      {"\xA3\xB1\xA3\xB2", 12},  // full-width digits one and two
      {"99999999999", INT_MAX},
      {"-99999999999", INT_MIN},
      {"1e400", INT_MAX},
  };
  for (const auto& c : cases) EXPECT_EQ(PageCountFrom(c.text), c.expected) << c.text;
}

TEST(ClosingWords, NothingFailedReadsAsSuccess) {
  EXPECT_EQ(ClosingCaption({3, 0, 0}), "成功");
  EXPECT_EQ(ClosingMessage({3, 0, 0}), "mission completed");
  EXPECT_EQ(ClosingMessage({}), "mission completed");
}

TEST(ClosingWords, AnyFailureIsCounted) {
  const CrawlTally tally{4, 2, 1};
  EXPECT_EQ(ClosingCaption(tally), "完成");
  EXPECT_EQ(ClosingMessage(tally),
            "mission completed with errors\r\nimages saved: 4\r\nimages failed: 2\r\npages failed: 1");
  EXPECT_EQ(ClosingCaption({0, 0, 1}), "完成");
}

TEST(IsSavable, OnlyCompleteSuccessfulNonEmptyDownloads) {
  EXPECT_TRUE(IsSavable({{1, 2, 3}, 200, true}));
  EXPECT_TRUE(IsSavable({{1}, 299, true}));
  EXPECT_FALSE(IsSavable({{1, 2, 3}, 404, true}));
  EXPECT_FALSE(IsSavable({{1, 2, 3}, 200, false}));
  EXPECT_FALSE(IsSavable({{}, 200, true}));
  EXPECT_FALSE(IsSavable({{1}, 0, true}));
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
}  // namespace lv::app
