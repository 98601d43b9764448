#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string_view>

#include "platform/win32/errors.h"
#include "platform/win32/handles.h"
#include "platform/win32/path_dialog.h"

namespace platform::win32 {

namespace {

// A cache file's first line is a path; reading stops after this much, and
// a longer line is cut there.
constexpr DWORD kLongestLineRead = 1 << 20;

// How long a text file another program is writing is waited for: 40 tries,
// 50 ms apart.
constexpr int kLockedFileAttempts = 40;
constexpr DWORD kLockedFileWait = 50;

bool IsNormalFile(DWORD attributes) {
  return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                        FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

bool HasDriveLetter(const std::wstring& path) {
  return path.size() >= 2 && path[1] == L':' &&
         ((path[0] >= L'A' && path[0] <= L'Z') ||
          (path[0] >= L'a' && path[0] <= L'z'));
}

// A name with an embedded NUL would reach the system cut short.
const wchar_t* SystemName(const std::wstring& path) {
  if (path.find(L'\0') != std::wstring::npos) {
    throw FailureOf(ERROR_INVALID_NAME);
  }
  return path.c_str();
}

FileHandle OpenFile(const std::wstring& path, DWORD access, DWORD share,
                    DWORD disposition) {
  FileHandle file(::CreateFileW(SystemName(path), access, share, nullptr,
                                disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw LastFailure();
  return file;
}

// Reads up to the first CR or LF, the end of the file, or the limit.
std::string ReadLineBytes(const FileHandle& file) {
  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  while (bytes.size() < kLongestLineRead) {
    if (!::ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr)) {
      throw LastFailure();
    }
    if (read == 0) break;
    bytes.append(chunk, read);
    if (std::string_view(chunk, read).find_first_of("\r\n") !=
        std::string_view::npos) {
      break;
    }
  }
  return bytes;
}

// Bytes the code page does not define become its default character.
std::wstring WideFromAnsi(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
  return wide;
}

// Creates or truncates the file, letting others read it meanwhile. Another
// writer holds it only for a moment (a second launcher started at the same
// time, say), so a sharing violation is waited out for a while; a file that
// stays locked fails as any other.
FileHandle CreateForWriting(const std::wstring& path) {
  for (int attempt = 1;; ++attempt) {
    FileHandle file(::CreateFileW(SystemName(path), GENERIC_WRITE,
                                  FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return file;
    const DWORD error = ::GetLastError();
    const bool locked =
        error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
    if (!locked || attempt == kLockedFileAttempts) throw FailureOf(error);
    ::Sleep(kLockedFileWait);
  }
}

// The whole text goes out in one write, so a reader sees either no line
// or all of them.
void WriteAll(const FileHandle& file, const std::string& bytes) {
  DWORD written = 0;
  if (!::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                   &written, nullptr)) {
    throw LastFailure();
  }
  if (written != bytes.size()) throw FailureOf(ERROR_WRITE_FAULT);
}

// The short (8.3) form of an existing path, keeping a trailing separator;
// empty when the system has none to give.
std::wstring ShortPath(const std::wstring& path) {
  std::wstring shortForm(MAX_PATH, L'\0');
  DWORD length = ::GetShortPathNameW(SystemName(path), shortForm.data(),
                                     static_cast<DWORD>(shortForm.size()));
  if (length >= shortForm.size()) {
    shortForm.resize(length);
    length = ::GetShortPathNameW(path.c_str(), shortForm.data(), length);
  }
  if (length == 0 || length >= shortForm.size()) return {};
  shortForm.resize(length);
  if (path.back() == L'\\' && shortForm.back() != L'\\') shortForm += L'\\';
  return shortForm;
}

// The attributes that keep a file from being replaced or deleted.
constexpr DWORD kProtecting =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// Clears a file's read-only, hidden and system attributes, which keep it
// from being replaced, and puts them back unless told to keep the change.
class ProtectionLifted {
 public:
  explicit ProtectionLifted(const std::wstring& path) : path_(path) {
    const DWORD attributes = ::GetFileAttributesW(SystemName(path));
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & kProtecting) == 0) {
      return;
    }
    if (!::SetFileAttributesW(path.c_str(), attributes & ~kProtecting)) {
      throw LastFailure();
    }
    old_ = attributes;
  }
  ~ProtectionLifted() {
    if (old_ != 0) ::SetFileAttributesW(path_.c_str(), old_);
  }
  ProtectionLifted(const ProtectionLifted&) = delete;
  ProtectionLifted& operator=(const ProtectionLifted&) = delete;
  void Keep() { old_ = 0; }

 private:
  const std::wstring& path_;
  DWORD old_ = 0;
};

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(
        nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) throw LastFailure();
    if (length < path.size()) return path.substr(0, length);
    path.resize(path.size() * 2);
  }
}

}  // namespace

