// The installer's own steps, run by Windows Installer from the package:
// the disc location an administrator presets with DISCPATH, checked before
// anything is installed and remembered beside the launcher as the launcher
// itself remembers it; the location an older version remembered, kept
// through an upgrade; the disc the package was started from; and the
// location forgotten again on uninstall. Each change has a rollback step
// that puts the file back as it was before the installation began.
//
// Only a first install or an upgrade chooses a location: a maintenance run
// (the package run again, a repair) leaves the file as it is. In a
// per-machine install only an administrator, or the system, chooses one
// for every user.
//
// No exception leaves an entry point: each one catches everything, writes
// what happened to the installer's log and returns its failure.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <exception>
#include <optional>
#include <string>

#include "app/installer/msi_handle.h"
#include "launcher/product.h"
#include "locator/remembered_location.h"
#include "platform/platform.h"
#include "platform/win32/handles.h"
#include "platform/win32/win32_platform.h"

namespace {

// More than any remembered location needs; the launcher reads one line.
constexpr DWORD kMostKept = 65536;

using Handle = installer::MsiHandle;

std::wstring Property(MSIHANDLE install, const wchar_t* name) {
  wchar_t none[1] = L"";
  DWORD size = 0;
  if (::MsiGetPropertyW(install, name, none, &size) != ERROR_MORE_DATA) {
    return {};
  }
  std::wstring value(++size, L'\0');
  if (::MsiGetPropertyW(install, name, value.data(), &size) != ERROR_SUCCESS) {
    return {};
  }
  value.resize(size);
  return value;
}

// Shown in a message box, or written to the log of a silent install. The
// text goes in as a field, so brackets in a path are not read as formatting.
void Tell(MSIHANDLE install, INSTALLMESSAGE kind, const std::wstring& text) {
  const Handle record(::MsiCreateRecord(1));
  ::MsiRecordSetStringW(record.Get(), 0, L"[1]");
  ::MsiRecordSetStringW(record.Get(), 1, text.c_str());
  ::MsiProcessMessage(install, kind, record.Get());
}

void Log(MSIHANDLE install, const std::wstring& text) noexcept {
  try {
    Tell(install, INSTALLMESSAGE_INFO, text);
  } catch (...) {
    // Without memory to say it, the step's result still tells.
  }
}

UINT Refuse(MSIHANDLE install, const std::wstring& text) {
  Tell(install,
       static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR),
       text);
  return ERROR_INSTALL_FAILURE;
}

std::wstring Describe(const platform::Failure& failure) {
  return failure.Description() + L" (error " +
         std::to_wstring(failure.Number()) + L")";
}

// Runs one step with everything it may throw caught: a step that fails
// writes why to the installer's log and returns its failure.
template <typename Step>
UINT Guarded(MSIHANDLE install, const wchar_t* name, Step step) noexcept {
  try {
    try {
      return step();
    } catch (const platform::Failure& failure) {
      Log(install, std::wstring(name) + L" failed: " + Describe(failure));
    } catch (const std::exception& failure) {
      const std::string what = failure.what();
      Log(install, std::wstring(name) + L" failed: " +
                       std::wstring(what.begin(), what.end()));
    } catch (...) {
      Log(install, std::wstring(name) + L" failed.");
    }
  } catch (...) {
    // Without memory to say why, the step's result still tells.
  }
  return ERROR_INSTALL_FAILURE;
}

std::wstring WithoutTrailingSeparator(std::wstring folder) {
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder;
}

locator::RememberedLocation LocationIn(const std::wstring& folder) {
  return {WithoutTrailingSeparator(folder), product::kCode};
}

// The component code of the component that holds launcher.exe.
std::wstring LauncherComponentCode(MSIHANDLE install) {
  const Handle database(::MsiGetActiveDatabase(install));
  Handle view;
  Handle row;
  if (::MsiDatabaseOpenViewW(database.Get(),
                             L"SELECT `ComponentId` FROM `Component` WHERE "
                             L"`Component`='Launcher'",
                             view.Out()) != ERROR_SUCCESS ||
      ::MsiViewExecute(view.Get(), 0) != ERROR_SUCCESS ||
      ::MsiViewFetch(view.Get(), row.Out()) != ERROR_SUCCESS) {
    return {};
  }
  wchar_t code[39] = {};
  DWORD size = 39;
  ::MsiRecordGetStringW(row.Get(), 1, code, &size);
  return code;
}

