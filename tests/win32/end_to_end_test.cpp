// The whole launcher.exe under Wine: the real path dialog driven by
// keystroke messages, real files, drive E: as a CD-ROM drive, the
// stand-in viewer reporting how it was started.
#include "tests/win32/launcher_fixture.h"
#include "tests/win32/support.h"

namespace wintest {
namespace {

using EndToEnd = LauncherFixture;

TEST_F(EndToEnd, FirstRunAsksRemembersConfiguresAndStartsTheViewer) {
  Launch();
  const Dialog dialog = WaitForDialog();
  ASSERT_NE(dialog.window, nullptr) << "no path dialog";
  EXPECT_EQ(dialog.prompt, kFirstPrompt);
  EXPECT_EQ(dialog.answer, L"D:\\");
  Answer(dialog, L"E:", VK_RETURN);
  EXPECT_EQ(ExitCode(), 0u);
  EXPECT_EQ(ReadBytes(cacheFile), "CDROM=E:\\\r\n");
  EXPECT_EQ(ReadBytes(kSettingsFile), kSettingsForE);
  ExpectViewerStartedFrom(L"E:\\");
}

TEST_F(EndToEnd, LaterRunAsksNothing) {
  WriteBytes(cacheFile, "CDROM=E:\\\r\n");
  Launch();
  EXPECT_EQ(WaitForDialog().window, nullptr) << "asked again";
  EXPECT_EQ(ExitCode(), 0u);
  EXPECT_EQ(ReadBytes(cacheFile), "CDROM=E:\\\r\n");
  EXPECT_EQ(ReadBytes(kSettingsFile), kSettingsForE);
  ExpectViewerStartedFrom(L"E:\\");
}

TEST_F(EndToEnd, RejectedAnswerIsAskedAgainWithItsNormalisedForm) {
  Launch();
  Answer(WaitForDialog(), L"Q:", VK_RETURN);
  const Dialog retry = WaitForDialog();
  ASSERT_NE(retry.window, nullptr) << "no second dialog";
  EXPECT_EQ(retry.prompt, kRetryPrompt);
  EXPECT_EQ(retry.answer, L"Q:\\");
  Answer(retry, L"C:\\windows", VK_RETURN);
  const Dialog third = WaitForDialog();
  EXPECT_EQ(third.answer, L"C:\\windows\\");
  Answer(third, L"E:\\", VK_RETURN);
  EXPECT_EQ(ExitCode(), 0u);
  EXPECT_EQ(ReadBytes(cacheFile), "CDROM=E:\\\r\n");
  ExpectViewerStartedFrom(L"E:\\");
}

TEST_F(EndToEnd, CancelOrCloseWritesAndStartsNothing) {
  for (const bool useCloseBox : {false, true}) {
    Launch();
    const Dialog dialog = WaitForDialog();
    ASSERT_NE(dialog.window, nullptr);
    if (useCloseBox) {
      ::PostMessageW(dialog.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else {
      Answer(dialog, L"E:", VK_ESCAPE);
    }
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(FolderContents(), std::set<std::wstring>{L"launcher.exe"});
    EXPECT_FALSE(Exists(kSettingsFile));
    EXPECT_FALSE(ViewerStarted());
  }
}

TEST_F(EndToEnd, DiscPathWithBlanksStartsOnlyTheViewer) {
  MakeFolder(L"E:\\My Disc");
  WriteBytes(L"E:\\My Disc\\KX31.TXT", "");
  CopyViewer(L"E:\\My Disc\\IVIEWP32.EXE");
  CopyViewer(L"E:\\My.exe");
  Launch();
  Answer(WaitForDialog(), L"E:\\My Disc", VK_RETURN);
  EXPECT_EQ(ExitCode(), 0u);
  ExpectViewerStartedFrom(L"E:\\My Disc\\");
}

TEST_F(EndToEnd, DiscWithoutTheViewerIsReportedAfterTheSettingsWereWritten) {
  ::DeleteFileW(L"E:\\IVIEWP32.EXE");
  Launch();
  Answer(WaitForDialog(), L"E:", VK_RETURN);
  const std::wstring report = TakeReport();
  EXPECT_EQ(report.rfind(L"Error 2:\r\n\r\n", 0), 0u)
      << testing::PrintToString(report);
  EXPECT_GT(report.size(), 12u) << "no description";
  EXPECT_EQ(ExitCode(), 2u);
  EXPECT_EQ(ReadBytes(kSettingsFile), kSettingsForE);
}

}  // namespace
}  // namespace wintest
