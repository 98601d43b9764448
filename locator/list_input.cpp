#include "locator/list_input.h"

namespace locator {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

namespace {

std::wstring QuotedItem(const std::wstring& line, std::size_t openingQuote) {
  const std::size_t start = openingQuote + 1;
  const std::size_t closing = line.find(L'"', start);
  return line.substr(start, closing == std::wstring::npos ? std::wstring::npos
                                                          : closing - start);
}

std::wstring PlainItem(const std::wstring& line, std::size_t start) {
  std::size_t end = line.find(L',', start);
  if (end == std::wstring::npos) end = line.size();
  while (end > start && IsBlank(line[end - 1])) --end;
  return line.substr(start, end - start);
}

}  // namespace

std::wstring FirstItem(const std::wstring& text) {
  const std::wstring line = text.substr(0, text.find_first_of(L"\r\n"));
  std::size_t start = 0;
  while (start < line.size() && IsBlank(line[start])) ++start;
  if (start < line.size() && line[start] == L'"') {
    return QuotedItem(line, start);
  }
  return PlainItem(line, start);
}

}  // namespace locator
