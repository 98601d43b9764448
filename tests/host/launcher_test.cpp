// The whole run on the in-memory platform, from the top of the program:
// what is written, what becomes current, what is started, and how a
// failure ends the run.
#include "launcher/launcher.h"

#include <gtest/gtest.h>

#include "launcher/product.h"
#include "locator/remembered_location.h"
#include "platform/fake/fake_platform.h"

using namespace platform::fake;
using platform::Failure;

namespace {

const std::wstring kSettingsFile = L"C:\\WINDOWS\\B2020.INI";
const std::wstring kCacheFile = L"C:\\LAUNCH\\KX31.INI";
const char kSettingsForE[] = "[Browser]\r\nFileFindDir=E:\\B2020\\IVT\r\n";

// A machine with the disc in drive E:.
void InsertDisc(FakePlatform& os, const std::wstring& discPath = L"E:\\") {
  if (discPath[1] == L':') os.AddDrive(discPath.substr(0, 2));
  os.AddFile(discPath + L"KX31.EXE", "", kReadOnly);
  os.AddFile(discPath + L"IVIEWP32.EXE", "", kReadOnly);
  os.AddDirectory(discPath + L"B2020\\IVT", kReadOnly);
}

int RunLauncher(FakePlatform& os, std::vector<std::wstring> answers = {}) {
  os.dialogAnswers.assign(answers.begin(), answers.end());
  return platform::RunReportingFailures(os, &Module1::Main);
}

void ExpectNothingStartedOrChanged(const FakePlatform& os) {
  EXPECT_TRUE(os.started.empty());
  EXPECT_EQ(os.CurrentDirectory(), L"C:\\LAUNCH");
}

TEST(Launch, FirstRunWritesSettingsMakesDiscCurrentAndStartsViewer) {
  FakePlatform os;
  InsertDisc(os);
  EXPECT_EQ(RunLauncher(os, {L"E:"}), 0);
  EXPECT_TRUE(os.reports.empty());
  EXPECT_EQ(os.Contents(kSettingsFile), kSettingsForE);
  EXPECT_EQ(os.Contents(kCacheFile), "CDROM=E:\\\r\n");
  EXPECT_EQ(os.CurrentDirectory(), L"E:\\");
  ASSERT_EQ(os.started.size(), 1u);
  EXPECT_EQ(os.started[0].path, L"E:\\IVIEWP32.EXE");
  EXPECT_EQ(os.started[0].style, 3);
  EXPECT_EQ(os.started[0].currentDirectory, L"E:\\");
}

TEST(Launch, LaterRunAsksNothingAndStartsAgain) {
  FakePlatform os;
  InsertDisc(os);
  ASSERT_EQ(RunLauncher(os, {L"E:"}), 0);
  os.dialogs.clear();
  os.ChangeDirectory(L"C:\\LAUNCH");
  EXPECT_EQ(RunLauncher(os), 0);
  EXPECT_TRUE(os.dialogs.empty());
  EXPECT_EQ(os.started.size(), 2u);
  EXPECT_EQ(os.started[1].currentDirectory, L"E:\\");
}

TEST(Launch, DiscInASubdirectory) {
  FakePlatform os;
  InsertDisc(os, L"E:\\DATA\\");
  os.ChangeDirectory(L"E:\\");
  os.ChangeDirectory(L"C:\\LAUNCH");
  ASSERT_EQ(RunLauncher(os, {L"E:\\DATA"}), 0);
  EXPECT_EQ(os.Contents(kSettingsFile),
            "[Browser]\r\nFileFindDir=E:\\DATA\\B2020\\IVT\r\n");
  ASSERT_EQ(os.started.size(), 1u);
  EXPECT_EQ(os.started[0].path, L"E:\\DATA\\IVIEWP32.EXE");
  EXPECT_EQ(os.started[0].currentDirectory, L"E:\\DATA");
}

TEST(Launch, SettingsFileLosesEverythingItHeldBefore) {
  FakePlatform os;
  InsertDisc(os);
  os.AddFile(kSettingsFile,
             "[Other]\r\nKey=1\r\n[Browser]\r\nFileFindDir=Z:\\\r\nMore=2\r\n");
  ASSERT_EQ(RunLauncher(os, {L"E:"}), 0);
  EXPECT_EQ(os.Contents(kSettingsFile), kSettingsForE);
}

TEST(Launch, CancelEndsSilently) {
  FakePlatform os;
  InsertDisc(os);
  EXPECT_EQ(RunLauncher(os, {L"F:", L""}), 0);
  EXPECT_TRUE(os.reports.empty());
  EXPECT_FALSE(os.Exists(kSettingsFile));
  EXPECT_FALSE(os.Exists(kCacheFile));
  ExpectNothingStartedOrChanged(os);
}

TEST(Launch, UnknownWindowsDirectorySkipsSettingsButStartsViewer) {
  FakePlatform os;
  InsertDisc(os);
  os.windowsDirectory.clear();
  EXPECT_EQ(RunLauncher(os, {L"E:"}), 0);
  EXPECT_EQ(os.written, std::vector<std::wstring>{kCacheFile});
  EXPECT_EQ(os.started.size(), 1u);
}

// Wine always finds a short form the code page holds; Windows may not.
TEST(Launch, PathWithNoFormTheCodePageHoldsEndsTheRunAndKeepsTheOldCache) {
  FakePlatform os;
  const std::wstring disc = L"E:\\\u0394\\";
  InsertDisc(os, disc);
  os.AddFile(kCacheFile, "CDROM=Q:\\\r\n");
  EXPECT_EQ(RunLauncher(os, {disc}), 1113);
  ASSERT_EQ(os.reports.size(), 1u);
  EXPECT_EQ(os.Contents(kCacheFile), "CDROM=Q:\\\r\n");
  EXPECT_TRUE(os.written.empty());
  ExpectNothingStartedOrChanged(os);
}

// What an installer presets is what a run would have remembered: a later run
// asks nothing, and once forgotten, the next run asks again.
TEST(Preset, LocationIsTakenByTheNextRunAndForgottenOnRequest) {
  FakePlatform os;
  const std::wstring share = L"\\\\server\\share\\kx31";
  os.AddDrive(L"\\\\server\\share");
  InsertDisc(os, share + L"\\");
  os.AddFile(kCacheFile, "CDROM=Q:\\\r\n", kReadOnly);
  const locator::RememberedLocation remembered(L"C:\\LAUNCH", product::kCode);
  {
    platform::ScopedPlatform current(os);
    remembered.Remember(share);
  }
  EXPECT_EQ(os.Contents(kCacheFile), "CDROM=\\\\server\\share\\kx31\\\r\n");
  EXPECT_EQ(RunLauncher(os), 0);
  EXPECT_TRUE(os.dialogs.empty());
  ASSERT_EQ(os.started.size(), 1u);
  EXPECT_EQ(os.started[0].path, share + L"\\IVIEWP32.EXE");
  {
    platform::ScopedPlatform current(os);
    remembered.Forget();
    remembered.Forget();
  }
  EXPECT_FALSE(os.Exists(kCacheFile));
  os.ChangeDirectory(L"C:\\LAUNCH");
  EXPECT_EQ(RunLauncher(os, {L""}), 0);
  EXPECT_EQ(os.dialogs.size(), 1u);
}

TEST(Launch, DiscWithoutViewerIsReportedAfterSettingsWereWritten) {
  FakePlatform os;
  InsertDisc(os);
  os.DeleteFileAnyAttributes(L"E:\\IVIEWP32.EXE");
  EXPECT_EQ(RunLauncher(os, {L"E:"}), 2);
  ASSERT_EQ(os.reports.size(), 1u);
  EXPECT_EQ(os.reports[0].Number(), platform::error::kFileNotFound);
  EXPECT_FALSE(os.reports[0].Description().empty());
  EXPECT_EQ(os.Contents(kSettingsFile), kSettingsForE);
}

TEST(Launch, UnwritableWindowsDirectoryEndsTheRunBeforeAnyChange) {
  FakePlatform os;
  InsertDisc(os);
  os.MakeUnwritable(L"C:\\WINDOWS");
  EXPECT_EQ(RunLauncher(os, {L"E:"}), 5);
  ASSERT_EQ(os.reports.size(), 1u);
  EXPECT_EQ(os.reports[0].Number(), platform::error::kAccessDenied);
  EXPECT_EQ(os.Contents(kCacheFile), "CDROM=E:\\\r\n");
  ExpectNothingStartedOrChanged(os);
}

TEST(Launch, UnwritableLauncherDirectoryEndsTheRunWithNothingWritten) {
  FakePlatform os;
  InsertDisc(os);
  os.MakeUnwritable(L"C:\\LAUNCH");
  EXPECT_EQ(RunLauncher(os, {L"E:"}), 5);
  EXPECT_EQ(os.reports.size(), 1u);
  EXPECT_FALSE(os.Exists(kSettingsFile));
  ExpectNothingStartedOrChanged(os);
}

// Each fails one step of making the disc current.
struct DriveFails : FakePlatform {
  void ChangeDrive(const std::wstring&) override {
    throw Failure(platform::error::kNotReady, L"The device is not ready.");
  }
};
struct DirectoryFails : FakePlatform {
  void ChangeDirectory(const std::wstring& path) override {
    if (path == L"E:\\") {
      throw Failure(platform::error::kPathNotFound, L"The system cannot find "
                                                    L"the path specified.");
    }
    FakePlatform::ChangeDirectory(path);
  }
};

template <typename Fake>
void ExpectReportedWithSettingsKept(std::uint32_t number) {
  Fake os;
  InsertDisc(os);
  EXPECT_EQ(RunLauncher(os, {L"E:"}), static_cast<int>(number));
  ASSERT_EQ(os.reports.size(), 1u);
  EXPECT_EQ(os.reports[0].Number(), number);
  EXPECT_EQ(os.Contents(kSettingsFile), kSettingsForE);
  EXPECT_TRUE(os.started.empty());
}

TEST(Launch, DiscThatCannotBeMadeCurrentIsReported) {
  ExpectReportedWithSettingsKept<DriveFails>(platform::error::kNotReady);
  ExpectReportedWithSettingsKept<DirectoryFails>(
      platform::error::kPathNotFound);
}

TEST(Launch, DiscOnAShareKeepsTheDriveAndEntersThePath) {
  FakePlatform os;
  os.AddDrive(L"\\\\SERVER\\SHARE");
  InsertDisc(os, L"\\\\SERVER\\SHARE\\DISC\\");
  ASSERT_EQ(RunLauncher(os, {L"\\\\SERVER\\SHARE\\DISC"}), 0);
  EXPECT_EQ(os.started.back().currentDirectory, L"\\\\SERVER\\SHARE\\DISC");
  EXPECT_EQ(os.started.back().path, L"\\\\SERVER\\SHARE\\DISC\\IVIEWP32.EXE");
}

TEST(WindowsDirectory, SelectorsIgnoreCaseAndOthersCallNothing) {
  FakePlatform os;
  platform::ScopedPlatform use(os);
  for (const wchar_t* which : {L"WIN", L"win", L"Win"}) {
    EXPECT_EQ(Module1::GetWinSysDir(which), L"C:\\WINDOWS");
  }
  EXPECT_EQ(Module1::GetWinSysDir(L"sys"), L"C:\\WINDOWS\\SYSTEM32");
  EXPECT_EQ(Module1::GetWinSysDir(L"SYS"), L"C:\\WINDOWS\\SYSTEM32");
  const int calls = os.windowsDirectoryCalls + os.systemDirectoryCalls;
  for (const wchar_t* which : {L"", L"SYSTEM", L"WINDIR", L" WIN"}) {
    EXPECT_EQ(Module1::GetWinSysDir(which), L"");
  }
  EXPECT_EQ(os.windowsDirectoryCalls + os.systemDirectoryCalls, calls);
}

TEST(WindowsDirectory, NamesOfAnyLengthComeBackWhole) {
  FakePlatform os;
  platform::ScopedPlatform use(os);
  for (std::size_t length : {1u, 63u, 64u, 65u, 200u}) {
    os.windowsDirectory = "C:\\" + std::string(length - 1, 'W');
    os.windowsDirectory.resize(length, 'W');
    EXPECT_EQ(Module1::GetWinSysDir(L"WIN"),
              std::wstring(os.windowsDirectory.begin(),
                           os.windowsDirectory.end()))
        << "length " << length;
  }
  os.windowsDirectory.clear();
  EXPECT_EQ(Module1::GetWinSysDir(L"WIN"), L"");
}

TEST(WindowsDirectory, DoubleByteNamesAreNotShiftedOrPadded) {
  FakePlatform os;
  platform::ScopedPlatform use(os);
  os.doubleByteCodePage = true;
  os.windowsDirectory = "C:\\\x82\xa0\x82\xa2WIN";
  EXPECT_EQ(Module1::GetWinSysDir(L"WIN"), L"C:\\\u4fa0\u4fa2WIN");
}

TEST(Launch, DoubleByteWindowsDirectoryReceivesTheSettingsFile) {
  FakePlatform os;
  InsertDisc(os);
  os.doubleByteCodePage = true;
  os.windowsDirectory = "C:\\\x82\xa0WIN";
  const std::wstring windows = os.FromAnsi(os.windowsDirectory);
  os.AddDirectory(windows);
  ASSERT_EQ(RunLauncher(os, {L"E:"}), 0);
  EXPECT_EQ(os.Contents(windows + L"\\B2020.INI"), kSettingsForE);
}

}  // namespace

