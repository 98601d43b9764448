// The whole launcher.exe under Wine: the real path dialog driven by window
// messages, real files, drive E: as a CD-ROM drive, the stand-in viewer.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/win32/resource.h"
#include "tests/win32/support.h"

namespace {

const std::wstring kTitle = L"Enter Drive and Path for CD-ROM";
const std::wstring kFirstPrompt = L"Enter Drive and Path for CD-ROM:";
const std::wstring kRetryPrompt =
    L"Please check or re-enter drive and path\r\n\r\n" + kFirstPrompt;
const std::wstring kDisc = L"E:\\";
const std::wstring kSettingsFile = L"C:\\windows\\B2020.INI";
const std::string kSettingsForE = "[Browser]\r\nFileFindDir=E:\\B2020\\IVT\r\n";

struct Dialog {
  HWND window;
  std::wstring prompt;
  std::wstring answer;
};

class EndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    wintest::RemoveTree(folder);
    wintest::MakeFolder(folder);
    ASSERT_TRUE(::CopyFileW(wintest::EnvironmentPath(L"LAUNCHER").c_str(),
                            launcher.c_str(), FALSE));
    ResetDisc();
    ::DeleteFileW(kSettingsFile.c_str());
    ForgetViewerStart();
    ::SetEnvironmentVariableW(L"STANDIN_VIEWER_RECORD", record.c_str());
    ::SetEnvironmentVariableW(L"STANDIN_VIEWER_EXIT", L"1");
  }
  void TearDown() override {
    if (process_ != nullptr) {
      ::TerminateProcess(process_, 1);
      ::CloseHandle(process_);
    }
    wintest::RemoveTree(folder);
  }

  // The disc: a read-only marker, INSTALL, the viewer and its data folder.
  void ResetDisc() {
    wintest::RemoveTree(L"E:\\INSTALL");
    wintest::RemoveTree(L"E:\\B2020");
    wintest::RemoveTree(L"E:\\My Disc");
    for (const wchar_t* name : {L"KX31.EXE", L"IVIEWP32.EXE", L"My.exe"}) {
      const std::wstring path = kDisc + name;
      ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileW(path.c_str());
    }
    wintest::MakeFolder(L"E:\\INSTALL");
    wintest::MakeFolder(L"E:\\B2020\\IVT");
    wintest::WriteBytes(L"E:\\KX31.EXE", "");
    ::SetFileAttributesW(L"E:\\KX31.EXE", FILE_ATTRIBUTE_READONLY);
    CopyViewer(L"E:\\IVIEWP32.EXE");
  }
  // A viewer from the test before may still be on its way out.
  void CopyViewer(const std::wstring& to) {
    const std::wstring from = wintest::EnvironmentPath(L"STANDIN_VIEWER");
    ASSERT_TRUE(wintest::WaitFor(
        [&] { return ::CopyFileW(from.c_str(), to.c_str(), FALSE) != 0; },
        std::chrono::seconds(10)));
  }

  void Launch() {
    if (process_ != nullptr) ::CloseHandle(process_);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + launcher + L"\"";
    ASSERT_TRUE(::CreateProcessW(launcher.c_str(), commandLine.data(), nullptr,
                                 nullptr, FALSE, 0, nullptr, folder.c_str(),
                                 &startup, &info));
    ::CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
  }

  // The launcher's top-level window of the given class and title.
  HWND FindOwnWindow(const wchar_t* className, const std::wstring& title) {
    for (HWND w = ::FindWindowW(className, title.c_str()); w != nullptr;
         w = ::FindWindowExW(nullptr, w, className, title.c_str())) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(w, &owner);
      if (owner == processId_ && ::IsWindowVisible(w)) return w;
    }
    return nullptr;
  }

  Dialog WaitForDialog() {
    Dialog dialog{nullptr, {}, {}};
    wintest::WaitFor([&] {
      dialog.window = FindOwnWindow(L"#32770", kTitle);
      return dialog.window != nullptr || Exited();
    });
    if (dialog.window != nullptr) {
      dialog.prompt = wintest::WindowText(
          ::GetDlgItem(dialog.window, IDC_PATH_PROMPT));
      dialog.answer = wintest::WindowText(
          ::GetDlgItem(dialog.window, IDC_PATH_ANSWER));
    }
    return dialog;
  }

  // Types the answer into the edit field, replacing the selected default,
  // and presses the key: Enter for OK, Esc for Cancel.
  void Answer(const Dialog& dialog, const std::wstring& text, WPARAM key) {
    HWND edit = ::GetDlgItem(dialog.window, IDC_PATH_ANSWER);
    for (wchar_t c : text) ::PostMessageW(edit, WM_CHAR, c, 1);
    ::PostMessageW(edit, WM_KEYDOWN, key, 1);
    ::PostMessageW(edit, WM_KEYUP, key, 0xC0000001);
    const HWND window = dialog.window;
    ASSERT_TRUE(wintest::WaitFor([&] {
      return !::IsWindow(window) || !::IsWindowVisible(window);
    }));
  }

  bool Exited() {
    return ::WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
  }

  DWORD ExitCode() {
    EXPECT_EQ(::WaitForSingleObject(process_, 20000), WAIT_OBJECT_0);
    DWORD code = 0xDEAD;
    ::GetExitCodeProcess(process_, &code);
    return code;
  }

  std::wstring Recorded(const wchar_t* key) {
    wintest::WaitFor([&] { return wintest::Exists(record); },
                     std::chrono::seconds(10));
    wchar_t value[MAX_PATH] = {};
    wintest::WaitFor([&] {
      return ::GetPrivateProfileStringW(L"Started", L"ShowWindow", L"", value,
                                        MAX_PATH, record.c_str()) > 0;
    }, std::chrono::seconds(10));
    ::GetPrivateProfileStringW(L"Started", key, L"", value, MAX_PATH,
                               record.c_str());
    return value;
  }

  void ExpectViewerStartedFrom(const std::wstring& discPath) {
    EXPECT_EQ(Recorded(L"Path"), discPath + L"IVIEWP32.EXE");
    std::wstring current = discPath;
    if (current.size() > 3) current.pop_back();
    EXPECT_EQ(Recorded(L"CurrentDirectory"), current);
    EXPECT_EQ(Recorded(L"ShowWindow"), L"3");
  }

  const std::wstring folder = L"C:\\launcher-test";
  const std::wstring launcher = folder + L"\\launcher.exe";
  const std::wstring cacheFile = folder + L"\\KX31.INI";
  const std::wstring record = L"C:\\viewer-record.ini";

  void ForgetViewerStart() { ::DeleteFileW(record.c_str()); }

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
};

