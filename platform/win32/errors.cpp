#include "platform/win32/errors.h"

namespace platform::win32 {

std::wstring DescribeError(DWORD number) {
  wchar_t text[512] = {};
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      number, 0, text, static_cast<DWORD>(std::size(text)), nullptr);
  std::wstring description(text, length);
  while (!description.empty() &&
         (description.back() == L'\r' || description.back() == L'\n' ||
          description.back() == L' ')) {
    description.pop_back();
  }
  if (description.empty()) description = L"Unknown error.";
  return description;
}

Failure FailureOf(DWORD number) {
  return Failure(number, DescribeError(number));
}

Failure LastFailure() { return FailureOf(::GetLastError()); }

}  // namespace platform::win32
