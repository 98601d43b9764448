// The installer's own steps, run by Windows Installer from the package:
// the disc location an administrator presets with DISCPATH, checked before
// anything is installed and written beside the launcher as the launcher
// itself writes it; the remembered location kept through an upgrade; and
// forgotten again on uninstall.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <optional>
#include <string>

#include "launcher/launcher.h"
#include "platform/platform.h"
#include "platform/win32/handles.h"
#include "platform/win32/win32_platform.h"

namespace {

// Characters no Windows path holds; the launcher never finds a disc there.
constexpr wchar_t kNotInPaths[] = L"<>\"|?*";

// More than any remembered location needs; the launcher reads one line.
constexpr DWORD kMostKept = 65536;

class Handle {
 public:
  explicit Handle(MSIHANDLE handle = 0) : handle_(handle) {}
  ~Handle() {
    if (handle_ != 0) ::MsiCloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  MSIHANDLE Get() const { return handle_; }
  MSIHANDLE* Out() { return &handle_; }

 private:
  MSIHANDLE handle_;
};

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

UINT Refuse(MSIHANDLE install, const std::wstring& text) {
  Tell(install,
       static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR),
       text);
  return ERROR_INSTALL_FAILURE;
}

std::wstring WithoutTrailingSeparator(std::wstring folder) {
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder;
}

std::wstring Describe(const platform::Failure& failure) {
  return failure.Description() + L" (error " +
         std::to_wstring(failure.Number()) + L")";
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

// The bytes of a small file, or nothing when there is none to read.
std::optional<std::string> ReadSmallFile(const std::wstring& path) {
  const platform::win32::FileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string bytes(kMostKept, '\0');
  DWORD read = 0;
  if (!::ReadFile(file.Get(), bytes.data(), kMostKept, &read, nullptr)) {
    return std::nullopt;
  }
  bytes.resize(read);
  return bytes;
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

std::string FromHex(const std::wstring& text) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

// The older version's file, byte for byte, over whatever is there (a new
// file cannot be created over a hidden one).
void PutBackKeptFile(const std::wstring& path, const std::string& bytes) {
  platform::Current().DeleteFileAnyAttributes(path);
  platform::win32::WriteFileBytes(path, bytes);
}

// The file an older version's launcher remembered, on an upgrade.
std::optional<std::string> KeptLocation(MSIHANDLE install,
                                        const std::wstring& folder) {
  if (Property(install, L"WIX_UPGRADE_DETECTED").empty()) return std::nullopt;
  return ReadSmallFile(
      Module1::DiscLocationFile(WithoutTrailingSeparator(folder)));
}

// The disc the package was started from, or the empty string.
std::wstring SourceDisc(MSIHANDLE install) {
  platform::win32::Win32Platform os;
  platform::ScopedPlatform current(os);
  const std::wstring disc =
      Module1::SourceDisc(Property(install, L"OriginalDatabase"));
  return platform::win32::ExactAnsi(disc) ? disc : std::wstring();
}

}  // namespace

// Immediate, on a repair or an uninstall, before the folders are resolved:
// the launcher's folder is where it was installed, whatever scope was asked
// for then (Windows works that out itself; Wine's installer would look in
// the per-user folder again).
extern "C" __declspec(dllexport) UINT __stdcall FindInstalledFolder(
    MSIHANDLE install) {
  const std::wstring product = Property(install, L"ProductCode");
  const std::wstring component = LauncherComponentCode(install);
  wchar_t path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  if (component.empty() ||
      ::MsiGetComponentPathW(product.c_str(), component.c_str(), path,
                             &size) != INSTALLSTATE_LOCAL) {
    return ERROR_SUCCESS;
  }
  std::wstring folder = path;
  folder.erase(folder.rfind(L'\\') + 1);
  ::MsiSetPropertyW(install, L"INSTALLFOLDER", folder.c_str());
  return ERROR_SUCCESS;
}

// Immediate, once the folders are known and before anything changes
// (before an older version is removed): decides what WriteLocation writes
// beside the launcher, as "folder|P|path" for a DISCPATH, or as
// "folder|K|bytes in hex" for the location an older version remembered.
// Windows Installer keeps that file through an upgrade itself; Wine removes
// it with the older version, so it is kept here for both. A DISCPATH the
// launcher could not read back ends the installation before it starts.
// Without either, a package started from the product's disc (its root or
// its INSTALL folder) remembers that disc, as "folder|P|disc"; one the
// ANSI code page cannot hold exactly is passed over, since no user chose
// it, and the first run asks.
extern "C" __declspec(dllexport) UINT __stdcall PrepareLocation(
    MSIHANDLE install) {
  const std::wstring folder = Property(install, L"INSTALLFOLDER");
  const std::wstring discPath = Property(install, L"DISCPATH");
  std::wstring data;
  if (!discPath.empty()) {
    if (discPath.find_first_of(kNotInPaths) != std::wstring::npos) {
      return Refuse(install, L"DISCPATH \"" + discPath +
                                 L"\" is not a path: a path holds none of "
                                 L"the characters < > \" | ? *. Nothing was "
                                 L"installed.");
    }
    if (!platform::win32::ExactAnsi(discPath)) {
      return Refuse(install,
                    L"DISCPATH \"" + discPath +
                        L"\" holds characters that this computer's ANSI "
                        L"code page (" + std::to_wstring(::GetACP()) +
                        L") cannot hold, so the launcher could not read it "
                        L"back. Nothing was installed.");
    }
    data = folder + L"|P|" + discPath;
  } else if (const std::optional<std::string> kept = KeptLocation(install, folder)) {
    data = folder + L"|K|" + Hex(*kept);
  } else if (const std::wstring disc = SourceDisc(install); !disc.empty()) {
    data = folder + L"|P|" + disc;
  }
  ::MsiSetPropertyW(install, L"WriteLocation", data.c_str());
  return ERROR_SUCCESS;
}

// Deferred, once launcher.exe is in place.
extern "C" __declspec(dllexport) UINT __stdcall WriteLocation(
    MSIHANDLE install) {
  const std::wstring data = Property(install, L"CustomActionData");
  const std::size_t split = data.find(L'|');
  if (split == std::wstring::npos || data.size() < split + 3) {
    return ERROR_INSTALL_FAILURE;
  }
  const std::wstring folder = WithoutTrailingSeparator(data.substr(0, split));
  const wchar_t kind = data[split + 1];
  const std::wstring payload = data.substr(split + 3);
  platform::win32::Win32Platform os;
  platform::ScopedPlatform current(os);
  try {
    if (kind == L'P') {
      Module1::PresetDiscLocation(folder, payload);
    } else {
      PutBackKeptFile(Module1::DiscLocationFile(folder), FromHex(payload));
    }
  } catch (const platform::Failure& failure) {
    return Refuse(install, L"The disc location could not be written beside "
                           L"the launcher: " + Describe(failure));
  }
  return ERROR_SUCCESS;
}

// Deferred, on an uninstall: the launcher's folder. A location that cannot
// be forgotten is logged; the uninstall goes on.
extern "C" __declspec(dllexport) UINT __stdcall ForgetLocation(
    MSIHANDLE install) {
  platform::win32::Win32Platform os;
  platform::ScopedPlatform current(os);
  try {
    Module1::ForgetDiscLocation(
        WithoutTrailingSeparator(Property(install, L"CustomActionData")));
  } catch (const platform::Failure& failure) {
    Tell(install, INSTALLMESSAGE_INFO,
         L"The remembered disc location stays: " + Describe(failure));
  }
  return ERROR_SUCCESS;
}
