#include "tests/win32/launcher_fixture.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <vector>

#include "platform/win32/resource.h"
#include "tests/win32/support.h"

namespace wintest {

// The ids of the running processes started from a file of that name.
static std::vector<DWORD> ProcessesNamed(const wchar_t* name) {
  std::vector<DWORD> ids;
  // A snapshot's handle is invalid as a file's is, and closed the same way.
  const platform::win32::FileHandle snapshot(
      ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (::_wcsicmp(entry.szExeFile, name) == 0) {
      ids.push_back(entry.th32ProcessID);
    }
  }
  return ids;
}

// Whether a stand-in viewer runs. Each one ends once it has written its
// start record.
static bool ViewerRunning() {
  return !ProcessesNamed(L"IVIEWP32.EXE").empty();
}

// A row that failed may leave a launcher showing its report; it would hold
// its file and folder for the rows after it.
static void EndStrayLaunchers() {
  for (const DWORD id : ProcessesNamed(L"launcher.exe")) {
    const platform::win32::KernelHandle stray(
        ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    if (!stray) continue;
    ::TerminateProcess(stray.Get(), 1);
    ::WaitForSingleObject(stray.Get(), 5000);
  }
}

LauncherFixture::LauncherFixture(std::wstring launcherFolder, Setup setup)
    : folder(std::move(launcherFolder)),
      launcher(folder + L"\\launcher.exe"),
      cacheFile(folder + L"\\KX31.INI"),
      setup_(setup) {}

bool LauncherFixture::OwnsFolder() const {
  return setup_ == Setup::kFreshCopy && folder.rfind(L"C:\\", 0) == 0;
}

void LauncherFixture::SetUp() {
  if (OwnsFolder()) {
    RemoveTree(folder);
    MakeFolder(folder);
    ASSERT_TRUE(::CopyFileW(EnvironmentPath(L"LAUNCHER").c_str(),
                            launcher.c_str(), FALSE));
  }
  if (setup_ == Setup::kFreshCopy) ResetDisc();
  ::DeleteFileW(kSettingsFile.c_str());
  ForgetViewerStart();
  ::SetEnvironmentVariableW(L"STANDIN_VIEWER_RECORD", record.c_str());
  ::SetEnvironmentVariableW(L"STANDIN_VIEWER_EXIT", L"1");
}

void LauncherFixture::TearDown() {
  process_ = {};
  EndStrayLaunchers();
  if (OwnsFolder()) RemoveTree(folder);
}

void LauncherFixture::ResetDisc() {
  EmptyFolder(L"E:");
  MakeFolder(L"E:\\INSTALL");
  MakeFolder(L"E:\\B2020\\IVT");
  WriteBytes(L"E:\\KX31.EXE", "");
  ::SetFileAttributesW(L"E:\\KX31.EXE", FILE_ATTRIBUTE_READONLY);
  CopyViewer(L"E:\\IVIEWP32.EXE");
}

void LauncherFixture::ForgetViewerStart() { ::DeleteFileW(record.c_str()); }

platform::win32::KernelHandle LauncherFixture::StartLauncher(DWORD* threadId) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring commandLine = L"\"" + launcher + L"\"";
  const std::wstring start = L"C:\\";
  const BOOL started =
      ::CreateProcessW(launcher.c_str(), commandLine.data(), nullptr, nullptr,
                       FALSE, 0, nullptr, start.c_str(), &startup, &info);
  const DWORD error = started ? 0 : ::GetLastError();
  EXPECT_TRUE(started) << "launcher.exe did not start: error " << error;
  const platform::win32::KernelHandle thread(info.hThread);
  if (threadId != nullptr) *threadId = info.dwThreadId;
  return platform::win32::KernelHandle(info.hProcess);
}

void LauncherFixture::Launch() {
  process_ = StartLauncher(&threadId_);
}

void LauncherFixture::ExpectBuiltArchitecture() {
  BOOL wow64 = FALSE;
  ASSERT_TRUE(::IsWow64Process(process_.Get(), &wow64));
  EXPECT_EQ(wow64 != FALSE, sizeof(void*) == 4);
  std::printf("launcher.exe runs as a %s\n",
              wow64 ? "32-bit process under WoW64" : "64-bit process");
}

bool LauncherFixture::Exited() {
  return ::WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0;
}

DWORD LauncherFixture::ExitCode() { return ExitCodeOf(process_, threadId_); }

// The active window of a launcher's thread, if it has one.
static HWND ActiveWindowOf(DWORD threadId) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (threadId == 0 || !::GetGUIThreadInfo(threadId, &info)) return nullptr;
  return info.hwndActive;
}

