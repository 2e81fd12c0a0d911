#include <gtest/gtest.h>

#include "core/ts_file.h"
#include "core/ts_system.h"

namespace {

class ScratchFile : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    wchar_t name[MAX_PATH];
    GetTempFileNameW(folder, L"tsf", 0, name);
    path_ = name;
  }
  void TearDown() override { DeleteFileW(path_.c_str()); }

  ts::WText path_;
};

TEST_F(ScratchFile, WritesThenReadsBack) {
  ts::File file;
  ASSERT_TRUE(file.Create(path_)) << file.LastError();
  ASSERT_TRUE(file.WriteBlock("hello world", 11));
  file.Close();
  ASSERT_TRUE(file.OpenForReading(path_));
  char buffer[16] = {};
  EXPECT_TRUE(file.ReadBlock(buffer, 5));
  EXPECT_EQ(std::string(buffer, 5), "hello");
  EXPECT_EQ(file.ReadSome(buffer, 16), 6);
  EXPECT_EQ(std::string(buffer, 6), " world");
}

TEST_F(ScratchFile, WritesLargerThanOnePieceArrive) {
  std::string data(ts::kMaxWritePiece * 2 + 17, 'x');
  data[ts::kMaxWritePiece] = 'y';
  ts::File file;
  ASSERT_TRUE(file.Create(path_));
  ASSERT_TRUE(file.WriteBlock(data.data(), static_cast<int>(data.size())));
  EXPECT_EQ(file.Size(), static_cast<int64_t>(data.size()));
  file.Close();
  ASSERT_TRUE(file.OpenForReading(path_));
  std::string back(data.size(), '\0');
  ASSERT_TRUE(file.ReadBlock(back.data(), static_cast<int>(back.size())));
  EXPECT_EQ(back, data);
}

TEST_F(ScratchFile, ReadingPastTheEndFails) {
  ts::File file;
  ASSERT_TRUE(file.Create(path_));
  ASSERT_TRUE(file.WriteBlock("abc", 3));
  file.Close();
  ASSERT_TRUE(file.OpenForReading(path_));
  char buffer[8];
  EXPECT_FALSE(file.ReadBlock(buffer, 4));
  EXPECT_EQ(file.LastError(), "Read past end of file");
}

TEST_F(ScratchFile, AccessRightsAreEnforced) {
  ts::File file;
  ASSERT_TRUE(file.Create(path_));
  char buffer[4];
  EXPECT_FALSE(file.ReadBlock(buffer, 4));
  EXPECT_EQ(file.LastError(), "Read access denied");
  EXPECT_EQ(file.ReadSome(buffer, 4), 0);
  EXPECT_EQ(file.LastError(), "Read access denied");
  file.Close();
  ASSERT_TRUE(file.OpenForReading(path_));
  EXPECT_FALSE(file.WriteBlock("x", 1));
  EXPECT_EQ(file.LastError(), "Write access denied");
}

