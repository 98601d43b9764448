#include "platform/win32/user32.h"

#include "platform/win32/errors.h"

namespace platform::win32 {

namespace {

template <typename Function>
void Resolve(HMODULE module, const char* name, Function& function) {
  const FARPROC address = ::GetProcAddress(module, name);
  if (address == nullptr) throw LastFailure();
  function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

User32 Load() {
  // Stays loaded for the rest of the process, as an import would.
  const HMODULE module = ::LoadLibraryW(L"user32.dll");
  if (module == nullptr) throw LastFailure();
  User32 user32{};
  Resolve(module, "DialogBoxParamW", user32.DialogBoxParamW);
  Resolve(module, "EndDialog", user32.EndDialog);
  Resolve(module, "GetDlgItem", user32.GetDlgItem);
  Resolve(module, "GetWindowTextLengthW", user32.GetWindowTextLengthW);
  Resolve(module, "GetWindowTextW", user32.GetWindowTextW);
  Resolve(module, "SetWindowTextW", user32.SetWindowTextW);
  Resolve(module, "SetDlgItemTextW", user32.SetDlgItemTextW);
  Resolve(module, "MessageBoxW", user32.MessageBoxW);
  return user32;
}

}  // namespace

const User32& LoadUser32() {
  static const User32 user32 = Load();
  return user32;
}

}  // namespace platform::win32