// Where an installed component's key file is, however long the path; the
// empty string when it is not installed on this computer.
std::wstring InstalledPath(const std::wstring& product,
                           const std::wstring& component) {
  wchar_t none[1] = L"";
  DWORD size = 0;
  INSTALLSTATE state = ::MsiGetComponentPathW(product.c_str(),
                                              component.c_str(), none, &size);
  if (state != INSTALLSTATE_MOREDATA && state != INSTALLSTATE_LOCAL) return {};
  std::wstring path(++size, L'\0');
  state = ::MsiGetComponentPathW(product.c_str(), component.c_str(),
                                 path.data(), &size);
  if (state != INSTALLSTATE_LOCAL) return {};
  path.resize(size);
  return path;
}

// A small file as it is now: not there, its bytes, or there but unreadable.
struct FileNow {
  bool there = false;
  std::optional<std::string> bytes;
};

FileNow ReadSmallFile(const std::wstring& path) {
  const platform::win32::FileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD error = ::GetLastError();
    return {error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND,
            std::nullopt};
  }
  std::string bytes(kMostKept, '\0');
  DWORD read = 0;
  if (!::ReadFile(file.Get(), bytes.data(), kMostKept, &read, nullptr)) {
    return {true, std::nullopt};
  }
  bytes.resize(read);
  return {true, bytes};
}

