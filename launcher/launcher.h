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

}  // namespace Module1
