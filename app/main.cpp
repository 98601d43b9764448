// The launcher's entry point: a GUI program without a window of its own.
#include <windows.h>

#include "launcher/launcher.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Probing an empty or unready drive must never raise the system's
  // "no disk" box; the viewer is started with the default mode again.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  platform::win32::Win32Platform os;
  return platform::RunReportingFailures(os, &Module1::Main);
}
