#include "platform/win32/path_dialog.h"

#include <windows.h>

#include <exception>

#include "platform/win32/errors.h"
#include "platform/win32/resource.h"

namespace platform::win32 {

namespace {

// In-fields are set before the dialog runs; the answer is read after.
struct PathDialog {
  const std::wstring& prompt;
  const std::wstring& title;
  const std::wstring& defaultText;
  std::wstring answer;
  std::exception_ptr failure;
};

std::wstring ControlText(HWND control) {
  const int length = ::GetWindowTextLengthW(control);
  std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  const int copied = ::GetWindowTextW(control, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

// Returning TRUE lets the dialog manager focus the edit field, which
// selects the default text so that typing replaces it.
INT_PTR OnInitDialog(HWND dialog, const PathDialog& state) {
  ::SetWindowTextW(dialog, state.title.c_str());
  ::SetDlgItemTextW(dialog, IDC_PATH_PROMPT, state.prompt.c_str());
  ::SetDlgItemTextW(dialog, IDC_PATH_ANSWER, state.defaultText.c_str());
  return TRUE;
}

// Esc and the close box arrive as IDCANCEL.
INT_PTR OnCommand(HWND dialog, PathDialog& state, WORD command) {
  if (command == IDOK) {
    state.answer = ControlText(::GetDlgItem(dialog, IDC_PATH_ANSWER));
  } else if (command == IDCANCEL) {
    state.answer.clear();
  } else {
    return FALSE;
  }
  ::EndDialog(dialog, command);
  return TRUE;
}

// The dialog's state arrives with WM_INITDIALOG and is kept with the
// window (DWLP_USER) for the messages after it.
PathDialog* StateOf(HWND dialog, UINT message, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return reinterpret_cast<PathDialog*>(lParam);
  }
  return reinterpret_cast<PathDialog*>(::GetWindowLongPtrW(dialog, DWLP_USER));
}

// Dispatches only; no exception crosses back into the system.
INT_PTR CALLBACK PathDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                LPARAM lParam) noexcept {
  PathDialog* state = StateOf(dialog, message, lParam);
  if (state == nullptr) return FALSE;
  try {
    if (message == WM_INITDIALOG) return OnInitDialog(dialog, *state);
    if (message == WM_COMMAND) return OnCommand(dialog, *state, LOWORD(wParam));
  } catch (...) {
    state->failure = std::current_exception();
    ::EndDialog(dialog, IDCANCEL);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

std::wstring ShowPathDialog(const std::wstring& prompt,
                            const std::wstring& title,
                            const std::wstring& defaultText) {
  PathDialog state{prompt, title, defaultText, {}, {}};
  const INT_PTR result = ::DialogBoxParamW(
      ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PATH_DIALOG), nullptr,
      PathDialogProc, reinterpret_cast<LPARAM>(&state));
  const DWORD error = ::GetLastError();
  if (result == -1 || result == 0) throw FailureOf(error);
  if (state.failure) std::rethrow_exception(state.failure);
  return state.answer;
}

}  // namespace platform::win32
