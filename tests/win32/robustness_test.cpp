// Bad input and faults on the real Win32 API: the run either goes on as the
// launcher promises or ends with the error report, and it never crashes,
// hangs, or writes a file other than the cache and settings files. Each
// row here is a row of docs/robustness.md.
#include <random>
#include <vector>

#include "platform/win32/handles.h"

#include "tests/win32/launcher_fixture.h"
#include "tests/win32/support.h"

namespace wintest {
namespace {

const std::set<std::wstring> kLauncherAndCache = {L"launcher.exe", L"KX31.INI"};

// Answers E: to the dialog, if one comes, and expects the good end.
class Robustness : public LauncherFixture {
 protected:
  void ExpectAskedThenStartedFromE() {
    const Dialog dialog = WaitForDialog();
    ASSERT_NE(dialog.window, nullptr) << "the user was not asked";
    Answer(dialog, L"E:", VK_RETURN);
    ExpectStartedFromEWith("CDROM=E:\\\r\n");
  }
  void ExpectStartedFromEWith(const std::string& cache) {
    EXPECT_EQ(ExitCode(), 0u);
    ExpectViewerStartedFrom(L"E:\\");
    EXPECT_EQ(ReadBytes(cacheFile), cache);
    EXPECT_EQ(ReadBytes(kSettingsFile), kSettingsForE);
    EXPECT_EQ(FolderContents(), kLauncherAndCache);
  }
};

std::string Garbage() {
  std::mt19937 random(20261209);
  std::string bytes(4096, '\0');
  for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
  return bytes;
}

struct CacheRow {
  const char* name;
  std::string bytes;
  bool asked;  // false: the cached E:\ is used without a dialog
  friend void PrintTo(const CacheRow& row, std::ostream* out) {
    *out << row.name;
  }
};

class CacheFileRow : public Robustness,
                     public testing::WithParamInterface<CacheRow> {};

TEST_P(CacheFileRow, IsUsedOrTheUserIsAsked) {
  WriteBytes(cacheFile, GetParam().bytes);
  Launch();
  if (GetParam().asked) {
    ExpectAskedThenStartedFromE();
  } else {
    EXPECT_EQ(WaitForDialog().window, nullptr) << "asked although valid";
    ExpectStartedFromEWith(GetParam().bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CacheFileRow,
    testing::Values(
        CacheRow{"BinaryGarbage", Garbage(), true},
        CacheRow{"OneLineOfAMegabyte",
                 "CDROM=E:\\" + std::string(1 << 20, 'A') + "\r\n", true},
        CacheRow{"NoLineEnd", "CDROM=E:\\", false},
        CacheRow{"OnlyAComma", ",", true},
        CacheRow{"UnbalancedQuote", "\"CDROM=E:\\", false},
        CacheRow{"BytesOutsideTheCodePage", "CDROM=E:\\\x81\x8d\x8f\x90\r\n",
                 true},
        CacheRow{"CrWithoutLf", "CDROM=E:\\\rCDROM=Q:\\\r", false}),
    [](const auto& row) { return std::string(row.param.name); });

struct AnswerRow {
  const char* name;
  std::wstring answer;
  friend void PrintTo(const AnswerRow& row, std::ostream* out) {
    *out << row.name;
  }
};

class TypedAnswerRow : public Robustness,
                       public testing::WithParamInterface<AnswerRow> {};

// The answer is refused quietly (no system box in between) and offered
// again, normalised; then the user types E:.
TEST_P(TypedAnswerRow, IsRefusedAndOfferedAgain) {
  Launch();
  Answer(WaitForDialog(), GetParam().answer, VK_RETURN);
  const Dialog retry = WaitForDialog();
  ASSERT_NE(retry.window, nullptr) << "not asked again";
  EXPECT_EQ(retry.prompt, kRetryPrompt);
  EXPECT_EQ(retry.answer, GetParam().answer + L"\\");
  Answer(retry, L"E:", VK_RETURN);
  ExpectStartedFromEWith("CDROM=E:\\\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TypedAnswerRow,
    testing::Values(AnswerRow{"Star", L"E:\\*"},
                    AnswerRow{"QuestionMark", L"E:\\?"},
                    AnswerRow{"ForbiddenCharacters", L"E:\\<>|\""},
                    AnswerRow{"LongerThanMaxPath",
                              L"E:\\" + std::wstring(300, L'A')},
                    AnswerRow{"UncPath", L"\\\\nosuchhost\\share"},
                    AnswerRow{"DriveNotReady", L"Q:"},
                    AnswerRow{"DriveThatMapsToNothing", L"R:"}),
    [](const auto& row) { return std::string(row.param.name); });

// Launchers started together, as by an impatient double click: each one
// starts its viewer, none shows a report (a report would keep it open).
TEST_F(Robustness, LaunchersStartedTogetherAllStartTheViewer) {
  constexpr int kRounds = 25;
  constexpr int kTogether = 3;
  WriteBytes(cacheFile, "CDROM=E:\\\r\n");
  std::vector<std::wstring> records;
  for (int i = 0; i < kTogether; ++i) {
    records.push_back(L"C:\\viewer-record-" + std::to_wstring(i) + L".ini");
  }
  for (int round = 0; round < kRounds; ++round) {
    std::vector<platform::win32::KernelHandle> launchers;
    std::vector<DWORD> threads(kTogether);
    for (int i = 0; i < kTogether; ++i) {
      ::DeleteFileW(records[i].c_str());
      ::SetEnvironmentVariableW(L"STANDIN_VIEWER_RECORD", records[i].c_str());
      launchers.push_back(StartLauncher(&threads[i]));
    }
    ::SetEnvironmentVariableW(L"STANDIN_VIEWER_RECORD", record.c_str());
    for (int i = 0; i < kTogether; ++i) {
      ASSERT_EQ(ExitCodeOf(launchers[i], threads[i]), 0u) << "round " << round;
      EXPECT_EQ(StartRecord(records[i], L"Path"), L"E:\\IVIEWP32.EXE")
          << "round " << round;
    }
  }
  EXPECT_EQ(ReadBytes(kSettingsFile), kSettingsForE);
  for (const std::wstring& own : records) ::DeleteFileW(own.c_str());
}

// Another program holding the settings file open, as an indexer or a
// viewer that keeps it open does.
TEST_F(Robustness, SettingsFileHeldByAnotherProgram) {
  WriteBytes(cacheFile, "CDROM=E:\\\r\n");
  WriteBytes(kSettingsFile, "old");
  {
    SCOPED_TRACE("held for reading: written through");
    const platform::win32::FileHandle reader(::CreateFileW(
        kSettingsFile.c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    Launch();
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(ReadBytes(kSettingsFile), kSettingsForE);
    EXPECT_TRUE(ViewerStarted());
  }
  {
    SCOPED_TRACE("written by another for a moment: waited for");
    ForgetViewerStart();
    platform::win32::FileHandle writer(::CreateFileW(
        kSettingsFile.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
        nullptr));
    ASSERT_TRUE(writer);
    Launch();
    ::Sleep(500);
    EXPECT_FALSE(Exited());
    writer = {};
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(ReadBytes(kSettingsFile), kSettingsForE);
    EXPECT_TRUE(ViewerStarted());
  }
  {
    SCOPED_TRACE("kept locked by another writer: the report");
    ForgetViewerStart();
    const platform::win32::FileHandle writer(::CreateFileW(
        kSettingsFile.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
        nullptr));
    ASSERT_TRUE(writer);
    Launch();
    const std::wstring report = TakeReport();
    EXPECT_EQ(report.rfind(L"Error 32:\r\n\r\n", 0), 0u)
        << testing::PrintToString(report);
    EXPECT_EQ(ExitCode(), 32u);
    EXPECT_FALSE(ViewerStarted());
  }
}

}  // namespace
}  // namespace wintest
