// The Win32 backend against real files, drives and processes.
#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>

#include "platform/win32/errors.h"
#include "platform/win32/handles.h"
#include "tests/common/error_of.h"
#include "tests/common/wildcard_cases.h"
#include "tests/win32/support.h"

using platform::Failure;
using platform::win32::Win32Platform;

namespace {

class Backend : public testing::Test {
 protected:
  void SetUp() override {
    wintest::RemoveTree(dir);
    wintest::MakeFolder(dir);
  }
  void TearDown() override {
    ::SetCurrentDirectoryW(L"C:\\");
    wintest::RemoveTree(dir);
  }
  std::wstring File(const std::wstring& name, const std::string& bytes = "",
                    DWORD attributes = FILE_ATTRIBUTE_ARCHIVE) {
    const std::wstring path = dir + L"\\" + name;
    wintest::WriteBytes(path, bytes);
    ::SetFileAttributesW(path.c_str(), attributes);
    return path;
  }

  const std::wstring dir = L"C:\\backend-test";
  Win32Platform os;
};

TEST_F(Backend, SearchMatchesNamesAsWindowsDoes) {
  for (const WildcardCase& c : WildcardCases()) {
    SetUp();
    File(c.name);
    EXPECT_EQ(os.FindPattern(dir + L"\\" + c.pattern), c.matches)
        << testing::PrintToString(std::wstring(c.pattern)) << " / "
        << testing::PrintToString(std::wstring(c.name));
  }
}

TEST_F(Backend, SearchCountsOnlyNormalFiles) {
  wintest::MakeFolder(dir + L"\\h");
  wintest::MakeFolder(dir + L"\\s");
  wintest::MakeFolder(dir + L"\\d\\KX31.X");
  wintest::MakeFolder(dir + L"\\r");
  File(L"h\\KX31.EXE", "", FILE_ATTRIBUTE_HIDDEN);
  File(L"s\\KX31.EXE", "", FILE_ATTRIBUTE_SYSTEM);
  File(L"r\\KX31.EXE", "", FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(os.FindPattern(dir + L"\\h\\KX31.*"));
  EXPECT_FALSE(os.FindPattern(dir + L"\\s\\KX31.*"));
  EXPECT_FALSE(os.FindPattern(dir + L"\\d\\KX31.*"));
  EXPECT_TRUE(os.FindPattern(dir + L"\\r\\KX31.*"));
  File(L"h\\KX31.TXT");
  EXPECT_TRUE(os.FindPattern(dir + L"\\h\\KX31.*")) << "looks past hidden";
}

TEST_F(Backend, SearchFailsForMissingFoldersBadNamesAndUnreadyDrives) {
  EXPECT_EQ(ErrorOf([&] { os.FindPattern(dir + L"\\none\\KX31.*"); }),
            static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND));
  EXPECT_NE(ErrorOf([&] { os.FindPattern(L"Q:\\KX31.*"); }), 0u);
  EXPECT_NE(ErrorOf([&] { os.FindPattern(dir + L"\\a|b\\KX31.*"); }), 0u);
  EXPECT_EQ(ErrorOf([&] { os.FindPattern(dir + std::wstring(L"\\\0x\\K", 6)); }),
            static_cast<std::uint32_t>(ERROR_INVALID_NAME));
}

TEST_F(Backend, ReadsTheFirstLineInTheAnsiCodePage) {
  EXPECT_EQ(os.ReadFirstLine(File(L"a.ini", "CDROM=E:\\\xe9\r\nX\r\n")),
            L"CDROM=E:\\\u00e9");
  EXPECT_EQ(os.ReadFirstLine(File(L"b.ini", "one\rtwo")), L"one");
  EXPECT_EQ(os.ReadFirstLine(File(L"c.ini", "no line end")), L"no line end");
  EXPECT_EQ(os.ReadFirstLine(File(L"d.ini", "\r\n")), L"");
  EXPECT_EQ(os.ReadFirstLine(File(L"h.ini", "hidden", FILE_ATTRIBUTE_HIDDEN)),
            L"hidden");
  const std::string longLine(300000, 'x');
  EXPECT_EQ(os.ReadFirstLine(File(L"l.ini", longLine + "\r\n")).size(),
            longLine.size());
  EXPECT_EQ(ErrorOf([&] { os.ReadFirstLine(File(L"e.ini")); }),
            static_cast<std::uint32_t>(ERROR_HANDLE_EOF));
  EXPECT_EQ(ErrorOf([&] { os.ReadFirstLine(dir + L"\\none.ini"); }),
            static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Backend, WritesLinesWithCrLfInTheAnsiCodePageReplacingTheFile) {
  const std::wstring path = File(L"w.ini", "a much longer old content\r\n");
  os.WriteTextFile(path, {L"[Browser]", L"FileFindDir=E:\\\u00e9"});
  EXPECT_EQ(wintest::ReadBytes(path), "[Browser]\r\nFileFindDir=E:\\\xe9\r\n");
  EXPECT_EQ(ErrorOf([&] { os.WriteTextFile(dir + L"\\none\\x.ini", {}); }),
            static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND));
}

// The new text is moved over the old file, which holds either; nothing is
// left beside it. A program holding the file against writers keeps the old
// text in it.
TEST_F(Backend, ReplacesAFileWhateverItsAttributesOrKeepsItWhole) {
  const std::wstring path =
      File(L"KX31.INI", "CDROM=Q:\\\r\n",
           FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
               FILE_ATTRIBUTE_SYSTEM);
  os.ReplaceTextFile(path, {L"CDROM=E:\\"});
  EXPECT_EQ(wintest::ReadBytes(path), "CDROM=E:\\\r\n");
  EXPECT_EQ(::GetFileAttributesW(path.c_str()) &
                (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                 FILE_ATTRIBUTE_SYSTEM),
            0u);
  {
    const platform::win32::FileHandle reader(::CreateFileW(
        path.c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    os.ReplaceTextFile(path, {L"CDROM=F:\\"});
    EXPECT_EQ(wintest::ReadBytes(path), "CDROM=F:\\\r\n");
  }
  {
    const platform::win32::FileHandle holder(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                      OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_EQ(ErrorOf([&] { os.ReplaceTextFile(path, {L"CDROM=G:\\"}); }),
              static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
  }
  EXPECT_EQ(wintest::ReadBytes(path), "CDROM=F:\\\r\n");
  WIN32_FIND_DATAW found;
  const platform::win32::FindHandle search(
      ::FindFirstFileW((dir + L"\\*.new").c_str(), &found));
  EXPECT_FALSE(search) << "left beside it: " << testing::PrintToString(
      std::wstring(search ? found.cFileName : L""));
}

TEST_F(Backend, DeletesFilesWhateverTheirAttributes) {
  const std::wstring path =
      File(L"p.ini", "x",
           FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
               FILE_ATTRIBUTE_SYSTEM);
  os.DeleteFileAnyAttributes(path);
  EXPECT_FALSE(wintest::Exists(path));
  os.DeleteFileAnyAttributes(path);
  os.DeleteFileAnyAttributes(dir + L"\\none\\p.ini");
  wintest::MakeFolder(dir + L"\\KX31.INI");
  EXPECT_EQ(ErrorOf([&] { os.DeleteFileAnyAttributes(dir + L"\\KX31.INI"); }),
            static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
}

TEST_F(Backend, LauncherDirectoryHoldsTheRunningProgram) {
  const std::wstring directory = os.LauncherDirectory();
  ASSERT_GE(directory.size(), 3u);
  EXPECT_NE(directory.back(), L'\\');
  EXPECT_TRUE(os.FindPattern(directory + L"\\backend_tests.exe"));
}

TEST_F(Backend, WindowsDirectoryCallsKeepTheBufferContract) {
  char buffer[64];
  const std::uint32_t length = os.GetWindowsDirectoryA(buffer, 64);
  EXPECT_EQ(std::string(buffer, length), "C:\\windows");
  char small[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(os.GetWindowsDirectoryA(small, 4), length + 1);
  EXPECT_GT(os.GetSystemDirectoryA(buffer, 64), length);
  EXPECT_EQ(os.FromAnsi("C:\\\xe9"), L"C:\\\u00e9");
}

TEST_F(Backend, ChangesDriveAndDirectory) {
  wintest::MakeFolder(dir + L"\\sub");
  os.ChangeDirectory(dir + L"\\sub\\");
  os.ChangeDirectory(L"Z:\\");
  os.ChangeDrive(L"C:\\anything");
  wchar_t current[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, current);
  EXPECT_EQ(std::wstring(current), dir + L"\\sub");
  os.ChangeDrive(L"\\\\server\\share\\");
  ::GetCurrentDirectoryW(MAX_PATH, current);
  EXPECT_EQ(std::wstring(current), dir + L"\\sub") << "no drive letter";
  EXPECT_NE(ErrorOf([&] { os.ChangeDrive(L"Q:\\"); }), 0u);
  EXPECT_NE(ErrorOf([&] { os.ChangeDirectory(dir + L"\\none\\"); }), 0u);
}

// The stand-in viewer records its path, current directory and show flag.
class Start : public Backend {
 protected:
  std::wstring Record() {
    const std::wstring record = dir + L"\\record.ini";
    return wintest::StartRecord(record, L"Path") + L"|" +
           wintest::StartRecord(record, L"CurrentDirectory") + L"|" +
           wintest::StartRecord(record, L"ShowWindow");
  }
};

TEST_F(Start, StartsMaximizedInTheCurrentDirectoryWithoutWaiting) {
  wintest::MakeFolder(dir + L"\\My Disc");
  wintest::CopyViewer(dir + L"\\My Disc\\IVIEWP32.EXE");
  wintest::CopyViewer(dir + L"\\My.exe");
  ::SetEnvironmentVariableW(L"STANDIN_VIEWER_RECORD",
                            (dir + L"\\record.ini").c_str());
  ::SetEnvironmentVariableW(L"STANDIN_VIEWER_EXIT", L"1");
  os.ChangeDirectory(dir + L"\\My Disc\\");
  EXPECT_NE(os.StartProgram(dir + L"\\My Disc\\IVIEWP32.EXE", 3), 0u);
  EXPECT_EQ(Record(), dir + L"\\My Disc\\IVIEWP32.EXE|" + dir +
                          L"\\My Disc|3");
  EXPECT_EQ(ErrorOf([&] { os.StartProgram(dir + L"\\none.exe", 3); }),
            static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST(Errors, DescriptionsComeFromTheSystemWithoutLineEnds) {
  const Failure failure = platform::win32::FailureOf(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(failure.Number(), 2u);
  ASSERT_FALSE(failure.Description().empty());
  EXPECT_NE(failure.Description().back(), L'\n');
  EXPECT_NE(failure.Description().back(), L'\r');
}

}  // namespace