TEST_F(EndToEnd, FirstRunAsksRemembersConfiguresAndStartsTheViewer) {
  Launch();
  const Dialog dialog = WaitForDialog();
  ASSERT_NE(dialog.window, nullptr) << "no path dialog";
  EXPECT_EQ(dialog.prompt, kFirstPrompt);
  EXPECT_EQ(dialog.answer, L"D:\\");
  Answer(dialog, L"E:", VK_RETURN);
  EXPECT_EQ(ExitCode(), 0u);
  EXPECT_EQ(wintest::ReadBytes(cacheFile), "CDROM=E:\\\r\n");
  EXPECT_EQ(wintest::ReadBytes(kSettingsFile), kSettingsForE);
  ExpectViewerStartedFrom(L"E:\\");
}

TEST_F(EndToEnd, LaterRunAsksNothing) {
  wintest::WriteBytes(cacheFile, "CDROM=E:\\\r\n");
  Launch();
  bool dialogSeen = false;
  ASSERT_TRUE(wintest::WaitFor([&] {
    dialogSeen = dialogSeen || FindOwnWindow(L"#32770", kTitle) != nullptr;
    return Exited();
  }));
  EXPECT_FALSE(dialogSeen);
  EXPECT_EQ(ExitCode(), 0u);
  EXPECT_EQ(wintest::ReadBytes(cacheFile), "CDROM=E:\\\r\n");
  EXPECT_EQ(wintest::ReadBytes(kSettingsFile), kSettingsForE);
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
  ASSERT_NE(third.window, nullptr);
  EXPECT_EQ(third.answer, L"C:\\windows\\");
  Answer(third, L"E:\\", VK_RETURN);
  EXPECT_EQ(ExitCode(), 0u);
  EXPECT_EQ(wintest::ReadBytes(cacheFile), "CDROM=E:\\\r\n");
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
    EXPECT_FALSE(wintest::Exists(cacheFile));
    EXPECT_FALSE(wintest::Exists(kSettingsFile));
    ::Sleep(300);
    EXPECT_FALSE(wintest::Exists(record)) << "the viewer was started";
  }
}

TEST_F(EndToEnd, DiscPathWithBlanksStartsOnlyTheViewer) {
  wintest::MakeFolder(L"E:\\My Disc");
  wintest::WriteBytes(L"E:\\My Disc\\KX31.TXT", "");
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
  HWND report = nullptr;
  ASSERT_TRUE(wintest::WaitFor([&] {
    report = FindOwnWindow(L"#32770", L"launcher.exe");
    return report != nullptr;
  })) << "no report of the failure";
  const std::wstring text = wintest::WindowText(::GetDlgItem(report, 0xFFFF));
  EXPECT_EQ(text.rfind(L"Error 2:\r\n\r\n", 0), 0u) << testing::PrintToString(text);
  EXPECT_GT(text.size(), 12u) << "no description";
  EXPECT_EQ(wintest::ReadBytes(kSettingsFile), kSettingsForE);
  ::PostMessageW(report, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(ExitCode(), 2u);
}

}  // namespace
