// The operating-system seam of the launcher.
//
// The launcher and the disc locator reach the operating system only through
// platform::Platform. The Windows build plugs in the Win32 backend
// (platform/win32); the host tests plug in the in-memory fake (platform/fake).
//
// Strings are Unicode in memory; every conversion to and from the system's
// ANSI code page happens behind this seam. Failures are thrown as
// platform::Failure, carrying a Windows error number and its description.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Windows error numbers that the launcher, the fake and the tests name.
// They are Windows' own values, repeated here so that the core needs no
// system header.
namespace error {
inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kPathNotFound = 3;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kNotEnoughMemory = 8;
inline constexpr std::uint32_t kInvalidDrive = 15;
inline constexpr std::uint32_t kNotReady = 21;
inline constexpr std::uint32_t kHandleEof = 38;
inline constexpr std::uint32_t kInvalidName = 123;
inline constexpr std::uint32_t kNoUnicodeTranslation = 1113;
inline constexpr std::uint32_t kInternalError = 1359;
}  // namespace error

// A failure reported by the operating system: its error number and the
// system's description of that number.
class Failure : public std::exception {
 public:
  Failure(std::uint32_t number, std::wstring description);

  std::uint32_t Number() const noexcept { return number_; }
  const std::wstring& Description() const noexcept { return description_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::uint32_t number_;
  std::wstring description_;
  std::string what_;
};

// Window style for a program started shown maximized and activated.
inline constexpr int kShowMaximized = 3;

// Every operation the launcher and the disc locator use.
class Platform {
 public:
  virtual ~Platform() = default;

  // --- File system ---------------------------------------------------------

  // True when a normal file (not hidden, not system, not a directory;
  // read-only and archive files count) matches the wildcard pattern, false
  // when nothing matches. Throws Failure when the search itself fails
  // (drive not ready, a name the system rejects, a missing directory).
  virtual bool FindPattern(const std::wstring& pattern) = 0;

  // The directory that holds the running executable, without a trailing
  // separator unless it is a drive root. Throws Failure.
  virtual std::wstring LauncherDirectory() = 0;

  // Deletes the file, whatever its read-only, hidden or system attributes.
  // A file that does not exist is not an error. Throws Failure when the
  // file exists and cannot be removed.
  virtual void DeleteFileAnyAttributes(const std::wstring& path) = 0;

  // Opens a text file, reads its first line (up to CR, LF or the end of
  // the file) converted from the ANSI code page, and closes it. Throws
  // Failure when the file cannot be opened or holds no byte at all
  // (error::kHandleEof).
  virtual std::wstring ReadFirstLine(const std::wstring& path) = 0;

  // Creates or truncates a text file and writes the lines, each in the
  // ANSI code page and ended by CR LF, then closes it; others may read the
  // file meanwhile. Throws Failure, error::kNoUnicodeTranslation when a
  // line has a character the code page cannot hold: nothing is ever
  // written as a look-alike.
  virtual void WriteTextFile(const std::wstring& path,
                             const std::vector<std::wstring>& lines) = 0;

  // Writes the lines as WriteTextFile does, in place of whatever the file
  // held, whatever its read-only, hidden or system attributes; the new file
  // has none of them. Throws Failure; a file that was there then holds
  // what it held.
  virtual void ReplaceTextFile(const std::wstring& path,
                               const std::vector<std::wstring>& lines) = 0;

  // The path in a form that WriteTextFile writes exactly: the path itself
  // when the ANSI code page holds it, else its short (8.3) form when that
  // one is held. Throws Failure (error::kNoUnicodeTranslation) when
  // neither is.
  virtual std::wstring PathForTextFile(const std::wstring& path) = 0;

  // --- Current drive and directory -----------------------------------------

  // Makes the drive named by the path's first letter current. A path that
  // does not start with a drive letter leaves the current drive as it is.
  // Throws Failure when the drive cannot be made current.
  virtual void ChangeDrive(const std::wstring& path) = 0;

  // Makes the path the current directory. Throws Failure when it does not
  // exist or cannot be entered.
  virtual void ChangeDirectory(const std::wstring& path) = 0;

  // --- User interface and processes ----------------------------------------

  // Shows the modal path dialog: prompt, title, an edit field holding the
  // default, OK and Cancel. Returns the edited text on OK and the empty
  // string on Cancel. Throws Failure when the dialog cannot be shown.
  virtual std::wstring InputText(const std::wstring& prompt,
                                 const std::wstring& title,
                                 const std::wstring& defaultText) = 0;

  // Starts the program with the given window style and the current
  // directory, without waiting for it. Returns its task number. Throws
  // Failure when it cannot be started.
  virtual std::uint32_t StartProgram(const std::wstring& path, int style) = 0;

  // --- Windows directories (ANSI) ------------------------------------------

  // Fill an ANSI buffer of `size` bytes with the directory name and return
  // its length in bytes; when the buffer is too small, fill nothing and
  // return the size needed, terminator included. Return 0 on failure.
  virtual std::uint32_t GetWindowsDirectoryA(char* buffer,
                                             std::uint32_t size) = 0;
  virtual std::uint32_t GetSystemDirectoryA(char* buffer,
                                            std::uint32_t size) = 0;

  // Converts text in the system's ANSI code page to Unicode. Never throws
  // for bad input: unmappable bytes become the code page's default.
  virtual std::wstring FromAnsi(std::string_view text) = 0;

  // The failure the system reports for the error number, with the
  // system's description of it. Never throws.
  virtual Failure FailureFor(std::uint32_t number) = 0;

  // --- The end of a failed run ---------------------------------------------

  // Shows the user the report of an unhandled failure: its number and its
  // description. Must not throw.
  virtual void ReportUnhandledFailure(const Failure& failure) noexcept = 0;
};

// The platform in use. Throws std::logic_error when none is installed.
Platform& Current();

// Installs a platform for the lifetime of this object, restoring the one
// before it afterwards.
class ScopedPlatform {
 public:
  explicit ScopedPlatform(Platform& platform);
  ~ScopedPlatform();
  ScopedPlatform(const ScopedPlatform&) = delete;
  ScopedPlatform& operator=(const ScopedPlatform&) = delete;

 private:
  Platform* previous_;
};

// The very top of the program: installs the platform, runs the routine and
// hands any failure that escapes it to the platform's report. Returns 0
// after a clean run and the failure's number (never 0) after a failure.
int RunReportingFailures(Platform& platform, void (*routine)());

}  // namespace platform
