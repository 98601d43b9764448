// The launcher's platform on the real Win32 API.
#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"

namespace platform::win32 {

// Unicode text in the system's ANSI code page, or nothing when the code
// page cannot hold every character exactly.
std::optional<std::string> ExactAnsi(const std::wstring& text);

// Creates the file, or empties it, and writes the bytes in one write. A
// file another program is writing for a moment is waited for.
void WriteFileBytes(const std::wstring& path, const std::string& bytes);

// Puts the bytes in place of whatever the file held, whatever its
// read-only, hidden or system attributes, which the new file does not
// have. A failure leaves the old file as it was.
void ReplaceFileBytes(const std::wstring& path, const std::string& bytes);

class Win32Platform : public Platform {
 public:
  bool FindPattern(const std::wstring& pattern) override;
  std::wstring LauncherDirectory() override;
  void DeleteFileAnyAttributes(const std::wstring& path) override;
  std::wstring ReadFirstLine(const std::wstring& path) override;
  void WriteTextFile(const std::wstring& path,
                     const std::vector<std::wstring>& lines) override;
  void ReplaceTextFile(const std::wstring& path,
                       const std::vector<std::wstring>& lines) override;
  std::wstring PathForTextFile(const std::wstring& path) override;
  void ChangeDrive(const std::wstring& path) override;
  void ChangeDirectory(const std::wstring& path) override;
  std::wstring InputText(const std::wstring& prompt, const std::wstring& title,
                         const std::wstring& defaultText) override;
  std::uint32_t StartProgram(const std::wstring& path, int style) override;
  std::uint32_t GetWindowsDirectoryA(char* buffer,
                                     std::uint32_t size) override;
  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override;
  std::wstring FromAnsi(std::string_view text) override;
  Failure FailureFor(std::uint32_t number) override;
  void ReportUnhandledFailure(const Failure& failure) noexcept override;
};

}  // namespace platform::win32
