// Runs launcher.exe under Wine and watches it as a user would: its path
// dialog, its error report, the files it leaves and the viewer it starts.
//
// The disc is drive E:, a CD-ROM drive: a read-only marker KX31.EXE, an
// INSTALL folder, the stand-in viewer and B2020\IVT. The viewer records
// how it was started and exits at once.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/win32/handles.h"

namespace wintest {

inline const std::wstring kDialogTitle = L"Enter Drive and Path for CD-ROM";
inline const std::wstring kFirstPrompt = L"Enter Drive and Path for CD-ROM:";
inline const std::wstring kRetryPrompt =
    L"Please check or re-enter drive and path\r\n\r\n" + kFirstPrompt;
inline const std::wstring kSettingsFile = L"C:\\windows\\B2020.INI";
inline const std::string kSettingsForE =
    "[Browser]\r\nFileFindDir=E:\\B2020\\IVT\r\n";

struct Dialog {
  HWND window = nullptr;
  std::wstring prompt;
  std::wstring answer;
};

class LauncherFixture : public testing::Test {
 protected:
  // A fresh copy of the launcher in its folder (when on C:) and a fresh
  // disc in E:, or the launcher where an installer put it and the disc
  // that is in E: already.
  enum class Setup { kFreshCopy, kInstalled };
  explicit LauncherFixture(std::wstring launcherFolder = L"C:\\launcher-test",
                           Setup setup = Setup::kFreshCopy);
  void SetUp() override;
  void TearDown() override;

  void ResetDisc();
  void ForgetViewerStart();

  void Launch();
  // The launcher runs as the tier built it: 32-bit under WoW64, or 64-bit.
  void ExpectBuiltArchitecture();
  bool Exited();
  DWORD ExitCode();
  // Another launcher.exe besides the one Launch watches.
  platform::win32::KernelHandle StartLauncher(DWORD* threadId = nullptr);
  // Waits for it to end; one that does not is named with what its thread
  // shows, when the thread is given.
  static DWORD ExitCodeOf(const platform::win32::KernelHandle& process,
                          DWORD threadId = 0);

  // The next path dialog, or an empty one when the launcher ended first.
  Dialog WaitForDialog();
  // Types the text over the selected default and presses the key.
  void Answer(const Dialog& dialog, const std::wstring& text, WPARAM key);
  // The error report's text, after which it is closed; empty if none came.
  std::wstring TakeReport();

  std::wstring Recorded(const wchar_t* key);
  void ExpectViewerStartedFrom(const std::wstring& discPath);
  bool ViewerStarted();
  // Whether a launcher.exe or a viewer runs, whoever started it.
  static bool LauncherOrViewerRunning();
  // The names in the launcher's folder.
  std::set<std::wstring> FolderContents();

  const std::wstring folder;
  const std::wstring launcher;
  const std::wstring cacheFile;
  const std::wstring record = L"C:\\viewer-record.ini";

 private:
  HWND FindOwnWindow(const std::wstring& title);
  // Whether SetUp copies the launcher and TearDown removes its folder.
  bool OwnsFolder() const;

  const Setup setup_;

  platform::win32::KernelHandle process_;
  DWORD threadId_ = 0;
};

}  // namespace wintest
