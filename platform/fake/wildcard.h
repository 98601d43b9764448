// File-name matching as Windows' file search does it: case-insensitive,
// with the search's DOS rules: "*" before a "." stops at the name's last
// dot, "." before a wildcard also matches the end of a name without an
// extension ("KX31.*" finds "KX31"), and "?" matches one character or
// nothing at a dot or at the end of the name.
#pragma once

#include <string_view>

namespace platform::fake {

bool MatchesWildcard(std::wstring_view pattern, std::wstring_view name);

// Case-insensitive comparison of one character, for ASCII and Latin-1.
wchar_t FoldCase(wchar_t c);

}  // namespace platform::fake
