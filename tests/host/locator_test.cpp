// The disc locator on the in-memory platform: where it looks, what it asks,
// what it remembers, and which failures it absorbs.
#include "locator/disc_locator.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

using namespace platform::fake;

namespace {

const std::wstring kTitle = L"Enter Drive and Path for CD-ROM";
const std::wstring kFirstPrompt = L"Enter Drive and Path for CD-ROM:";
const std::wstring kRetryPrompt =
    L"Please check or re-enter drive and path\r\n\r\n"
    L"Enter Drive and Path for CD-ROM:";
const std::wstring kCacheFile = L"C:\\LAUNCH\\KX31.INI";

class LocatorTest : public testing::Test {
 protected:
  LocatorTest() {
    os.AddDrive(L"E:");
    os.AddDrive(L"F:");
  }

  bool Open(std::vector<std::wstring> answers = {}) {
    os.dialogAnswers.assign(answers.begin(), answers.end());
    return locator.OpenDialog(L"KX31", L"NARD.ZIP");
  }

  void Marker(const std::wstring& path, std::uint32_t attributes = kReadOnly) {
    os.AddFile(path, "", attributes);
  }

  FakePlatform os;
  platform::ScopedPlatform use{os};
  CDRMCLAS locator;
};

TEST_F(LocatorTest, FirstRunAsksThenRemembersTheTypedAnswer) {
  Marker(L"E:\\KX31.EXE");
  ASSERT_TRUE(Open({L"E:"}));
  EXPECT_EQ(locator.CD_Path(), L"E:\\");
  ASSERT_EQ(os.dialogs.size(), 1u);
  EXPECT_EQ(os.dialogs[0].prompt, kFirstPrompt);
  EXPECT_EQ(os.dialogs[0].title, kTitle);
  EXPECT_EQ(os.dialogs[0].defaultText, L"D:\\");
  EXPECT_EQ(os.Contents(kCacheFile), "CDROM=E:\\\r\n");
}

TEST_F(LocatorTest, LaterRunUsesTheCacheAndLeavesItAlone) {
  Marker(L"E:\\KX31.EXE");
  os.AddFile(kCacheFile, "CDROM=E:\\\r\nsecond line\r\n", kArchive);
  ASSERT_TRUE(Open());
  EXPECT_EQ(locator.CD_Path(), L"E:\\");
  EXPECT_TRUE(os.dialogs.empty());
  EXPECT_EQ(os.Contents(kCacheFile), "CDROM=E:\\\r\nsecond line\r\n");
}

TEST_F(LocatorTest, ProbesBothMarkerPatternsEveryTime) {
  Marker(L"E:\\KX31.EXE");
  os.AddDirectory(L"E:\\INSTALL");
  ASSERT_TRUE(Open({L"E:"}));
  EXPECT_EQ(os.searches,
            (std::vector<std::wstring>{kCacheFile, L"E:\\KX31.*",
                                       L"E:\\INSTALL\\KX31.*"}));
}

TEST_F(LocatorTest, MarkerUnderInstallQualifiesTheParent) {
  Marker(L"E:\\INSTALL\\KX31.TXT");
  ASSERT_TRUE(Open({L"E:\\"}));
  EXPECT_EQ(locator.CD_Path(), L"E:\\");
}

TEST_F(LocatorTest, MarkerInRootQualifiesWithoutAnInstallDirectory) {
  Marker(L"E:\\DATA\\KX31.EXE");
  ASSERT_TRUE(Open({L"E:\\DATA"}));
  EXPECT_EQ(locator.CD_Path(), L"E:\\DATA\\");
}

TEST_F(LocatorTest, HiddenSystemAndDirectoryMarkersDoNotCount) {
  Marker(L"E:\\KX31.EXE", kHidden | kReadOnly);
  Marker(L"E:\\INSTALL\\KX31.TXT", kSystem);
  os.AddDirectory(L"E:\\KX31.X");
  os.AddDirectory(L"E:\\INSTALL\\KX31.Y");
  EXPECT_FALSE(Open({L"E:", L""}));
  EXPECT_EQ(os.dialogs.size(), 2u);
}

TEST_F(LocatorTest, RejectedAnswerIsOfferedAgainNormalised) {
  Marker(L"E:\\KX31.EXE");
  ASSERT_TRUE(Open({L"F:", L"G:\\NOWHERE", L"E:"}));
  ASSERT_EQ(os.dialogs.size(), 3u);
  EXPECT_EQ(os.dialogs[1].prompt, kRetryPrompt);
  EXPECT_EQ(os.dialogs[1].title, kTitle);
  EXPECT_EQ(os.dialogs[1].defaultText, L"F:\\");
  EXPECT_EQ(os.dialogs[2].defaultText, L"G:\\NOWHERE\\");
  EXPECT_EQ(os.Contents(kCacheFile), "CDROM=E:\\\r\n");
}

// A path with a comma goes in quoted, as the reader takes it whole; the
// next run finds it without asking.
TEST_F(LocatorTest, FolderWithACommaIsRememberedWholeAndFoundAgain) {
  Marker(L"C:\\Atlas, 1998\\KX31.TXT");
  ASSERT_TRUE(Open({L"C:\\Atlas, 1998"}));
  EXPECT_EQ(os.Contents(kCacheFile), "\"CDROM=C:\\Atlas, 1998\\\"\r\n");
  os.dialogs.clear();
  ASSERT_TRUE(Open());
  EXPECT_TRUE(os.dialogs.empty());
  EXPECT_EQ(locator.CD_Path(), L"C:\\Atlas, 1998\\");
}

// Only a drive path or a share is taken: any other answer would name
// another folder once the disc is made current, where no viewer is. Each
// of these holds the disc as the probe would see it now.
TEST_F(LocatorTest, AnswersThatAreNoFullPathAreAskedAgain) {
  Marker(L"C:\\LAUNCH\\DISC\\KX31.TXT");
  Marker(L"C:\\DISC\\KX31.TXT");
  Marker(L"E:\\DATA\\KX31.TXT");
  Marker(L"E:\\KX31.TXT");
  ASSERT_TRUE(Open({L"DISC", L"E:DATA", L"\\DISC", L"E:"}));
  ASSERT_EQ(os.dialogs.size(), 4u);
  EXPECT_EQ(os.dialogs[1].defaultText, L"DISC\\");
  EXPECT_EQ(os.dialogs[2].defaultText, L"E:DATA\\");
  EXPECT_EQ(os.dialogs[3].defaultText, L"\\DISC\\");
  EXPECT_EQ(os.dialogs[3].prompt, kRetryPrompt);
  EXPECT_EQ(os.Contents(kCacheFile), "CDROM=E:\\\r\n");
}

// The old file is replaced in one step, never deleted first: where a
// delete is refused but a write is not (Program Files under the system's
// file virtualization), the answer is remembered; where the write fails,
// the old location stays.
TEST_F(LocatorTest, ReplacingTheCacheNeverDeletesItFirst) {
  struct DeleteRefused : FakePlatform {
    void DeleteFileAnyAttributes(const std::wstring&) override {
      throw platform::Failure(platform::error::kAccessDenied, L"denied");
    }
  };
  struct WriteFails : FakePlatform {
    void ReplaceTextFile(const std::wstring&,
                         const std::vector<std::wstring>&) override {
      throw platform::Failure(platform::error::kAccessDenied, L"in use");
    }
  };
  {
    DeleteRefused virtualized;
    platform::ScopedPlatform current(virtualized);
    virtualized.AddDrive(L"E:");
    virtualized.AddFile(L"E:\\KX31.EXE", "", kReadOnly);
    virtualized.AddFile(kCacheFile, "CDROM=Q:\\\r\n");
    virtualized.dialogAnswers = {L"E:"};
    EXPECT_TRUE(CDRMCLAS().OpenDialog(L"KX31", L"NARD.ZIP"));
    EXPECT_EQ(virtualized.Contents(kCacheFile), "CDROM=E:\\\r\n");
  }
  {
    WriteFails held;
    platform::ScopedPlatform current(held);
    held.AddDrive(L"E:");
    held.AddFile(L"E:\\KX31.EXE", "", kReadOnly);
    held.AddFile(kCacheFile, "CDROM=Q:\\\r\n", kHidden);
    held.dialogAnswers = {L"E:"};
    EXPECT_THROW(CDRMCLAS().OpenDialog(L"KX31", L"NARD.ZIP"),
                 platform::Failure);
    EXPECT_EQ(held.Contents(kCacheFile), "CDROM=Q:\\\r\n");
  }
}

TEST_F(LocatorTest, AnswerAlreadyEndingInBackslashIsKept) {
  Marker(L"E:\\DATA\\KX31.EXE");
  ASSERT_TRUE(Open({L"E:\\DATA\\"}));
  EXPECT_EQ(locator.CD_Path(), L"E:\\DATA\\");
}

TEST_F(LocatorTest, CancelAtAnyPromptGivesUpAndWritesNothing) {
  for (const auto& answers : {std::vector<std::wstring>{L""},
                              std::vector<std::wstring>{L"F:", L"F:", L""}}) {
    os.dialogs.clear();
    EXPECT_FALSE(Open(answers));
    EXPECT_EQ(locator.CD_Path(), L"");
    EXPECT_EQ(os.dialogs.size(), answers.size());
    EXPECT_FALSE(os.Exists(kCacheFile));
  }
}

TEST_F(LocatorTest, EachCallStartsAfresh) {
  Marker(L"E:\\KX31.EXE");
  ASSERT_TRUE(Open({L"F:", L"E:"}));
  os.DeleteFileAnyAttributes(kCacheFile);
  os.dialogs.clear();
  EXPECT_FALSE(Open({L""}));
  EXPECT_EQ(locator.CD_Path(), L"");
  EXPECT_EQ(os.dialogs[0].defaultText, L"D:\\") << "never the last answer";
}

TEST_F(LocatorTest, FirstDialogOffersDriveDEvenWithAStaleCache) {
  os.AddFile(kCacheFile, "CDROM=F:\\OLD\\\r\n");
  EXPECT_FALSE(Open({L""}));
  EXPECT_EQ(os.dialogs[0].defaultText, L"D:\\");
}

struct CacheCase {
  const char* contents;
  const wchar_t* marker;  // where the disc's marker is
  const wchar_t* found;   // CD_Path after a run without a dialog, or null
  friend void PrintTo(const CacheCase& c, std::ostream* out) {
    *out << testing::PrintToString(std::string(c.contents));
  }
};

class CacheReadingTest : public LocatorTest,
                         public testing::WithParamInterface<CacheCase> {};

TEST_P(CacheReadingTest, ReadsTheFirstItemAfterSixCharacters) {
  os.AddFile(kCacheFile, GetParam().contents);
  Marker(GetParam().marker);
  if (GetParam().found != nullptr) {
    ASSERT_TRUE(Open());
    EXPECT_EQ(locator.CD_Path(), GetParam().found);
    EXPECT_TRUE(os.dialogs.empty());
  } else {
    EXPECT_FALSE(Open({L""}));
    EXPECT_EQ(os.dialogs.size(), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    CacheFile, CacheReadingTest,
    testing::Values(
        CacheCase{"CDROM=E:\\\r\n", L"E:\\KX31.EXE", L"E:\\"},
        CacheCase{"XXXXXXE:\\DATA", L"E:\\DATA\\KX31.EXE", L"E:\\DATA\\"},
        CacheCase{"CDROM=E:\\A,B\\\r\n", L"E:\\A\\KX31.EXE", L"E:\\A\\"},
        CacheCase{"CDROM=E:\\A,B\\\r\n", L"E:\\A,B\\KX31.EXE", nullptr},
        CacheCase{"\"CDROM=E:\\A,B\\\"\r\n", L"E:\\A,B\\KX31.EXE",
                  L"E:\\A,B\\"},
        CacheCase{"  CDROM=E:\\DATA  \r\n", L"E:\\DATA\\KX31.EXE",
                  L"E:\\DATA\\"},
        CacheCase{"CDROM=\r\n", L"C:\\KX31.EXE", L"\\"},
        CacheCase{"E:\\\r\n", L"C:\\KX31.EXE", L"\\"},
        CacheCase{"", L"E:\\KX31.EXE", nullptr},
        CacheCase{"CDROM=E:\\DATA\\\r\n", L"E:\\KX31.EXE", nullptr},
        CacheCase{"CDROM=DISC\r\n", L"C:\\LAUNCH\\DISC\\KX31.EXE", nullptr},
        CacheCase{"CDROM=E:DISC\r\n", L"E:\\DISC\\KX31.EXE", nullptr},
        CacheCase{"CDROM=\\DISC\r\n", L"C:\\DISC\\KX31.EXE", L"\\DISC\\"}));

TEST_F(LocatorTest, HiddenOrSystemCacheFileCountsAsAbsentAndIsReplaced) {
  for (std::uint32_t attributes : {std::uint32_t{kHidden}, kSystem | kReadOnly}) {
    os.AddFile(kCacheFile, "CDROM=E:\\\r\n", attributes);
    Marker(L"E:\\KX31.EXE");
    os.dialogs.clear();
    ASSERT_TRUE(Open({L"E:"}));
    EXPECT_EQ(os.dialogs.size(), 1u);
    EXPECT_EQ(os.Contents(kCacheFile), "CDROM=E:\\\r\n");
    EXPECT_EQ(os.Attributes(kCacheFile), kArchive);
  }
}

TEST_F(LocatorTest, TypedAnswerReplacesAReadOnlyCacheWithOneLine) {
  os.AddFile(kCacheFile, "CDROM=F:\\OLD\\\r\nCDROM=F:\\\r\n", kReadOnly);
  Marker(L"E:\\KX31.EXE");
  ASSERT_TRUE(Open({L"E:"}));
  EXPECT_EQ(os.Contents(kCacheFile), "CDROM=E:\\\r\n");
}

TEST_F(LocatorTest, UnreadyDrivesAreAbsorbedInCacheAndProbe) {
  os.AddDrive(L"G:", false);
  os.AddFile(kCacheFile, "CDROM=G:\\\r\n");
  Marker(L"E:\\KX31.EXE");
  ASSERT_TRUE(Open({L"G:", L"E:"}));
  EXPECT_EQ(os.dialogs.size(), 2u);
  EXPECT_EQ(os.dialogs[1].defaultText, L"G:\\");
}

TEST_F(LocatorTest, NamesTheSystemRejectsAreAbsorbedInTheProbe) {
  Marker(L"E:\\KX31.EXE");
  EXPECT_TRUE(Open({L"E:\\*", L"E:\\A|B", L"E:"}));
  EXPECT_EQ(os.dialogs.size(), 3u);
}

TEST_F(LocatorTest, CacheInADriveRootUsesADoubledSeparator) {
  os.launcherDirectory = L"C:\\";
  Marker(L"E:\\KX31.EXE");
  ASSERT_TRUE(Open({L"E:"}));
  EXPECT_EQ(os.searches.front(), L"C:\\\\KX31.INI");
  EXPECT_EQ(os.Contents(L"C:\\KX31.INI"), "CDROM=E:\\\r\n");
  os.dialogs.clear();
  ASSERT_TRUE(Open());
  EXPECT_TRUE(os.dialogs.empty());
}

TEST_F(LocatorTest, UnwritableLauncherDirectoryFailsAfterAQualifiedAnswer) {
  Marker(L"E:\\KX31.EXE");
  os.MakeUnwritable(L"C:\\LAUNCH");
  try {
    Open({L"E:"});
    FAIL() << "the failure to write the cache file was swallowed";
  } catch (const platform::Failure& failure) {
    EXPECT_EQ(failure.Number(), platform::error::kAccessDenied);
  }
  EXPECT_FALSE(os.Exists(kCacheFile));
}

TEST_F(LocatorTest, FailingExistenceTestOfTheCacheIsNotAbsorbed) {
  os.launcherDirectory = L"Q:\\GONE";
  EXPECT_THROW(Open({L""}), platform::Failure);
  EXPECT_TRUE(os.dialogs.empty());
}

}  // namespace
