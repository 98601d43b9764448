#include "locator/disc_locator.h"

#include "locator/remembered_location.h"
#include "platform/platform.h"

namespace {

// What the user sees in the path dialog.
const std::wstring kDialogTitle = L"Enter Drive and Path for CD-ROM";
const std::wstring kFirstPrompt = L"Enter Drive and Path for CD-ROM:";
const std::wstring kRetryPrompt =
    L"Please check or re-enter drive and path\r\n\r\n" + kFirstPrompt;

// The path the first dialog of every run offers.
const std::wstring kDefaultDiscPath = L"D:\\";

}  // namespace

bool CDRMCLAS::OpenDialog(std::wstring ProdName, std::wstring KeyFile) {
  m_CDPath.clear();
  m_ProdName = std::move(ProdName);
  m_DefaultPath = kDefaultDiscPath;
  if (TryCachedLocation(KeyFile)) return true;
  return AskUntilQualified(KeyFile);
}

// The remembered location. Once the cache file is known to exist, any
// failure while reading or checking it only means "ask the user". A path
// that would name another folder once the disc is made current ("DISC\",
// "E:DISC\") could never start the viewer, so it is not tried.
bool CDRMCLAS::TryCachedLocation(const std::wstring& KeyFile) {
  const locator::RememberedLocation remembered = Remembered();
  if (!remembered.IsThere()) return false;
  try {
    const std::wstring candidate = remembered.Read();
    return !locator::DependsOnCurrentDirectory(candidate) &&
           CheckCDPath(candidate, KeyFile);
  } catch (const platform::Failure&) {
    return false;
  }
}

// The prompt phase: nothing is absorbed here. Only a full path is taken,
// so that the viewer is found from the disc once it is current.
bool CDRMCLAS::AskUntilQualified(const std::wstring& KeyFile) {
  m_CDPath = AskCDPath(kFirstPrompt);
  while (!m_CDPath.empty()) {
    if (locator::IsFullPath(m_CDPath) && CheckCDPath(m_CDPath, KeyFile)) {
      WriteCacheFile();
      return true;
    }
    m_DefaultPath = m_CDPath;
    m_CDPath = AskCDPath(kRetryPrompt);
  }
  return false;
}

// The path goes in a form the file holds exactly; when it has none, or the
// file cannot be written, the old file is kept as it was.
void CDRMCLAS::WriteCacheFile() {
  Remembered().Remember(platform::Current().PathForTextFile(m_CDPath));
}

locator::RememberedLocation CDRMCLAS::Remembered() const {
  return {platform::Current().LauncherDirectory(), m_ProdName};
}

bool CDRMCLAS::CheckCDPath(std::wstring Path, std::wstring /*KeyFile*/) {
  if (!locator::HoldsMarkers(Path, m_ProdName)) return false;
  m_CDPath = std::move(Path);
  return true;
}

std::wstring CDRMCLAS::AskCDPath(std::wstring Prompt) {
  std::wstring answer =
      platform::Current().InputText(Prompt, kDialogTitle, m_DefaultPath);
  if (!answer.empty()) locator::AddBackslash(answer);
  return answer;
}
