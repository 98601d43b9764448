// The whole launcher.exe under Wine: the real path dialog driven by
// keystroke messages, real files, drive E: as a CD-ROM drive, the
// stand-in viewer reporting how it was started.
#include <cstdint>

#include "platform/win32/handles.h"
#include "tests/win32/launcher_fixture.h"
#include "tests/win32/support.h"

namespace wintest {
namespace {

using EndToEnd = LauncherFixture;

TEST_F(EndToEnd, FirstRunAsksRemembersConfiguresAndStartsTheViewer) {
  Launch();
  ExpectBuiltArchitecture();
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

// The identity of an existing file or folder: its volume and file index.
std::uint64_t Identity(const std::wstring& path, DWORD* volume) {
  const platform::win32::FileHandle file(::CreateFileW(
      path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !::GetFileInformationByHandle(file.Get(), &info)) return 0;
  *volume = info.dwVolumeSerialNumber;
  return (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
}

// True when both paths name the same existing folder.
bool SameFolder(const std::wstring& a, const std::wstring& b) {
  DWORD volumeA = 0, volumeB = 0;
  const std::uint64_t idA = Identity(a, &volumeA);
  return idA != 0 && idA == Identity(b, &volumeB) && volumeA == volumeB;
}

// What follows a key in a file of lines, up to the line end.
std::string ValueAfter(const std::string& bytes, const std::string& key) {
  const std::size_t at = bytes.find(key);
  if (at == std::string::npos) return "<no " + key + ">";
  const std::size_t from = at + key.size();
  return bytes.substr(from, bytes.find('\r', from) - from);
}

// A folder name with a best-fit look-alike in code page 1252 ("Lodz", whose
// decoy copy must never be used) and one wholly outside it: each is
// remembered and handed to the viewer in a form naming that very folder.
TEST_F(EndToEnd, FolderNamesOutsideTheCodePageAreRememberedExactly) {
  MakeFolder(L"C:\\Mapy Lodz\\B2020\\IVT");
  WriteBytes(L"C:\\Mapy Lodz\\KX31.TXT", "");
  CopyViewer(L"C:\\Mapy Lodz\\IVIEWP32.EXE");
  for (const std::wstring disc :
       {L"C:\\Mapy \u0141\u00f3d\u017a", L"C:\\\u0394\u03af\u03c3\u03ba\u03bf\u03c2"}) {
    SCOPED_TRACE(testing::PrintToString(disc));
    RemoveTree(disc);
    MakeFolder(disc + L"\\B2020\\IVT");
    WriteBytes(disc + L"\\KX31.TXT", "");
    CopyViewer(disc + L"\\IVIEWP32.EXE");
    ::DeleteFileW(cacheFile.c_str());
    ForgetViewerStart();
    Launch();
    Answer(WaitForDialog(), disc, VK_RETURN);
    ASSERT_EQ(ExitCode(), 0u);
    const std::wstring first = Recorded(L"Path");
    EXPECT_EQ(first, disc + L"\\IVIEWP32.EXE");

    const std::string cached = ValueAfter(ReadBytes(cacheFile), "CDROM=");
    EXPECT_TRUE(SameFolder(std::wstring(cached.begin(), cached.end()), disc))
        << cached;
    const std::string data =
        ValueAfter(ReadBytes(kSettingsFile), "FileFindDir=");
    EXPECT_TRUE(SameFolder(std::wstring(data.begin(), data.end()),
                           disc + L"\\B2020\\IVT"))
        << data;

    ForgetViewerStart();
    Launch();
    EXPECT_EQ(WaitForDialog().window, nullptr) << "asked again";
    EXPECT_EQ(ExitCode(), 0u);
    const std::wstring started = Recorded(L"Path");
    EXPECT_TRUE(SameFolder(started.substr(0, started.rfind(L'\\')), disc))
        << testing::PrintToString(started);
    RemoveTree(disc);
  }
  RemoveTree(L"C:\\Mapy Lodz");
}

}  // namespace
}  // namespace wintest
