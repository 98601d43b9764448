#include "locator/remembered_location.h"

#include <algorithm>
#include <vector>

#include "locator/list_input.h"
#include "platform/platform.h"

namespace locator {

namespace {

// The line's key. On reading, this many characters are dropped without
// being examined.
const std::wstring kKey = L"CDROM=";

// Where the marker files may sit below a disc's folder.
const std::wstring kInstallDirectory = L"INSTALL\\";

bool IsDriveLetter(wchar_t c) {
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool HasDrive(const std::wstring& Path) {
  return Path.size() >= 2 && IsDriveLetter(Path[0]) && Path[1] == L':';
}

// "\\server\share\...": a server and a share, each named. A server named
// "?" or "." is the system's device namespace, not a share.
bool IsShare(const std::wstring& Path) {
  if (Path.rfind(L"\\\\", 0) != 0) return false;
  const std::size_t server = Path.find(L'\\', 2);
  if (server == std::wstring::npos || server == 2) return false;
  const std::wstring name = Path.substr(2, server - 2);
  if (name == L"?" || name == L".") return false;
  const std::size_t share = Path.find(L'\\', server + 1);
  return share != std::wstring::npos && share > server + 1;
}

// A folder name compared with one of the system's own ASCII names: its
// letters in either case, nothing else folded.
bool SameAsciiLettersIgnoringCase(const std::wstring& a,
                                  const std::wstring& b) {
  const auto upper = [](wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
  };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](wchar_t x, wchar_t y) { return upper(x) == upper(y); });
}

bool NormalFileFound(const std::wstring& pattern) {
  try {
    return platform::Current().FindPattern(pattern);
  } catch (const platform::Failure&) {
    return false;
  }
}

// The one line that reads back as `Path`: plain, or quoted when the path
// holds a comma, which would end a plain item.
std::wstring LineFor(const std::wstring& Path) {
  const bool breaksTheLine = Path.find_first_of(L"\r\n") != std::wstring::npos;
  const bool needsQuotes = Path.find(L',') != std::wstring::npos;
  if (breaksTheLine ||
      (needsQuotes && Path.find(L'"') != std::wstring::npos)) {
    throw platform::Current().FailureFor(platform::error::kInvalidName);
  }
  return needsQuotes ? L"\"" + kKey + Path + L"\"" : kKey + Path;
}

}  // namespace

std::wstring AddBackslash(std::wstring& Path) {
  if (Path.empty() || Path.back() != L'\\') Path += L'\\';
  return Path;
}

bool IsFullPath(const std::wstring& Path) {
  return (HasDrive(Path) && Path.size() >= 3 && Path[2] == L'\\') ||
         IsShare(Path);
}

bool DependsOnCurrentDirectory(const std::wstring& Path) {
  const std::wstring rest = HasDrive(Path) ? Path.substr(2) : Path;
  return rest.empty() || rest[0] != L'\\';
}

PresetFault FaultOfPreset(const std::wstring& Path) {
  if (Path.find_first_of(L"\r\n") != std::wstring::npos) {
    return PresetFault::kLineBreak;
  }
  if (!Path.empty() && (IsBlank(Path.front()) || IsBlank(Path.back()))) {
    return PresetFault::kBlankAtAnEnd;
  }
  if (Path.find_first_of(L"<>\"|?*") != std::wstring::npos) {
    return PresetFault::kNotAPath;
  }
  std::wstring withSeparator = Path;
  return IsFullPath(AddBackslash(withSeparator)) ? PresetFault::kNone
                                                 : PresetFault::kNotAFullPath;
}

bool HoldsMarkers(const std::wstring& Path, const std::wstring& ProdName) {
  const bool inRoot = NormalFileFound(Path + ProdName + L".*");
  const bool inInstall =
      NormalFileFound(Path + kInstallDirectory + ProdName + L".*");
  return inRoot || inInstall;
}

std::wstring DiscOf(const std::wstring& Folder, const std::wstring& ProdName,
                    const std::wstring& Viewer) {
  std::vector<std::wstring> candidates;
  const std::size_t last = Folder.rfind(L'\\');
  if (last != std::wstring::npos &&
      SameAsciiLettersIgnoringCase(Folder.substr(last + 1) + L"\\",
                                   kInstallDirectory)) {
    candidates.push_back(Folder.substr(0, last + 1));
  }
  candidates.push_back(Folder + L"\\");
  for (const std::wstring& candidate : candidates) {
    if (HoldsMarkers(candidate, ProdName) &&
        NormalFileFound(candidate + Viewer)) {
      return candidate;
    }
  }
  return {};
}

RememberedLocation::RememberedLocation(const std::wstring& LauncherDirectory,
                                       const std::wstring& ProdName)
    : file_(LauncherDirectory + L"\\" + ProdName + L".INI") {}

bool RememberedLocation::IsThere() const {
  return platform::Current().FindPattern(file_);
}

std::wstring RememberedLocation::Read() const {
  const std::wstring item =
      FirstItem(platform::Current().ReadFirstLine(file_));
  std::wstring candidate =
      item.size() > kKey.size() ? item.substr(kKey.size()) : L"";
  return AddBackslash(candidate);
}

void RememberedLocation::Remember(std::wstring Path) const {
  platform::Current().ReplaceTextFile(file_, {LineFor(AddBackslash(Path))});
}

void RememberedLocation::Forget() const {
  platform::Current().DeleteFileAnyAttributes(file_);
}

}  // namespace locator
