#include "platform/win32/path_dialog.h"

#include <windows.h>

#include <exception>

#include "platform/win32/errors.h"
#include "platform/win32/resource.h"
#include "platform/win32/user32.h"

namespace platform::win32 {

namespace {

// In-fields are set before the dialog runs; the answer is read after.
struct PathDialog {
  const User32& user32;
  const std::wstring& prompt;
  const std::wstring& title;
  const std::wstring& defaultText;
  std::wstring answer;
  std::exception_ptr failure;
};

// The dialog is modal and the launcher has one thread: one at a time.
PathDialog* shown = nullptr;

std::wstring ControlText(const User32& user32, HWND control) {
  const int length = user32.GetWindowTextLengthW(control);
  std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  const int copied = user32.GetWindowTextW(control, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

// Returning TRUE lets the dialog manager focus the edit field, which
// selects the default text so that typing replaces it.
INT_PTR OnInitDialog(HWND dialog, const PathDialog& state) {
  state.user32.SetWindowTextW(dialog, state.title.c_str());
  state.user32.SetDlgItemTextW(dialog, IDC_PATH_PROMPT, state.prompt.c_str());
  state.user32.SetDlgItemTextW(dialog, IDC_PATH_ANSWER,
                               state.defaultText.c_str());
  return TRUE;
}

// Esc and the close box arrive as IDCANCEL.
INT_PTR OnCommand(HWND dialog, PathDialog& state, WORD command) {
  if (command == IDOK) {
    state.answer =
        ControlText(state.user32, state.user32.GetDlgItem(dialog, IDC_PATH_ANSWER));
  } else if (command == IDCANCEL) {
    state.answer.clear();
  } else {
    return FALSE;
  }
  state.user32.EndDialog(dialog, command);
  return TRUE;
}

// Dispatches only; no exception crosses back into the system.
INT_PTR CALLBACK PathDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                LPARAM) noexcept {
  if (shown == nullptr) return FALSE;
  try {
    if (message == WM_INITDIALOG) return OnInitDialog(dialog, *shown);
    if (message == WM_COMMAND) return OnCommand(dialog, *shown, LOWORD(wParam));
  } catch (...) {
    shown->failure = std::current_exception();
    shown->user32.EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

std::wstring ShowPathDialog(const std::wstring& prompt,
                            const std::wstring& title,
                            const std::wstring& defaultText) {
  const User32& user32 = LoadUser32();
  PathDialog state{user32, prompt, title, defaultText, {}, {}};
  shown = &state;
  const INT_PTR result = user32.DialogBoxParamW(
      ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PATH_DIALOG), nullptr,
      PathDialogProc, 0);
  const DWORD error = ::GetLastError();
  shown = nullptr;
  if (result == -1 || result == 0) throw FailureOf(error);
  if (state.failure) std::rethrow_exception(state.failure);
  return state.answer;
}

}  // namespace platform::win32
