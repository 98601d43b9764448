// An in-memory platform for the host tests: drives, directories and files
// with attributes, a scripted path dialog, and records of everything the
// launcher did. It follows Windows where Windows and Wine differ.
//
// Paths take the forms the launcher meets: "E:\DIR\NAME", "E:" plus a
// relative path, "\DIR" on the current drive, relative paths, and UNC
// roots "\\SERVER\SHARE\DIR". Names compare without regard to case.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform::fake {

// File attributes, with Windows' values.
enum Attribute : std::uint32_t {
  kReadOnly = 0x01,
  kHidden = 0x02,
  kSystem = 0x04,
  kDirectory = 0x10,
  kArchive = 0x20,
};

struct ShownDialog {
  std::wstring prompt;
  std::wstring title;
  std::wstring defaultText;
};

struct StartedProgram {
  std::wstring path;
  int style;
  std::wstring currentDirectory;
};

class FakePlatform : public Platform {
 public:
  // A machine with a ready drive C: holding C:\WINDOWS\SYSTEM32 and the
  // launcher's folder C:\LAUNCH, which is also the current directory.
  FakePlatform();

  // --- Building the machine ------------------------------------------------
  void AddDrive(const std::wstring& root, bool ready = true);  // "E:"
  void SetDriveReady(const std::wstring& root, bool ready);
  void AddDirectory(const std::wstring& path, std::uint32_t attributes = 0);
  void AddFile(const std::wstring& path, const std::string& bytes = "",
               std::uint32_t attributes = kArchive);
  // Creating, replacing or deleting files in this directory is refused.
  void MakeUnwritable(const std::wstring& directory);

  // --- Inspecting it -------------------------------------------------------
  bool Exists(const std::wstring& path);
  std::string Contents(const std::wstring& path);
  std::uint32_t Attributes(const std::wstring& path);
  std::wstring CurrentDirectory() const;

  // --- Plain state the tests set and read ----------------------------------
  std::wstring launcherDirectory = L"C:\\LAUNCH";
  std::string windowsDirectory = "C:\\WINDOWS";  // empty: the call fails
  std::string systemDirectory = "C:\\WINDOWS\\SYSTEM32";
  // The ANSI code page holds the first 256 characters, one byte each.
  // A stand-in double-byte code page: a byte from 0x81 to 0x9F and the byte
  // after it are one character.
  bool doubleByteCodePage = false;
  std::deque<std::wstring> dialogAnswers;
  std::vector<ShownDialog> dialogs;
  std::vector<StartedProgram> started;
  std::vector<Failure> reports;
  int windowsDirectoryCalls = 0;
  int systemDirectoryCalls = 0;
  std::vector<std::wstring> searches;  // every pattern searched for
  std::vector<std::wstring> written;   // every text file written, in order

  // --- Platform --------------------------------------------------------------
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

  // Whether the stand-in ANSI code page above holds every character.
  static bool HeldByCodePage(const std::wstring& text);

 private:
  // A path taken apart: its root ("E:", "\\SERVER\SHARE") and its names.
  struct Location {
    std::wstring root;
    std::vector<std::wstring> names;
    Location Parent() const;
    std::wstring Display() const;
  };
  struct Entry {
    std::wstring name;
    std::uint32_t attributes;
    std::string bytes;
  };

  Location Resolve(const std::wstring& path) const;
  static std::wstring Key(const Location& location);
  void RequireReadyRoot(const Location& location) const;
  void RequireDirectory(const Location& location) const;
  Entry* Find(const Location& location);
  void RequireWritable(const Location& directory) const;
  // A file that may be created or replaced there, or a failure.
  Location WritableFile(const std::wstring& path);
  void PutLines(const Location& location,
                const std::vector<std::wstring>& lines);
  static std::uint32_t CopyDirectoryName(const std::string& name, char* buffer,
                                         std::uint32_t size);

  std::map<std::wstring, bool> drives_;  // upper-case root -> ready
  std::map<std::wstring, Entry> entries_;  // Key(location) -> entry
  std::set<std::wstring> unwritable_;      // Key(directory)
  Location current_;
  std::map<std::wstring, Location> currentOfDrive_;
  std::uint32_t nextTask_ = 100;
};

}  // namespace platform::fake
