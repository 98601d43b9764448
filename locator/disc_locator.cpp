#include "locator/disc_locator.h"

#include <algorithm>
#include <vector>

#include "locator/list_input.h"
#include "platform/platform.h"

namespace {

// What the user sees in the path dialog.
const std::wstring kDialogTitle = L"Enter Drive and Path for CD-ROM";
const std::wstring kFirstPrompt = L"Enter Drive and Path for CD-ROM:";
const std::wstring kRetryPrompt =
    L"Please check or re-enter drive and path\r\n\r\n" + kFirstPrompt;

// The path the first dialog of every run offers.
const std::wstring kDefaultDiscPath = L"D:\\";

// The cache file's one line is this key followed by the disc path. On
// reading, this many characters are dropped without being examined.
const std::wstring kCacheKey = L"CDROM=";

// Where the marker files may sit below a candidate path.
const std::wstring kInstallDirectory = L"INSTALL\\";

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

}  // namespace

bool CDRMCLAS::OpenDialog(std::wstring ProdName, std::wstring KeyFile) {
  m_CDPath.clear();
  m_ProdName = std::move(ProdName);
  m_DefaultPath = kDefaultDiscPath;
  if (TryCachedLocation(KeyFile)) return true;
  return AskUntilQualified(KeyFile);
}

// The remembered location. Once the cache file is known to exist, any
// failure while reading or checking it only means "ask the user".
bool CDRMCLAS::TryCachedLocation(const std::wstring& KeyFile) {
  const std::wstring cacheFile = CacheFileName();
  if (!platform::Current().FindPattern(cacheFile)) return false;
  try {
    return CheckCDPath(ReadCachedCandidate(cacheFile), KeyFile);
  } catch (const platform::Failure&) {
    return false;
  }
}

std::wstring CDRMCLAS::ReadCachedCandidate(const std::wstring& cacheFile) {
  const std::wstring line = platform::Current().ReadFirstLine(cacheFile);
  const std::wstring item = locator::FirstItem(line);
  std::wstring candidate =
      item.size() > kCacheKey.size() ? item.substr(kCacheKey.size()) : L"";
  return AddBackslash(candidate);
}

// The prompt phase: nothing is absorbed here.
bool CDRMCLAS::AskUntilQualified(const std::wstring& KeyFile) {
  m_CDPath = AskCDPath(kFirstPrompt);
  while (!m_CDPath.empty()) {
    if (CheckCDPath(m_CDPath, KeyFile)) {
      WriteCacheFile();
      return true;
    }
    m_DefaultPath = m_CDPath;
    m_CDPath = AskCDPath(kRetryPrompt);
  }
  return false;
}

// The path goes in a form the file holds exactly; when it has none, the old
// file is kept.
void CDRMCLAS::WriteCacheFile() {
  platform::Platform& os = platform::Current();
  RememberLocation(m_ProdName, os.LauncherDirectory(),
                   os.PathForTextFile(m_CDPath));
}

// Replaces any earlier cache file, whatever its attributes: a hidden or
// read-only leftover must not make a good answer fail.
void CDRMCLAS::RememberLocation(const std::wstring& ProdName,
                                const std::wstring& Directory,
                                std::wstring Path) {
  platform::Platform& os = platform::Current();
  const std::wstring name = CacheFileIn(Directory, ProdName);
  os.DeleteFileAnyAttributes(name);
  os.WriteTextFile(name, {kCacheKey + AddBackslash(Path)});
}

void CDRMCLAS::ForgetLocation(const std::wstring& ProdName,
                              const std::wstring& Directory) {
  platform::Current().DeleteFileAnyAttributes(CacheFileIn(Directory, ProdName));
}

std::wstring CDRMCLAS::CacheFileName() const {
  return CacheFileIn(platform::Current().LauncherDirectory(), m_ProdName);
}

std::wstring CDRMCLAS::DiscOf(const std::wstring& ProdName,
                              const std::wstring& Folder) {
  std::vector<std::wstring> candidates;
  const std::size_t last = Folder.rfind(L'\\');
  if (last != std::wstring::npos &&
      SameAsciiLettersIgnoringCase(Folder.substr(last + 1) + L"\\",
                                   kInstallDirectory)) {
    candidates.push_back(Folder.substr(0, last + 1));
  }
  candidates.push_back(Folder + L"\\");
  CDRMCLAS probe;
  probe.m_ProdName = ProdName;
  for (const std::wstring& candidate : candidates) {
    if (probe.CheckCDPath(candidate, L"")) return probe.m_CDPath;
  }
  return {};
}

// The separator is appended unconditionally: a launcher in a drive root
// gives "E:\\KX31.INI", which the system accepts.
std::wstring CDRMCLAS::CacheFileIn(const std::wstring& Directory,
                                   const std::wstring& ProdName) {
  return Directory + L"\\" + ProdName + L".INI";
}

// Both searches always run. A search that fails (a drive that is not
// ready, a name the system rejects, a missing directory) found nothing
// there, so a disc without an INSTALL directory still qualifies by the
// marker in its root.
bool CDRMCLAS::CheckCDPath(std::wstring Path, std::wstring /*KeyFile*/) {
  const bool inRoot = MarkerFound(Path + m_ProdName + L".*");
  const bool inInstall =
      MarkerFound(Path + kInstallDirectory + m_ProdName + L".*");
  if (!inRoot && !inInstall) return false;
  m_CDPath = std::move(Path);
  return true;
}

bool CDRMCLAS::MarkerFound(const std::wstring& pattern) {
  try {
    return platform::Current().FindPattern(pattern);
  } catch (const platform::Failure&) {
    return false;
  }
}

std::wstring CDRMCLAS::AskCDPath(std::wstring Prompt) {
  std::wstring answer =
      platform::Current().InputText(Prompt, kDialogTitle, m_DefaultPath);
  if (!answer.empty()) AddBackslash(answer);
  return answer;
}

std::wstring CDRMCLAS::AddBackslash(std::wstring& Path) {
  if (Path.empty() || Path.back() != L'\\') Path += L'\\';
  return Path;
}
