// The disc locator: finds the directory that holds the product's disc,
// remembers it in the location cache file beside the launcher, and asks the
// user for it in the path dialog when there is no good remembered location.
#pragma once

#include <string>

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

  // Remembers `Path` as the disc's location for `ProdName` in the cache
  // file in `Directory`, as a run does once the disc was found there. The
  // path is written as given, with its "\" added. Throws platform::Failure
  // when the file cannot be written or cannot hold the path exactly.
  static void RememberLocation(const std::wstring& ProdName,
                               const std::wstring& Directory,
                               std::wstring Path);
  // Deletes that cache file, if there is one.
  static void ForgetLocation(const std::wstring& ProdName,
                             const std::wstring& Directory);
  // That cache file's path.
  static std::wstring CacheFileIn(const std::wstring& Directory,
                                  const std::wstring& ProdName);
  // The disc that `Folder` is the root or the INSTALL folder of, ending in
  // "\": the folder above it when `Folder` is named INSTALL (in any letter
  // case) and that holds the markers of `ProdName`, else `Folder` when it
  // does, by the very probe a run makes; the empty string when neither
  // does. Throws nothing: a failed probe found no disc.
  static std::wstring DiscOf(const std::wstring& ProdName,
                             const std::wstring& Folder);

 private:
  bool TryCachedLocation(const std::wstring& KeyFile);
  bool AskUntilQualified(const std::wstring& KeyFile);
  std::wstring ReadCachedCandidate(const std::wstring& cacheFile);
  void WriteCacheFile();
  std::wstring CacheFileName() const;

  bool CheckCDPath(std::wstring Path, std::wstring KeyFile);
  bool MarkerFound(const std::wstring& pattern);
  std::wstring AskCDPath(std::wstring Prompt);
  static std::wstring AddBackslash(std::wstring& Path);

  std::wstring m_CDPath;
  std::wstring m_ProdName;
  std::wstring m_DefaultPath;
};
