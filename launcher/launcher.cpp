#include "launcher/launcher.h"

#include <cstdint>
#include <string>

#include "launcher/product.h"
#include "locator/disc_locator.h"
#include "platform/platform.h"

namespace {

const std::wstring kDataDirectory = L"B2020\\IVT";
const std::wstring kSettingsFile = L"\\B2020.INI";
const std::wstring kSettingsSection = L"[Browser]";
const std::wstring kDataDirectoryKey = L"FileFindDir=";
constexpr std::uint32_t kDirectoryBuffer = 64;

// The module's one reference to the locator: created on first use and kept
// until the process ends, as the launch sequence is defined; the run uses
// it once.
CDRMCLAS& Locator() {
  static CDRMCLAS locator;
  return locator;
}

// Replaces whatever the settings file held with the two lines the viewer
// reads. Without a known Windows directory the file is skipped.
void WriteViewerSettings(const std::wstring& discPath) {
  const std::wstring windowsDirectory = Module1::GetWinSysDir(L"WIN");
  if (windowsDirectory.empty()) return;
  platform::Platform& os = platform::Current();
  os.WriteTextFile(windowsDirectory + kSettingsFile,
                   {kSettingsSection, kDataDirectoryKey +
                                          os.PathForTextFile(discPath) +
                                          kDataDirectory});
}

// The viewer inherits the disc path as its current directory.
void MakeDiscCurrent(const std::wstring& discPath) {
  platform::Current().ChangeDrive(discPath);
  platform::Current().ChangeDirectory(discPath);
}

void StartViewer(const std::wstring& discPath) {
  platform::Current().StartProgram(discPath + product::kViewerProgram,
                                   platform::kShowMaximized);
}

std::wstring UpperAscii(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return text;
}

using DirectoryCall = std::uint32_t (platform::Platform::*)(char*,
                                                           std::uint32_t);

// Asks with a buffer of 64 blanks first. When the name does not fit, the
// system reports the size it needs and fills nothing, so ask once more
// with that size. Only the bytes the system filled are converted.
std::wstring ReadDirectoryName(DirectoryCall call) {
  platform::Platform& os = platform::Current();
  std::string buffer(kDirectoryBuffer, ' ');
  std::uint32_t count = (os.*call)(buffer.data(), kDirectoryBuffer);
  if (count >= buffer.size()) {
    buffer.assign(count, ' ');
    count = (os.*call)(buffer.data(), count);
  }
  if (count == 0 || count >= buffer.size()) return {};
  return os.FromAnsi(std::string_view(buffer.data(), count));
}

}  // namespace

namespace Module1 {

void Main() {
  CDRMCLAS& locator = Locator();
  if (!locator.OpenDialog(product::kCode, product::kKeyFile)) return;
  const std::wstring discPath = locator.CD_Path();
  WriteViewerSettings(discPath);
  MakeDiscCurrent(discPath);
  StartViewer(discPath);
}

std::wstring GetWinSysDir(std::wstring Which) {
  const std::wstring selector = UpperAscii(std::move(Which));
  if (selector == L"WIN") {
    return ReadDirectoryName(&platform::Platform::GetWindowsDirectoryA);
  }
  if (selector == L"SYS") {
    return ReadDirectoryName(&platform::Platform::GetSystemDirectoryA);
  }
  return {};
}

}  // namespace Module1
