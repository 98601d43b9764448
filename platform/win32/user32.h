// The few user32 functions the launcher needs, loaded on first use.
//
// A later run that asks nothing shows no window, so it never pays for
// loading and starting the windowing system; under Wine that is most of
// the cost of a run. Only the path dialog and the error report load it.
#pragma once

#include <windows.h>

namespace platform::win32 {

struct User32 {
  decltype(&::DialogBoxParamW) DialogBoxParamW;
  decltype(&::EndDialog) EndDialog;
  decltype(&::GetDlgItem) GetDlgItem;
  decltype(&::GetWindowTextLengthW) GetWindowTextLengthW;
  decltype(&::GetWindowTextW) GetWindowTextW;
  decltype(&::SetWindowTextW) SetWindowTextW;
  decltype(&::SetDlgItemTextW) SetDlgItemTextW;
  decltype(&::MessageBoxW) MessageBoxW;
};

// Loads user32 once. Throws Failure when it or a function is missing.
const User32& LoadUser32();

}  // namespace platform::win32
