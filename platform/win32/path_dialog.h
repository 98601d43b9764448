// The modal path dialog, laid out in the resource script.
#pragma once

#include <string>

namespace platform::win32 {

// Shows the dialog and returns the edited text on OK, the empty string on
// Cancel, Esc or the close box. Throws Failure when it cannot be shown.
std::wstring ShowPathDialog(const std::wstring& prompt,
                            const std::wstring& title,
                            const std::wstring& defaultText);

}  // namespace platform::win32
