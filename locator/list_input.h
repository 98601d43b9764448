// Reading the first data item of a line, the way sequential list input
// reads a text file:
//   - blanks (spaces and tabs) before the item are skipped;
//   - an item that starts with a double quote runs to the next double
//     quote, commas included, and the quotes are dropped; without a closing
//     quote it runs to the end of the line;
//   - any other item ends at the first comma or at the end of the line,
//     and blanks at its end are dropped.
// The line itself ends at the first CR or LF; anything after it is ignored.
#pragma once

#include <string>

namespace locator {

std::wstring FirstItem(const std::wstring& line);

// A blank, as list input skips it: a space or a tab.
bool IsBlank(wchar_t c);

}  // namespace locator