std::wstring Hex(const std::string& bytes) {
  static const wchar_t digits[] = L"0123456789ABCDEF";
  std::wstring text;
  for (const unsigned char byte : bytes) {
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return -1;
}

std::optional<std::string> FromHex(const std::wstring& text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

// What a deferred step puts beside the launcher, as its data says:
// "folder|P|path" remembers the path, "folder|K|bytes in hex" puts the
// file back byte for byte, "folder|N|" leaves no file.
struct Placement {
  std::wstring folder;
  wchar_t kind;
  std::wstring payload;
};

std::wstring Encode(const std::wstring& folder, wchar_t kind,
                    const std::wstring& payload) {
  return folder + L"|" + kind + L"|" + payload;
}

std::optional<Placement> Decode(const std::wstring& data) {
  const std::size_t split = data.find(L'|');
  if (split == std::wstring::npos || split == 0 || data.size() < split + 3 ||
      data[split + 2] != L'|') {
    return std::nullopt;
  }
  return Placement{data.substr(0, split), data[split + 1],
                   data.substr(split + 3)};
}

// The file as it is now, as the placement that puts it back on a rollback;
// nothing when it is there but cannot be read.
std::optional<std::wstring> StateNow(const std::wstring& folder) {
  const FileNow now = ReadSmallFile(LocationIn(folder).File());
  if (!now.there) return Encode(folder, L'N', L"");
  if (!now.bytes) return std::nullopt;
  return Encode(folder, L'K', Hex(*now.bytes));
}

// Sets the rollback step's data to the file as it is now. A file that
// cannot be read gets no rollback step, which could only lose it.
void PrepareUndo(MSIHANDLE install, const wchar_t* step,
                 const std::wstring& folder) {
  const std::optional<std::wstring> state = StateNow(folder);
  if (!state) {
    Log(install, std::wstring(step) + L" has nothing to put back: " +
                     LocationIn(folder).File() + L" cannot be read.");
  }
  ::MsiSetPropertyW(install, step, state.value_or(L"").c_str());
}

// Carries out a placement. Throws platform::Failure; false for data that
// is no placement of that kind.
bool Place(const Placement& placement) {
  platform::win32::Win32Platform os;
  platform::ScopedPlatform current(os);
  const locator::RememberedLocation location = LocationIn(placement.folder);
  switch (placement.kind) {
    case L'P':
      location.Remember(placement.payload);
      return true;
    case L'K':
      if (const std::optional<std::string> bytes = FromHex(placement.payload)) {
        platform::win32::ReplaceFileBytes(location.File(), *bytes);
        return true;
      }
      return false;
    case L'N':
      location.Forget();
      return placement.payload.empty();
    default:
      return false;
  }
}

// Carries out the placement the step's data names: its result, with any
// failure written to the log as the step's.
UINT PlaceAsData(MSIHANDLE install, const wchar_t* name) {
  const std::wstring data = Property(install, L"CustomActionData");
  const std::optional<Placement> placement = Decode(data);
  if (!placement || !Place(*placement)) {
    Log(install, std::wstring(name) + L": no placement in its data \"" + data +
                     L"\"");
    return ERROR_INSTALL_FAILURE;
  }
  return ERROR_SUCCESS;
}

// Why the launcher could not read DISCPATH back as the very path given, or
// nothing when it can.
std::optional<std::wstring> DiscPathFault(const std::wstring& discPath) {
  const std::wstring named = L"DISCPATH \"" + discPath + L"\" ";
  const std::wstring end = L" Nothing was installed.";
  switch (locator::FaultOfPreset(discPath)) {
    case locator::PresetFault::kLineBreak:
      return named + L"holds a line break: a path is one line." + end;
    case locator::PresetFault::kBlankAtAnEnd:
      return named + L"begins or ends with a blank: give the path alone." +
             end;
    case locator::PresetFault::kNotAPath:
      return named + L"is not a path: a path holds none of the characters "
                     L"< > \" | ? *." + end;
    case locator::PresetFault::kNotAFullPath:
      return named + L"is not a full path: give a drive and folder, such as "
                     L"E:\\kx31, or a share, such as \\\\server\\share\\kx31." +
             end;
    case locator::PresetFault::kNone:
      break;
  }
  if (!platform::win32::ExactAnsi(discPath)) {
    return named + L"holds characters that this computer's ANSI code page (" +
           std::to_wstring(::GetACP()) +
           L") cannot hold, so the launcher could not read it back." + end;
  }
  return std::nullopt;
}

// Whoever runs this install may choose the location: always in a per-user
// install, which no other user's launcher reads; in a per-machine one, an
// administrator or the system only (the package asks Windows to tell a
// real administrator).
bool MayChooseTheLocation(MSIHANDLE install) {
  const std::wstring allUsers = Property(install, L"ALLUSERS");
  const bool perMachine = allUsers == L"1" || allUsers == L"2";
  return !perMachine || !Property(install, L"AdminUser").empty();
}

// The file an older version's launcher remembered, on an upgrade; not
// there on a first install.
FileNow KeptLocation(MSIHANDLE install, const std::wstring& folder) {
  if (Property(install, L"WIX_UPGRADE_DETECTED").empty()) return {};
  return ReadSmallFile(LocationIn(folder).File());
}

// The disc the package was started from: a folder holding the marker and
// the viewer, whose root or INSTALL folder holds the package; or the empty
// string.
std::wstring SourceDisc(MSIHANDLE install) {
  const std::wstring package = Property(install, L"OriginalDatabase");
  const std::size_t name = package.rfind(L'\\');
  if (name == std::wstring::npos) return {};
  platform::win32::Win32Platform os;
  platform::ScopedPlatform current(os);
  const std::wstring disc = locator::DiscOf(
      package.substr(0, name), product::kCode, product::kViewerProgram);
  return platform::win32::ExactAnsi(disc) ? disc : std::wstring();
}

// What WriteLocation writes: DISCPATH, else the location an older version
// kept (Windows Installer keeps that file through an upgrade itself; Wine
// removes it with the older version, so it is kept here for both), else
// the disc the package came from; or nothing. A DISCPATH the launcher
// could not read back ends the installation before it starts. A source
// disc the ANSI code page cannot hold exactly is passed over, since no user
// chose it, and the first run asks.
UINT ChooseLocation(MSIHANDLE install) {
  const std::wstring folder = Property(install, L"INSTALLFOLDER");
  const std::wstring discPath = Property(install, L"DISCPATH");
  const bool mayChoose = MayChooseTheLocation(install);
  std::wstring data;
  if (!discPath.empty() && !mayChoose) {
    Log(install, L"DISCPATH is not taken: in a per-machine install only an "
                 L"administrator chooses the disc's location.");
  } else if (!discPath.empty()) {
    if (const std::optional<std::wstring> fault = DiscPathFault(discPath)) {
      return Refuse(install, *fault);
    }
    data = Encode(folder, L'P', discPath);
  }
  const FileNow kept = data.empty() ? KeptLocation(install, folder) : FileNow{};
  if (kept.bytes) {
    data = Encode(folder, L'K', Hex(*kept.bytes));
  } else if (kept.there) {
    Log(install, L"The location the older version remembered stays as it "
                 L"is: it cannot be read.");
  } else if (data.empty() && mayChoose) {
    if (const std::wstring disc = SourceDisc(install); !disc.empty()) {
      data = Encode(folder, L'P', disc);
    }
  }
  ::MsiSetPropertyW(install, L"WriteLocation", data.c_str());
  PrepareUndo(install, L"UndoWriteLocation", folder);
  return ERROR_SUCCESS;
}

}  // namespace

// Immediate, on a repair or an uninstall, before the folders are resolved:
// the launcher's folder is where it was installed, whatever scope was asked
// for then (Windows works that out itself; Wine's installer would look in
// the per-user folder again).
extern "C" __declspec(dllexport) UINT __stdcall FindInstalledFolder(
    MSIHANDLE install) {
  return Guarded(install, L"FindInstalledFolder", [&]() -> UINT {
    std::wstring folder = InstalledPath(Property(install, L"ProductCode"),
                                        LauncherComponentCode(install));
    const std::size_t name = folder.rfind(L'\\');
    if (name == std::wstring::npos) return ERROR_SUCCESS;
    folder.erase(name + 1);
    ::MsiSetPropertyW(install, L"INSTALLFOLDER", folder.c_str());
    return ERROR_SUCCESS;
  });
}

// Immediate, on a first install or an upgrade, once the folders are known
// and before anything changes (before an older version is removed):
// decides what WriteLocation writes, and what UndoWriteLocation puts back.
extern "C" __declspec(dllexport) UINT __stdcall PrepareLocation(
    MSIHANDLE install) {
  return Guarded(install, L"PrepareLocation",
                 [&]() -> UINT { return ChooseLocation(install); });
}

// Immediate, on an uninstall of its own: the launcher's folder for
// ForgetLocation, and the file as it is for UndoForgetLocation.
extern "C" __declspec(dllexport) UINT __stdcall PrepareForget(
    MSIHANDLE install) {
  return Guarded(install, L"PrepareForget", [&]() -> UINT {
    const std::wstring folder = Property(install, L"INSTALLFOLDER");
    ::MsiSetPropertyW(install, L"ForgetLocation", folder.c_str());
    PrepareUndo(install, L"UndoForgetLocation", folder);
    return ERROR_SUCCESS;
  });
}

// Deferred, once launcher.exe is in place. A location that cannot be
// written ends the installation with a message saying why.
extern "C" __declspec(dllexport) UINT __stdcall WriteLocation(
    MSIHANDLE install) {
  return Guarded(install, L"WriteLocation", [&]() -> UINT {
    try {
      return PlaceAsData(install, L"WriteLocation");
    } catch (const platform::Failure& failure) {
      return Refuse(install, L"The disc location could not be written beside "
                             L"the launcher: " + Describe(failure));
    }
  });
}

// Deferred, on an uninstall: the launcher's folder. A location that cannot
// be forgotten is logged; the uninstall goes on.
extern "C" __declspec(dllexport) UINT __stdcall ForgetLocation(
    MSIHANDLE install) {
  return Guarded(install, L"ForgetLocation", [&]() -> UINT {
    const std::wstring folder = Property(install, L"CustomActionData");
    if (folder.empty()) {
      Log(install, L"ForgetLocation: no folder in its data");
      return ERROR_INSTALL_FAILURE;
    }
    platform::win32::Win32Platform os;
    platform::ScopedPlatform current(os);
    LocationIn(folder).Forget();
    return ERROR_SUCCESS;
  });
}

// Rollback, of WriteLocation or ForgetLocation: the file as it was before
// the installation began.
extern "C" __declspec(dllexport) UINT __stdcall RestoreLocation(
    MSIHANDLE install) {
  return Guarded(install, L"RestoreLocation", [&]() -> UINT {
    return PlaceAsData(install, L"RestoreLocation");
  });
}