// Unicode text in the system's ANSI code page, or nothing when the code
// page cannot hold every character. A best-fit conversion would write a
// different, plausible path ("Lodz" for "Łódź"), so a text is taken only
// when it converts back unchanged.
std::optional<std::string> ExactAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  const DWORD flags = ::GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int length = ::WideCharToMultiByte(CP_ACP, flags, text.data(), size,
                                           nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, flags, text.data(), size, bytes.data(), length,
                        nullptr, nullptr);
  if (WideFromAnsi(bytes) != text) return std::nullopt;
  return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  WriteAll(CreateForWriting(path), bytes);
}

// The bytes are written beside the file under a name of this process's own,
// then moved over it, so the file holds the old bytes or the new ones,
// never a part. Where the move is refused but a write is not (Program
// Files under the system's file virtualization, which redirects writes but
// not replacements; a reader that does not let the file be replaced), the
// file is written in place.
void ReplaceFileBytes(const std::wstring& path, const std::string& bytes) {
  ProtectionLifted unprotected(path);
  const std::wstring aside =
      path + L"." + std::to_wstring(::GetCurrentProcessId()) + L".new";
  try {
    WriteFileBytes(aside, bytes);
  } catch (const Failure&) {
    ::DeleteFileW(aside.c_str());
    throw;
  }
  if (::MoveFileExW(aside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    unprotected.Keep();
    return;
  }
  const DWORD error = ::GetLastError();
  ::DeleteFileW(aside.c_str());
  if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) {
    throw FailureOf(error);
  }
  WriteFileBytes(path, bytes);
  unprotected.Keep();
}

namespace {

// The lines in the ANSI code page, each ended by CR LF.
std::string AnsiLines(const std::vector<std::wstring>& lines) {
  std::string bytes;
  for (const std::wstring& line : lines) {
    const std::optional<std::string> ansi = ExactAnsi(line);
    if (!ansi) throw FailureOf(ERROR_NO_UNICODE_TRANSLATION);
    bytes += *ansi + "\r\n";
  }
  return bytes;
}

}  // namespace

std::wstring Win32Platform::FromAnsi(std::string_view text) {
  return WideFromAnsi(text);
}

bool Win32Platform::FindPattern(const std::wstring& pattern) {
  WIN32_FIND_DATAW found;
  FindHandle search(::FindFirstFileW(SystemName(pattern), &found));
  if (!search) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) {
      return false;
    }
    throw FailureOf(error);
  }
  do {
    if (IsNormalFile(found.dwFileAttributes)) return true;
  } while (::FindNextFileW(search.Get(), &found));
  const DWORD error = ::GetLastError();
  if (error == ERROR_NO_MORE_FILES) return false;
  throw FailureOf(error);
}

std::wstring Win32Platform::LauncherDirectory() {
  std::wstring path = ModulePath();
  path.resize(path.find_last_of(L'\\') + 1);
  const bool driveRoot = path.size() == 3 && HasDriveLetter(path);
  if (!driveRoot && !path.empty()) path.pop_back();
  return path;
}

void Win32Platform::DeleteFileAnyAttributes(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(SystemName(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return;
    throw FailureOf(error);
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) throw FailureOf(ERROR_ACCESS_DENIED);
  if ((attributes & kProtecting) &&
      !::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL)) {
    throw LastFailure();
  }
  if (!::DeleteFileW(path.c_str())) throw LastFailure();
}

