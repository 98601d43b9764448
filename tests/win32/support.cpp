#include "tests/win32/support.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/handles.h"

namespace wintest {

using platform::win32::FileHandle;
using platform::win32::FindHandle;

std::string ReadBytes(const std::wstring& path) {
  const FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return "<missing>";
  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  while (::ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr) &&
         read > 0) {
    bytes.append(chunk, read);
  }
  return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  const FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, 0, nullptr));
  if (!file) return;
  DWORD written = 0;
  ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void EmptyFolder(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  const FindHandle search(::FindFirstFileW((path + L"\\*").c_str(), &found));
  if (!search) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring child = path + L"\\" + name;
    ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(child);
    } else {
      ::DeleteFileW(child.c_str());
    }
  } while (::FindNextFileW(search.Get(), &found));
}

void RemoveTree(const std::wstring& path) {
  EmptyFolder(path);
  ::RemoveDirectoryW(path.c_str());
}

void MakeFolder(const std::wstring& path) {
  for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos;
       at = path.find(L'\\', at + 1)) {
    ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  ::CreateDirectoryW(path.c_str(), nullptr);
}

std::wstring EnvironmentPath(const wchar_t* name) {
  std::vector<wchar_t> value(32768);
  const DWORD length = ::GetEnvironmentVariableW(
      name, value.data(), static_cast<DWORD>(value.size()));
  std::wstring path(value.data(), length);
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  if (!path.empty() && path[0] == L'\\') path = L"Z:" + path;
  return path;
}

bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    ::Sleep(50);
  }
  return true;
}

void CopyViewer(const std::wstring& to) {
  const std::wstring from = EnvironmentPath(L"STANDIN_VIEWER");
  ASSERT_TRUE(WaitFor(
      [&] { return ::CopyFileW(from.c_str(), to.c_str(), FALSE) != 0; },
      std::chrono::seconds(10)));
}

std::wstring StartRecord(const std::wstring& record, const wchar_t* key) {
  if (!WaitFor([&] { return Exists(record); }, std::chrono::seconds(10))) {
    return {};
  }
  wchar_t value[MAX_PATH] = {};
  ::GetPrivateProfileStringW(L"Started", key, L"", value, MAX_PATH,
                             record.c_str());
  return value;
}

std::wstring WindowText(HWND window) {
  DWORD_PTR length = 0;
  ::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000,
                        &length);
  std::vector<wchar_t> text(length + 1);
  DWORD_PTR copied = 0;
  ::SendMessageTimeoutW(window, WM_GETTEXT, text.size(),
                        reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        5000, &copied);
  return std::wstring(text.data(), copied);
}

}  // namespace wintest