// The package remembers the disc it was started from: its INSTALL folder's
// disc, or the disc whose root holds it, when that holds the marker and the
// viewer; anywhere else, nothing.
TEST(Preset, SourceDiscIsTheDiscWhoseRootOrInstallFolderHoldsThePackage) {
  FakePlatform os;
  InsertDisc(os);
  os.AddDirectory(L"E:\\INSTALL", kReadOnly);
  const std::wstring share = L"\\\\server\\share\\kx31";
  os.AddDrive(L"\\\\server\\share");
  InsertDisc(os, share + L"\\");
  os.AddDrive(L"F:");
  os.AddFile(L"F:\\INSTALL\\KX31.TXT", "", kReadOnly);
  os.AddFile(L"F:\\IVIEWP32.EXE", "", kReadOnly);
  os.AddDrive(L"G:");
  os.AddFile(L"G:\\KX31.TXT", "", kReadOnly | kHidden);
  os.AddFile(L"G:\\IVIEWP32.EXE", "", kReadOnly);
  os.AddFile(L"C:\\Downloads\\KX31.ZIP");
  platform::ScopedPlatform current(os);
  const auto discOf = [](const std::wstring& package) {
    return locator::DiscOf(package.substr(0, package.rfind(L'\\')),
                           product::kCode, product::kViewerProgram);
  };
  EXPECT_EQ(discOf(L"E:\\INSTALL\\LAUNCHER.MSI"), L"E:\\");
  EXPECT_EQ(discOf(L"E:\\install\\launcher.msi"), L"E:\\");
  EXPECT_EQ(discOf(L"E:\\LAUNCHER.MSI"), L"E:\\");
  EXPECT_EQ(discOf(share + L"\\INSTALL\\LAUNCHER.MSI"), share + L"\\");
  EXPECT_EQ(discOf(L"F:\\INSTALL\\LAUNCHER.MSI"), L"F:\\");
  EXPECT_EQ(discOf(L"F:\\LAUNCHER.MSI"), L"F:\\");
  EXPECT_EQ(discOf(L"G:\\INSTALL\\LAUNCHER.MSI"), L"");
  EXPECT_EQ(discOf(L"C:\\Downloads\\LAUNCHER.MSI"), L"")
      << "the product's own file beside the package, but no viewer";
  EXPECT_EQ(discOf(L"E:\\B2020\\LAUNCHER.MSI"), L"");
  EXPECT_EQ(discOf(L"Q:\\INSTALL\\LAUNCHER.MSI"), L"");
  EXPECT_TRUE(os.dialogs.empty());
}
