// The disc locator: finds the directory that holds the product's disc,
// remembers it in the location file beside the launcher
// (locator/remembered_location.h), and asks the user for it in the path
// dialog when there is no good remembered location.
#pragma once

#include <string>

namespace locator {
class RememberedLocation;
}

// One instance per run. Call OpenDialog, then read CD_Path.
class CDRMCLAS {
 public:
  // Locates the disc for the product `ProdName`. True when a path
  // qualified (CD_Path then returns it, ending in "\"); false when the user
  // gave up with an empty answer. `KeyFile` is handed on to every probe,
  // which does not read it. Throws platform::Failure from the prompt phase.
  bool OpenDialog(std::wstring ProdName, std::wstring KeyFile);

  // The located disc path, or the empty string.
  std::wstring CD_Path() const { return m_CDPath; }

 private:
  bool TryCachedLocation(const std::wstring& KeyFile);
  bool AskUntilQualified(const std::wstring& KeyFile);
  void WriteCacheFile();
  locator::RememberedLocation Remembered() const;

  bool CheckCDPath(std::wstring Path, std::wstring KeyFile);
  std::wstring AskCDPath(std::wstring Prompt);

  std::wstring m_CDPath;
  std::wstring m_ProdName;
  std::wstring m_DefaultPath;
};