// What a launcher that does not end shows: its dialog's or report's title
// and text, or that it shows nothing.
static std::wstring Showing(DWORD threadId) {
  const HWND w = ActiveWindowOf(threadId);
  if (w == nullptr) return L"no window";
  std::wstring text = WindowText(::GetDlgItem(w, 0xFFFF));
  if (text.empty()) text = WindowText(::GetDlgItem(w, IDC_PATH_PROMPT));
  return L"\"" + WindowText(w) + L"\": " + text;
}

DWORD LauncherFixture::ExitCodeOf(const platform::win32::KernelHandle& process,
                                  DWORD threadId) {
  EXPECT_EQ(::WaitForSingleObject(process.Get(), 20000), WAIT_OBJECT_0)
      << "launcher.exe did not end; it shows " << Showing(threadId);
  DWORD code = 0xDEAD;
  ::GetExitCodeProcess(process.Get(), &code);
  return code;
}

// The launcher's active window, asked of its thread: listing the desktop's
// windows instead is what Wine's server, under emulation, now and then
// loops in for good while a dialog gives way to the next.
HWND LauncherFixture::FindOwnWindow(const std::wstring& title) {
  const HWND w = ActiveWindowOf(threadId_);
  if (w == nullptr) return nullptr;
  wchar_t className[16] = {};
  ::GetClassNameW(w, className, 16);
  if (std::wstring(className) != L"#32770" || WindowText(w) != title ||
      !::IsWindowVisible(w)) {
    return nullptr;
  }
  return w;
}

Dialog LauncherFixture::WaitForDialog() {
  Dialog dialog;
  WaitFor([&] {
    dialog.window = FindOwnWindow(kDialogTitle);
    return dialog.window != nullptr || Exited();
  });
  if (dialog.window != nullptr) {
    dialog.prompt = WindowText(::GetDlgItem(dialog.window, IDC_PATH_PROMPT));
    dialog.answer = WindowText(::GetDlgItem(dialog.window, IDC_PATH_ANSWER));
  }
  return dialog;
}

void LauncherFixture::Answer(const Dialog& dialog, const std::wstring& text,
                             WPARAM key) {
  ASSERT_NE(dialog.window, nullptr) << "no path dialog to answer";
  HWND edit = ::GetDlgItem(dialog.window, IDC_PATH_ANSWER);
  for (wchar_t c : text) ::PostMessageW(edit, WM_CHAR, c, 1);
  ::PostMessageW(edit, WM_KEYDOWN, key, 1);
  ::PostMessageW(edit, WM_KEYUP, key, 0xC0000001);
  const HWND window = dialog.window;
  ASSERT_TRUE(WaitFor([&] {
    return !::IsWindow(window) || !::IsWindowVisible(window);
  }));
}

std::wstring LauncherFixture::TakeReport() {
  HWND report = nullptr;
  WaitFor([&] {
    report = FindOwnWindow(L"launcher.exe");
    return report != nullptr || Exited();
  });
  if (report == nullptr) return {};
  const std::wstring text = WindowText(::GetDlgItem(report, 0xFFFF));
  ::PostMessageW(report, WM_COMMAND, IDOK, 0);
  return text;
}

std::wstring LauncherFixture::Recorded(const wchar_t* key) {
  return StartRecord(record, key);
}

void LauncherFixture::ExpectViewerStartedFrom(const std::wstring& discPath) {
  EXPECT_EQ(Recorded(L"Path"), discPath + L"IVIEWP32.EXE");
  std::wstring current = discPath;
  if (current.size() > 3) current.pop_back();
  EXPECT_EQ(Recorded(L"CurrentDirectory"), current);
  EXPECT_EQ(Recorded(L"ShowWindow"), L"3");
}

// The launcher starts the viewer without waiting for it, and under load the
// viewer may write its record well after the launcher has ended: wait for
// the launcher and every viewer to end, then look. A late record would
// otherwise count for the next run.
bool LauncherFixture::ViewerStarted() {
  if (process_) ExitCode();
  EXPECT_TRUE(WaitFor([] { return !ViewerRunning(); }, std::chrono::seconds(30)))
      << "a viewer still runs";
  return Exists(record);
}

bool LauncherFixture::LauncherOrViewerRunning() {
  return !ProcessesNamed(L"launcher.exe").empty() || ViewerRunning();
}

std::set<std::wstring> LauncherFixture::FolderContents() {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW found;
  const platform::win32::FindHandle search(
      ::FindFirstFileW((folder + L"\\*").c_str(), &found));
  if (!search) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.insert(name);
  } while (::FindNextFileW(search.Get(), &found));
  return names;
}

}  // namespace wintest
