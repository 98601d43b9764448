// A stand-in for the disc's data viewer, IVIEWP32.EXE.
//
// Like a legacy viewer it finds its data through FileFindDir in the
// [Browser] section of B2020.INI in the Windows directory, lists the data
// files there and shows them in its window, with the directory it was
// pointed at and its own current directory. It exits when closed.
//
// For tests it also records how it was started: when the environment names
// a file in STANDIN_VIEWER_RECORD, it writes its path, current directory
// show-window flag and error mode there; with STANDIN_VIEWER_EXIT set it then exits at
// once instead of opening its window.
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t value[MAX_PATH * 2] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH * 2);
  return length > 0 && length < MAX_PATH * 2 ? std::wstring(value, length)
                                             : std::wstring();
}

std::wstring CurrentDirectory() {
  wchar_t path[MAX_PATH * 2] = {};
  ::GetCurrentDirectoryW(MAX_PATH * 2, path);
  return path;
}

std::wstring ProgramPath() {
  wchar_t path[MAX_PATH * 2] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  return path;
}

// Written beside the record first and then moved into place, so that a
// reader never sees half a record.
void RecordStart(const std::wstring& recordFile) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoW(&startup);
  const std::wstring show = (startup.dwFlags & STARTF_USESHOWWINDOW)
                                ? std::to_wstring(startup.wShowWindow)
                                : L"none";
  const std::wstring draft = recordFile + L".draft";
  const wchar_t* file = draft.c_str();
  // A record that starts as UTF-16 stays UTF-16, so any name is kept.
  const HANDLE created = ::CreateFileW(file, GENERIC_WRITE, 0, nullptr,
                                       CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ::WriteFile(created, "\xFF\xFE", 2, &written, nullptr);
  ::CloseHandle(created);
  ::WritePrivateProfileStringW(L"Started", L"Path", ProgramPath().c_str(), file);
  ::WritePrivateProfileStringW(L"Started", L"CurrentDirectory",
                               CurrentDirectory().c_str(), file);
  ::WritePrivateProfileStringW(L"Started", L"ErrorMode",
                               std::to_wstring(::GetErrorMode()).c_str(), file);
  ::WritePrivateProfileStringW(L"Started", L"ShowWindow", show.c_str(), file);
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, file);
  ::MoveFileExW(file, recordFile.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::wstring SettingsFile() {
  wchar_t windows[MAX_PATH] = {};
  ::GetWindowsDirectoryW(windows, MAX_PATH);
  return std::wstring(windows) + L"\\B2020.INI";
}

// What the window shows, a line each.
std::vector<std::wstring> DescribeData() {
  const std::wstring settings = SettingsFile();
  std::vector<std::wstring> lines = {L"Stand-in data viewer",
                                     L"Current directory: " + CurrentDirectory(),
                                     L"Settings file: " + settings};
  if (::GetFileAttributesW(settings.c_str()) == INVALID_FILE_ATTRIBUTES) {
    lines.push_back(L"The settings file is missing: no data directory.");
    return lines;
  }
  wchar_t directory[MAX_PATH * 2] = {};
  ::GetPrivateProfileStringW(L"Browser", L"FileFindDir", L"", directory,
                             MAX_PATH * 2, settings.c_str());
  lines.push_back(L"Data directory (FileFindDir): " + std::wstring(directory));
  WIN32_FIND_DATAW found;
  const std::wstring pattern = std::wstring(directory) + L"\\*";
  HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
  if (directory[0] == L'\0' || search == INVALID_HANDLE_VALUE) {
    lines.push_back(L"The data directory is missing or cannot be read.");
    return lines;
  }
  lines.push_back(L"Data files:");
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      lines.push_back(L"    " + std::wstring(found.cFileName));
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return lines;
}

// The lines the window shows live with the window: they arrive through
// CreateWindowW's lpParam and are kept in GWLP_USERDATA.
const std::vector<std::wstring>& ShownLines(HWND window) {
  static const std::vector<std::wstring> none;
  const auto* lines = reinterpret_cast<const std::vector<std::wstring>*>(
      ::GetWindowLongPtrW(window, GWLP_USERDATA));
  return lines != nullptr ? *lines : none;
}

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window, &paint);
  ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW metrics;
  ::GetTextMetricsW(dc, &metrics);
  int y = 16;
  for (const std::wstring& line : ShownLines(window)) {
    ::TextOutW(dc, 16, y, line.c_str(), static_cast<int>(line.size()));
    y += metrics.tmHeight + 4;
  }
  ::EndPaint(window, &paint);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                            LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      ::SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      return ::DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

int RunWindow(HINSTANCE instance, int show) {
  std::vector<std::wstring> shownLines = DescribeData();
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = L"StandInDataViewer";
  ::RegisterClassW(&windowClass);
  HWND window = ::CreateWindowW(windowClass.lpszClassName, L"IVIEWP32 - stand-in viewer",
                                WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                640, 480, nullptr, nullptr, instance, &shownLines);
  ::ShowWindow(window, show);
  shownLines.push_back(::IsZoomed(window) ? L"Window: maximized"
                                          : L"Window: not maximized");
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  const std::wstring record = Environment(L"STANDIN_VIEWER_RECORD");
  if (!record.empty()) RecordStart(record);
  if (!Environment(L"STANDIN_VIEWER_EXIT").empty()) return 0;
  return RunWindow(instance, show);
}
