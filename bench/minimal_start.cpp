// The yardstick for the launcher's cost: a program that does nothing but
// start the viewer from E:\ maximized, as the launcher finally does.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMAXIMIZED;
  wchar_t commandLine[] = L"\"E:\\IVIEWP32.EXE\"";
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(L"E:\\IVIEWP32.EXE", commandLine, nullptr, nullptr,
                        FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr, L"E:\\",
                        &startup, &started)) {
    return 1;
  }
  ::CloseHandle(started.hThread);
  ::CloseHandle(started.hProcess);
  return 0;
}
