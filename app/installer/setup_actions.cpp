// The installer's own steps, run by Windows Installer from the package:
// the disc location an administrator presets with DISCPATH, checked before
// anything is installed and written beside the launcher as the launcher
// itself writes it, and forgotten again on uninstall.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>

#include "launcher/launcher.h"
#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

namespace {

// Characters no Windows path holds; the launcher never finds a disc there.
constexpr wchar_t kNotInPaths[] = L"<>\"|?*";

class Record {
 public:
  explicit Record(UINT fields) : handle_(::MsiCreateRecord(fields)) {}
  ~Record() { ::MsiCloseHandle(handle_); }
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;
  MSIHANDLE Get() const { return handle_; }

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
  Record record(1);
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

}  // namespace

// Immediate, after the folders are known and before anything changes:
// refuses a DISCPATH the launcher could not read back, and hands the folder
// and the path on to WritePresetLocation.
extern "C" __declspec(dllexport) UINT __stdcall CheckDiscPath(
    MSIHANDLE install) {
  const std::wstring discPath = Property(install, L"DISCPATH");
  if (discPath.find_first_of(kNotInPaths) != std::wstring::npos) {
    return Refuse(install, L"DISCPATH \"" + discPath +
                               L"\" is not a path: a path holds none of "
                               L"the characters < > \" | ? *. Nothing was "
                               L"installed.");
  }
  if (!platform::win32::ExactAnsi(discPath)) {
    return Refuse(install,
                  L"DISCPATH \"" + discPath +
                      L"\" holds characters that this computer's ANSI code "
                      L"page (" + std::to_wstring(::GetACP()) +
                      L") cannot hold, so the launcher could not read it "
                      L"back. Nothing was installed.");
  }
  const std::wstring folder = Property(install, L"INSTALLFOLDER");
  ::MsiSetPropertyW(install, L"WritePresetLocation",
                    (folder + L"|" + discPath).c_str());
  return ERROR_SUCCESS;
}

// Deferred, once launcher.exe is in place: "folder|path".
extern "C" __declspec(dllexport) UINT __stdcall WritePresetLocation(
    MSIHANDLE install) {
  const std::wstring data = Property(install, L"CustomActionData");
  const std::size_t split = data.find(L'|');
  if (split == std::wstring::npos) return ERROR_INSTALL_FAILURE;
  platform::win32::Win32Platform os;
  platform::ScopedPlatform current(os);
  try {
    Module1::PresetDiscLocation(WithoutTrailingSeparator(data.substr(0, split)),
                                data.substr(split + 1));
  } catch (const platform::Failure& failure) {
    return Refuse(install, L"The disc location could not be written beside "
                           L"the launcher: " + Describe(failure));
  }
  return ERROR_SUCCESS;
}

// Deferred, on a plain uninstall (not an upgrade): the launcher's folder.
// A location that cannot be forgotten is logged; the uninstall goes on.
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