TEST(File, OpeningAMissingFileGivesTheSystemsText) {
  ts::File file;
  EXPECT_FALSE(file.OpenForReading(L"C:\\no such folder\\no such file.bin"));
  EXPECT_EQ(file.LastError(), ts::SystemErrorText(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(file.LastError().empty());
}

struct BlockErrorCase {
  const char* name;
  int size;
  bool withBuffer;
  const char* readError;
  const char* readSomeError;
};

TEST(File, BadBlockArgumentsAreRefusedWithTheirTexts) {
  const BlockErrorCase cases[] = {
      {"negative size", -3, true, "Illegal block size -3", "Illegal block size -3"},
      {"no buffer", 4, false, "read(NULL)", "NULL block pointer"},
  };
  for (const BlockErrorCase& c : cases) {
    ts::File file;
    file.OpenMemory("abcdef", ts::File::kRead);
    char buffer[8];
    EXPECT_FALSE(file.ReadBlock(c.withBuffer ? buffer : nullptr, c.size)) << c.name;
    EXPECT_EQ(file.LastError(), c.readError) << c.name;
    EXPECT_EQ(file.ReadSome(c.withBuffer ? buffer : nullptr, c.size), 0) << c.name;
    EXPECT_EQ(file.LastError(), c.readSomeError) << c.name;
  }
  ts::File file;
  char buffer[1];
  EXPECT_EQ(file.ReadSome(buffer, 0), 0);
  EXPECT_EQ(file.LastError(), "Illegal block size 0");
}

TEST(File, ZeroSizesSucceedWithoutTouchingTheFile) {
  ts::File file;
  file.OpenMemory("abc", ts::File::kRead | ts::File::kWrite);
  EXPECT_TRUE(file.WriteBlock(nullptr, 0));
  EXPECT_TRUE(file.ReadBlock(nullptr, 0));
  EXPECT_EQ(file.Memory(), "abc");
}

TEST(File, NegativeWriteSizeIsIllegal) {
  ts::File file;
  file.OpenMemory("", ts::File::kWrite);
  EXPECT_FALSE(file.WriteBlock("x", -1));
  EXPECT_EQ(file.LastError(), "Illegal write size");
}

TEST(File, UnopenedFileSaysSo) {
  ts::File file;
  char buffer[2];
  EXPECT_FALSE(file.ReadBlock(buffer, 2));
  EXPECT_EQ(file.LastError(), "File not open");
  EXPECT_FALSE(file.WriteBlock("ab", 2));
  EXPECT_EQ(file.LastError(), "File not open");
}

TEST(File, MemoryFileReadsWhatIsLeftAndAppendsWrites) {
  ts::File file;
  file.OpenMemory("12345", ts::File::kRead | ts::File::kWrite);
  char buffer[8];
  EXPECT_TRUE(file.ReadBlock(buffer, 2));
  EXPECT_EQ(file.ReadSome(buffer, 8), 3);
  EXPECT_EQ(std::string(buffer, 3), "345");
  EXPECT_FALSE(file.ReadBlock(buffer, 1));
  EXPECT_EQ(file.LastError(), "Read past end of file");
  EXPECT_TRUE(file.WriteBlock("67", 2));
  EXPECT_EQ(file.Memory(), "1234567");
}

// The uninstaller tells by this whether it runs as the file that the
// product's registration names, however the two paths are spelled.
TEST(File, SameFileObjectIsJudgedByTheOpenedObjectsNotTheSpelling) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const ts::WText folder = ts::WText(temp) + L"Same Object Folder";
  const ts::WText file = folder + L"\\Uninstall Program.exe";
  const ts::WText twin = folder + L"\\twin.exe";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  for (const ts::WText& path : {file, twin}) {
    ts::File created;
    ASSERT_TRUE(created.Create(path) && created.WriteBlock("same bytes", 10)) << created.LastError();
  }
  wchar_t shortFile[MAX_PATH];
  ASSERT_NE(GetShortPathNameW(file.c_str(), shortFile, MAX_PATH), 0u);
  ASSERT_NE(ts::WText(shortFile), file) << "no short name to compare with";

  struct SameCase {
    const char* name;
    ts::WText first;
    ts::WText second;
    bool same;
  };
  const SameCase cases[] = {
      {"the path itself", file, file, true},
      {"other letter case", file, ts::WText(temp) + L"SAME OBJECT FOLDER\\uninstall program.EXE", true},
      {"short name", file, shortFile, true},
      {"folder with a closing backslash", folder, folder + L"\\", true},
      {"a path through the parent", file, folder + L"\\..\\Same Object Folder\\Uninstall Program.exe", true},
      {"another file with the same bytes", file, twin, false},
      {"the file's folder", file, folder, false},
      {"a missing file", file, folder + L"\\missing.exe", false},
      {"two missing files", folder + L"\\missing.exe", folder + L"\\missing.exe", false},
  };
  for (const SameCase& c : cases) EXPECT_EQ(ts::IsSameFileObject(c.first, c.second), c.same) << c.name;

  DeleteFileW(file.c_str());
  DeleteFileW(twin.c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
