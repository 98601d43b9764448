// The in-memory platform must behave as Windows does, or every test built
// on it proves nothing.
#include "platform/fake/fake_platform.h"

#include <gtest/gtest.h>

#include "tests/common/error_of.h"
#include "tests/common/wildcard_cases.h"

using platform::Failure;
using namespace platform::fake;

namespace {

TEST(FakeSearch, MatchesNamesAsWindowsDoes) {
  for (const WildcardCase& c : WildcardCases()) {
    FakePlatform os;
    os.AddDrive(L"E:");
    os.AddFile(std::wstring(L"E:\\") + c.name);
    EXPECT_EQ(os.FindPattern(std::wstring(L"E:\\") + c.pattern), c.matches)
        << "pattern " << testing::PrintToString(std::wstring(c.pattern))
        << " name " << testing::PrintToString(std::wstring(c.name));
  }
}

TEST(FakeSearch, CountsOnlyNormalFiles) {
  FakePlatform os;
  os.AddDrive(L"E:");
  os.AddFile(L"E:\\HIDDEN\\KX31.EXE", "", kHidden);
  os.AddFile(L"E:\\SYSTEM\\KX31.EXE", "", kSystem | kReadOnly);
  os.AddDirectory(L"E:\\DIR\\KX31.X");
  os.AddFile(L"E:\\READONLY\\KX31.EXE", "", kReadOnly);
  os.AddFile(L"E:\\PLAIN\\KX31.EXE", "", 0);
  EXPECT_FALSE(os.FindPattern(L"E:\\HIDDEN\\KX31.*"));
  EXPECT_FALSE(os.FindPattern(L"E:\\SYSTEM\\KX31.*"));
  EXPECT_FALSE(os.FindPattern(L"E:\\DIR\\KX31.*"));
  EXPECT_TRUE(os.FindPattern(L"E:\\READONLY\\KX31.*"));
  EXPECT_TRUE(os.FindPattern(L"E:\\PLAIN\\KX31.*"));
  EXPECT_FALSE(os.FindPattern(L"E:\\KX31.*")) << "only direct children count";
}

TEST(FakeSearch, FailsForMissingDirectoriesBadNamesAndUnreadyDrives) {
  FakePlatform os;
  os.AddDrive(L"E:", false);
  EXPECT_EQ(ErrorOf([&] { os.FindPattern(L"E:\\KX31.*"); }),
            platform::error::kNotReady);
  EXPECT_EQ(ErrorOf([&] { os.FindPattern(L"Q:\\KX31.*"); }),
            platform::error::kPathNotFound);
  EXPECT_EQ(ErrorOf([&] { os.FindPattern(L"C:\\NOSUCH\\KX31.*"); }),
            platform::error::kPathNotFound);
  EXPECT_EQ(ErrorOf([&] { os.FindPattern(L"C:\\A|B\\KX31.*"); }),
            platform::error::kInvalidName);
  EXPECT_EQ(ErrorOf([&] { os.FindPattern(L"C:\\*\\KX31.*"); }),
            platform::error::kInvalidName);
}

TEST(FakePaths, ResolveDriveRelativeRootedUncAndDoubledSeparators) {
  FakePlatform os;
  os.AddDrive(L"E:");
  os.AddDrive(L"\\\\SERVER\\SHARE");
  os.AddFile(L"E:\\DATA\\KX31.EXE");
  os.AddFile(L"C:\\KX31.INI");
  os.AddFile(L"\\\\server\\share\\DISC\\KX31.EXE");
  EXPECT_TRUE(os.FindPattern(L"E:\\\\DATA\\KX31.*"));
  EXPECT_TRUE(os.FindPattern(L"\\KX31.INI")) << "root of the current drive";
  EXPECT_TRUE(os.FindPattern(L"..\\KX31.INI")) << "relative to C:\\LAUNCH";
  EXPECT_TRUE(os.FindPattern(L"\\\\SERVER\\SHARE\\DISC\\KX31.*"));
  os.ChangeDirectory(L"E:\\DATA");
  EXPECT_TRUE(os.FindPattern(L"KX31.*"));
  EXPECT_EQ(os.CurrentDirectory(), L"E:\\DATA");
}

TEST(FakeFiles, CreatingRefusesWhatWindowsRefusesAndReplacesTheRest) {
  FakePlatform os;
  os.AddFile(L"C:\\T\\HIDDEN.INI", "old", kHidden);
  os.AddFile(L"C:\\T\\SYSTEM.INI", "old", kSystem);
  os.AddFile(L"C:\\T\\READONLY.INI", "old", kReadOnly);
  os.AddFile(L"C:\\T\\PLAIN.INI", "old\r\nmore\r\n", kArchive);
  for (const wchar_t* name : {L"HIDDEN", L"SYSTEM", L"READONLY"}) {
    const std::wstring path = std::wstring(L"C:\\T\\") + name + L".INI";
    EXPECT_EQ(ErrorOf([&] { os.WriteTextFile(path, {L"x"}); }),
              platform::error::kAccessDenied);
    EXPECT_EQ(os.Contents(path), "old");
  }
  EXPECT_EQ(ErrorOf([&] {
              os.WriteTextFile(L"C:\\T\\plain.ini", {L"A", L"\u00e9\u4e00"});
            }),
            platform::error::kNoUnicodeTranslation);
  EXPECT_EQ(os.Contents(L"C:\\T\\PLAIN.INI"), "old\r\nmore\r\n");
  os.WriteTextFile(L"C:\\T\\plain.ini", {L"A", L"\u00e9"});
  EXPECT_EQ(os.Contents(L"C:\\T\\PLAIN.INI"), "A\r\n\xe9\r\n");
  EXPECT_EQ(ErrorOf([&] { os.WriteTextFile(L"C:\\NOSUCH\\X.INI", {}); }),
            platform::error::kPathNotFound);
}

TEST(FakeFiles, ReplacingTakesAnyAttributesAndAFailureChangesNothing) {
  FakePlatform os;
  os.AddFile(L"C:\\T\\A.INI", "old", kHidden | kSystem | kReadOnly);
  os.ReplaceTextFile(L"C:\\T\\A.INI", {L"new"});
  EXPECT_EQ(os.Contents(L"C:\\T\\A.INI"), "new\r\n");
  EXPECT_EQ(os.Attributes(L"C:\\T\\A.INI"), kArchive);
  EXPECT_EQ(ErrorOf([&] { os.ReplaceTextFile(L"C:\\T\\A.INI", {L"\u4e00"}); }),
            platform::error::kNoUnicodeTranslation);
  os.MakeUnwritable(L"C:\\T");
  EXPECT_EQ(ErrorOf([&] { os.ReplaceTextFile(L"C:\\T\\A.INI", {L"x"}); }),
            platform::error::kAccessDenied);
  EXPECT_EQ(os.Contents(L"C:\\T\\A.INI"), "new\r\n");
}

TEST(FakeFiles, DeleteRemovesProtectedFilesButNotDirectories) {
  FakePlatform os;
  os.AddFile(L"C:\\T\\A.INI", "", kHidden | kSystem | kReadOnly);
  os.AddDirectory(L"C:\\T\\D.INI");
  os.DeleteFileAnyAttributes(L"C:\\T\\A.INI");
  os.DeleteFileAnyAttributes(L"C:\\T\\MISSING.INI");
  EXPECT_FALSE(os.Exists(L"C:\\T\\A.INI"));
  EXPECT_EQ(ErrorOf([&] { os.DeleteFileAnyAttributes(L"C:\\T\\D.INI"); }),
            platform::error::kAccessDenied);
  os.AddFile(L"C:\\T\\B.INI");
  os.MakeUnwritable(L"C:\\T");
  EXPECT_EQ(ErrorOf([&] { os.DeleteFileAnyAttributes(L"C:\\T\\B.INI"); }),
            platform::error::kAccessDenied);
}

TEST(FakeFiles, ReadFirstLineStopsAtCrOrLfAndFailsOnEmptyFiles) {
  FakePlatform os;
  os.AddFile(L"C:\\A.INI", "first\rsecond\n");
  os.AddFile(L"C:\\B.INI", "first\nsecond");
  os.AddFile(L"C:\\C.INI", "", kHidden);
  EXPECT_EQ(os.ReadFirstLine(L"C:\\A.INI"), L"first");
  EXPECT_EQ(os.ReadFirstLine(L"C:\\B.INI"), L"first");
  EXPECT_EQ(ErrorOf([&] { os.ReadFirstLine(L"C:\\C.INI"); }),
            platform::error::kHandleEof);
  EXPECT_EQ(ErrorOf([&] { os.ReadFirstLine(L"C:\\D.INI"); }),
            platform::error::kFileNotFound);
}

TEST(FakeDirectories, BufferContractOfTheWindowsDirectoryCalls) {
  FakePlatform os;
  char buffer[11] = "xxxxxxxxxx";
  EXPECT_EQ(os.GetWindowsDirectoryA(buffer, 11), 10u);
  EXPECT_STREQ(buffer, "C:\\WINDOWS");
  char small[10] = "unchanged";
  EXPECT_EQ(os.GetWindowsDirectoryA(small, 10), 11u) << "size needed";
  EXPECT_STREQ(small, "unchanged");
  os.systemDirectory.clear();
  EXPECT_EQ(os.GetSystemDirectoryA(buffer, 11), 0u);
}

TEST(FakeDirectories, ChangeDriveKeepsEachDrivesDirectory) {
  FakePlatform os;
  os.AddDrive(L"E:");
  os.AddDirectory(L"E:\\DATA");
  os.ChangeDirectory(L"E:\\DATA");
  os.ChangeDirectory(L"C:\\WINDOWS");
  os.ChangeDrive(L"E:\\ANYTHING");
  EXPECT_EQ(os.CurrentDirectory(), L"E:\\DATA");
  os.ChangeDrive(L"\\\\SERVER\\SHARE\\");
  EXPECT_EQ(os.CurrentDirectory(), L"E:\\DATA") << "no drive letter";
  EXPECT_EQ(ErrorOf([&] { os.ChangeDrive(L"Q:\\"); }),
            platform::error::kInvalidDrive);
  EXPECT_EQ(ErrorOf([&] { os.ChangeDirectory(L"E:\\NOSUCH\\"); }),
            platform::error::kPathNotFound);
}

}  // namespace
