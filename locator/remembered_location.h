// The disc's remembered location, and what makes a folder the product's
// disc. The launcher's locator and the installer's setup steps both go
// through here, so that a location is written, read, replaced and forgotten
// one way only.
//
// The location file is the launcher's folder, "\", the product code and
// ".INI". Its one line is "CDROM=" and the disc path, ended by CR LF; a path
// with a comma is written whole in double quotes ("CDROM=C:\Atlas, 1998\"),
// since a plain line is read only up to its first comma.
#pragma once

#include <string>

namespace locator {

// Makes sure the path ends in "\"; the empty path becomes "\". Returns a
// copy of the result.
std::wstring AddBackslash(std::wstring& Path);

// A drive path ("E:\...") or a share ("\\server\share\..."): a folder that
// stays the same folder whatever the current drive and directory are.
bool IsFullPath(const std::wstring& Path);

// Whether the path names a different folder from another current
// directory: "DISC\" or "E:DISC\", but not "E:\DISC\" nor "\DISC\".
bool DependsOnCurrentDirectory(const std::wstring& Path);

// What keeps a path given ahead of any run (the installer's DISCPATH) from
// being remembered as the very path given, if anything: a line break, a
// blank at either end, a character no Windows path holds (< > " | ? *),
// or, once its "\" is added, not being a full path.
enum class PresetFault { kNone, kLineBreak, kBlankAtAnEnd, kNotAPath,
                         kNotAFullPath };
PresetFault FaultOfPreset(const std::wstring& Path);

// Whether a normal file ProdName.* is in the folder `Path` (ending in "\")
// or in its INSTALL folder. Both searches always run; one that fails (a
// drive that is not ready, a name the system rejects, a missing folder)
// found nothing there. Throws nothing.
bool HoldsMarkers(const std::wstring& Path, const std::wstring& ProdName);

// The disc that `Folder` is the root or the INSTALL folder of, ending in
// "\": the folder above it when `Folder` is named INSTALL (in any letter
// case), else `Folder` itself, whichever holds the markers of `ProdName`
// and the program `Viewer`; the empty string when neither does. Throws
// nothing.
std::wstring DiscOf(const std::wstring& Folder, const std::wstring& ProdName,
                    const std::wstring& Viewer);

class RememberedLocation {
 public:
  // The location file of the product `ProdName` for a launcher in
  // `LauncherDirectory`. The "\" between them is added unconditionally: a
  // launcher in a drive root has "E:\\KX31.INI", which the system accepts.
  RememberedLocation(const std::wstring& LauncherDirectory,
                     const std::wstring& ProdName);

  const std::wstring& File() const { return file_; }

  // Whether the file is there as a normal file. Throws platform::Failure
  // when the search for it fails.
  bool IsThere() const;

  // The candidate path it names: its first item, less its first six
  // characters (the key, not examined), with its "\" added. Throws
  // platform::Failure when the file cannot be read or is empty.
  std::wstring Read() const;

  // Remembers `Path`, with its "\" added, in place of whatever the file
  // held, whatever its attributes. Throws platform::Failure when the file
  // cannot be written, or when no line would read back as the path (one
  // with a line break, or with both a comma and a double quote); the old
  // file then holds what it held.
  void Remember(std::wstring Path) const;

  // Deletes the file, if there is one. Throws platform::Failure.
  void Forget() const;

 private:
  std::wstring file_;
};

}  // namespace locator
