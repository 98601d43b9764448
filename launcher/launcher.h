// The launcher: finds the product's disc, points the viewer at the disc's
// data, makes the disc current and starts the viewer from it.
#pragma once

#include <string>

namespace Module1 {

// The run itself. Failures rise out of it as platform::Failure; a user who
// gives up in the path dialog ends it silently.
void Main();

// The Windows directory for "WIN", the system directory for "SYS" (any
// letter case), the empty string for any other selector or when the system
// cannot tell.
std::wstring GetWinSysDir(std::wstring Which);

// For the installer: presets the disc's location for every later run of a
// launcher in `launcherFolder`, byte for byte as a run that found the disc
// at `discPath` remembers it; and forgets it again. Throw platform::Failure.
void PresetDiscLocation(const std::wstring& launcherFolder,
                        const std::wstring& discPath);
void ForgetDiscLocation(const std::wstring& launcherFolder);
// The disc a package at `packagePath` was started from, when its folder is
// that disc's root or INSTALL folder (CDRMCLAS::DiscOf); the empty string
// when it is neither. Throws nothing.
std::wstring SourceDisc(const std::wstring& packagePath);
// The file in `launcherFolder` that holds the remembered location.
std::wstring DiscLocationFile(const std::wstring& launcherFolder);

}  // namespace Module1
