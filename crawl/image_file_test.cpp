// Saving images must never leave a broken file behind, nor replace a good
// one with anything but a whole image.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "crawl/image_file.h"

namespace lv::crawl {
namespace {

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

// Writes the bytes through a PartFile and commits them.
PartFile::Outcome Save(const std::string& target, const std::string& bytes) {
  PartFile part(target);
  if (!part.Ok()) return PartFile::Outcome::kWriteFailed;
  if (!part.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())) {
    return PartFile::Outcome::kWriteFailed;
  }
  return part.Commit();
}

// The smallest whole PNG: signature, IHDR, IDAT and IEND chunks (the checks
// walk the chunk lengths; the CRCs are not looked at).
std::string TinyPng(char tag) {
  auto chunk = [](const std::string& type, const std::string& data) {
    const auto n = static_cast<unsigned>(data.size());
    return std::string{static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                       static_cast<char>(n)} +
           type + data + std::string(4, '\0');
  };
  return "\x89PNG\r\n\x1a\n" + chunk("IHDR", std::string(13, tag)) + chunk("IDAT", std::string(5, tag)) +
         chunk("IEND", "");
}

TEST_F(ImageFileTest, EnsureFolderCreatesMissingParents) {
  const std::string nested = root_ + "\\a\\b\\c\\";
  EXPECT_TRUE(EnsureFolder(nested));
  EXPECT_TRUE(EnsureFolder(nested));  // already there
  EXPECT_EQ(Save(nested + "0.png", TinyPng('x')), PartFile::Outcome::kSaved);
  EXPECT_EQ(Read(root_ + "\\a\\b\\c\\0.png"), TinyPng('x'));
}

TEST_F(ImageFileTest, EnsureFolderTakesChineseNames) {
  EXPECT_TRUE(EnsureFolder(root_ + "\\中文"));
  EXPECT_EQ(Save(root_ + "\\中文\\0.png", TinyPng('y')), PartFile::Outcome::kSaved);
  EXPECT_EQ(Read(root_ + "\\中文\\0.png"), TinyPng('y'));
}

TEST_F(ImageFileTest, EnsureFolderFailsWhereAFileStands) {
  ASSERT_EQ(Save(root_ + "\\0.png", TinyPng('z')), PartFile::Outcome::kSaved);
  EXPECT_FALSE(EnsureFolder(root_ + "\\0.png"));
  EXPECT_FALSE(EnsureFolder(root_ + "\\0.png\\sub"));
}

// The reason is the system's answer to making the folder, taken before any
// later look at the path can replace it: the two differ for a share that
// cannot be reached, where making a folder finds no path and a look finds no
// device.
TEST_F(ImageFileTest, EnsureFolderGivesTheReasonForTheDeepestFolderItCouldNotMake) {
  ASSERT_EQ(Save(root_ + "\\0.png", TinyPng('z')), PartFile::Outcome::kSaved);
  const struct {
    std::string folder;
    std::string deepest;  // the folder whose making fails first
  } cases[] = {
      {root_ + "\\0.png\\sub", root_ + "\\0.png"},
      {"\\\\127.0.0.1\\lumivant-no-such-share\\wallpapers", "\\\\127.0.0.1\\lumivant-no-such-share\\wallpapers"},
  };
  for (const auto& c : cases) {
    ASSERT_FALSE(::CreateDirectoryA(c.deepest.c_str(), nullptr)) << c.deepest;
    const unsigned long expected = ::GetLastError();
    unsigned long error = 0;
    EXPECT_FALSE(EnsureFolder(c.folder, &error)) << c.folder;
    EXPECT_EQ(error, expected) << c.folder;
  }
  unsigned long error = 1;
  EXPECT_TRUE(EnsureFolder(root_, &error));
  EXPECT_EQ(error, 0u);
}

TEST_F(ImageFileTest, OnlyAWholeImageReplacesTheFileAndNoTemporaryStays) {
  const std::string target = root_ + "\\0.png";
  ASSERT_EQ(Save(target, TinyPng('o')), PartFile::Outcome::kSaved);
  const std::string whole = TinyPng('n');
  const struct {
    std::string bytes;
    PartFile::Outcome outcome;
  } cases[] = {
      {"<html><body>404 Not Found</body></html>", PartFile::Outcome::kNotAnImage},
      {whole.substr(0, whole.size() - 5), PartFile::Outcome::kNotAnImage},  // cut short
      {whole + whole, PartFile::Outcome::kNotAnImage},                      // sent twice
      {"", PartFile::Outcome::kNotAnImage},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Save(target, c.bytes), c.outcome) << c.bytes.size();
    EXPECT_EQ(Read(target), TinyPng('o'));
    EXPECT_FALSE(Exists(target + ".part"));
  }
  EXPECT_EQ(Save(target, whole), PartFile::Outcome::kSaved);
  EXPECT_EQ(Read(target), whole);
  EXPECT_FALSE(Exists(target + ".part"));
}

TEST_F(ImageFileTest, AnUncommittedOrFailedFileKeepsTheOldOne) {
  const std::string target = root_ + "\\0.png";
  ASSERT_EQ(Save(target, TinyPng('o')), PartFile::Outcome::kSaved);
  {
    PartFile part(target);
    ASSERT_TRUE(part.Ok());
    ASSERT_TRUE(part.Write(reinterpret_cast<const std::uint8_t*>("abc"), 3));
    EXPECT_TRUE(Exists(target + ".part"));
  }  // dropped without a commit
  EXPECT_FALSE(Exists(target + ".part"));
  EXPECT_EQ(Read(target), TinyPng('o'));
  // The temporary cannot be made while a folder of that name is in the way.
  ASSERT_TRUE(::CreateDirectoryA((target + ".part").c_str(), nullptr));
  EXPECT_EQ(Save(target, TinyPng('n')), PartFile::Outcome::kWriteFailed);
  EXPECT_EQ(Read(target), TinyPng('o'));
  ::RemoveDirectoryA((target + ".part").c_str());
  // Nothing at all is written into a folder that does not exist.
  EXPECT_EQ(Save(root_ + "\\missing\\0.png", TinyPng('x')), PartFile::Outcome::kWriteFailed);
  EXPECT_FALSE(Exists(root_ + "\\missing"));
}

}  // namespace
}  // namespace lv::crawl