std::wstring Win32Platform::ReadFirstLine(const std::wstring& path) {
  const FileHandle file =
      OpenFile(path, GENERIC_READ,
               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
               OPEN_EXISTING);
  std::string bytes = ReadLineBytes(file);
  if (bytes.empty()) throw FailureOf(ERROR_HANDLE_EOF);
  bytes.resize(std::min(bytes.find_first_of("\r\n"), bytes.size()));
  return FromAnsi(bytes);
}

void Win32Platform::WriteTextFile(const std::wstring& path,
                                  const std::vector<std::wstring>& lines) {
  WriteFileBytes(path, AnsiLines(lines));
}

void Win32Platform::ReplaceTextFile(const std::wstring& path,
                                    const std::vector<std::wstring>& lines) {
  ReplaceFileBytes(path, AnsiLines(lines));
}

std::wstring Win32Platform::PathForTextFile(const std::wstring& path) {
  if (ExactAnsi(path)) return path;
  const std::wstring shortForm = ShortPath(path);
  if (!shortForm.empty() && ExactAnsi(shortForm)) return shortForm;
  throw FailureOf(ERROR_NO_UNICODE_TRANSLATION);
}

void Win32Platform::ChangeDrive(const std::wstring& path) {
  if (!HasDriveLetter(path)) return;
  if (!::SetCurrentDirectoryW(path.substr(0, 2).c_str())) throw LastFailure();
}

// Like the C runtime, remember the directory as its drive's own ("=E:"),
// so that making the drive current again returns to it.
void Win32Platform::ChangeDirectory(const std::wstring& path) {
  if (!::SetCurrentDirectoryW(SystemName(path))) throw LastFailure();
  wchar_t current[MAX_PATH] = {};
  const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, current);
  const std::wstring full(current, length < MAX_PATH ? length : 0);
  if (HasDriveLetter(full)) {
    const wchar_t variable[] = {L'=', full[0], L':', L'\0'};
    ::SetEnvironmentVariableW(variable, full.c_str());
  }
}

std::wstring Win32Platform::InputText(const std::wstring& prompt,
                                      const std::wstring& title,
                                      const std::wstring& defaultText) {
  return ShowPathDialog(prompt, title, defaultText);
}

// The program path is both the application name and, quoted, the command
// line, so a path with blanks can never start another program. The viewer
// gets the system's default error mode, not the launcher's.
std::uint32_t Win32Platform::StartProgram(const std::wstring& path,
                                          int style) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(style);
  std::wstring commandLine = L"\"" + path + L"\"";
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(SystemName(path), commandLine.data(), nullptr, nullptr,
                        FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr,
                        &startup, &started)) {
    throw LastFailure();
  }
  const ProcessHandles handles(started);
  return started.dwProcessId;
}

std::uint32_t Win32Platform::GetWindowsDirectoryA(char* buffer,
                                                  std::uint32_t size) {
  return ::GetWindowsDirectoryA(buffer, size);
}

std::uint32_t Win32Platform::GetSystemDirectoryA(char* buffer,
                                                 std::uint32_t size) {
  return ::GetSystemDirectoryA(buffer, size);
}

// Shown without a parent window, in front of everything, as the last
// thing the launcher does.
Failure Win32Platform::FailureFor(std::uint32_t number) {
  return win32::FailureOf(number);
}

void Win32Platform::ReportUnhandledFailure(const Failure& failure) noexcept {
  try {
    const std::wstring text = L"Error " + std::to_wstring(failure.Number()) +
                              L":\r\n\r\n" + failure.Description();
    std::wstring caption = ModulePath();
    caption = caption.substr(caption.find_last_of(L'\\') + 1);
    ::MessageBoxW(nullptr, text.c_str(), caption.c_str(),
                  MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
  } catch (...) {
    // Without memory there is no way left to tell the user; the exit code
    // still carries the error number.
  }
}

}  // namespace platform::win32
