// Faults that need a user whom the file system can refuse: run by
// run-unprivileged.sh as an ordinary user, with a launcher folder (drive L:)
// and a Windows directory that this user cannot write.
#include "tests/win32/launcher_fixture.h"
#include "tests/win32/support.h"

namespace wintest {
namespace {

constexpr DWORD kAccessDenied = 5;

void ExpectAccessDeniedReport(const std::wstring& report) {
  EXPECT_EQ(report.rfind(L"Error 5:\r\n\r\n", 0), 0u)
      << testing::PrintToString(report);
  EXPECT_GT(report.size(), 12u) << "no description";
}

class LockedLauncherFolder : public LauncherFixture {
 protected:
  LockedLauncherFolder() : LauncherFixture(L"L:") {}
};

TEST_F(LockedLauncherFolder, EndsWithTheReportAndWritesOrStartsNothing) {
  Launch();
  Answer(WaitForDialog(), L"E:", VK_RETURN);
  ExpectAccessDeniedReport(TakeReport());
  EXPECT_EQ(ExitCode(), kAccessDenied);
  EXPECT_EQ(FolderContents(), std::set<std::wstring>{L"launcher.exe"});
  EXPECT_FALSE(Exists(kSettingsFile));
  EXPECT_FALSE(ViewerStarted());
}

using LockedWindowsDirectory = LauncherFixture;

TEST_F(LockedWindowsDirectory, EndsWithTheReportAndKeepsTheCacheFile) {
  ASSERT_FALSE(Exists(kSettingsFile));
  Launch();
  Answer(WaitForDialog(), L"E:", VK_RETURN);
  ExpectAccessDeniedReport(TakeReport());
  EXPECT_EQ(ExitCode(), kAccessDenied);
  EXPECT_EQ(ReadBytes(cacheFile), "CDROM=E:\\\r\n");
  EXPECT_FALSE(Exists(kSettingsFile));
  EXPECT_FALSE(ViewerStarted());
}

}  // namespace
}  // namespace wintest
