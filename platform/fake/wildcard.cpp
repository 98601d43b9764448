#include "platform/fake/wildcard.h"

#include <string>

namespace platform::fake {

namespace {

// The search's pattern language, as the system rewrites a pattern before
// matching it.
enum Token : wchar_t {
  kStar = L'*',      // any run of characters
  kDosStar = 1,      // any run of characters up to the name's last dot
  kDosQuestion = 2,  // one character, or nothing at a dot or at the end
  kDosDot = 3,       // a dot, or nothing at the end
};

std::wstring Rewrite(std::wstring_view pattern) {
  std::wstring tokens(pattern);
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const wchar_t next = i + 1 < tokens.size() ? tokens[i + 1] : L'\0';
    if (tokens[i] == L'?') {
      tokens[i] = kDosQuestion;
    } else if (tokens[i] == L'*' && next == L'.') {
      tokens[i] = kDosStar;
    } else if (tokens[i] == L'.' && (next == L'*' || next == L'?')) {
      tokens[i] = kDosDot;
    }
  }
  return tokens;
}

bool Match(std::wstring_view p, std::wstring_view n);

bool MatchStar(std::wstring_view rest, std::wstring_view n, bool dos) {
  const std::size_t lastDot = n.rfind(L'.');
  for (std::size_t take = 0; take <= n.size(); ++take) {
    if (dos && lastDot != std::wstring_view::npos && take > lastDot) break;
    if (Match(rest, n.substr(take))) return true;
  }
  return false;
}

bool Match(std::wstring_view p, std::wstring_view n) {
  if (p.empty()) return n.empty();
  const std::wstring_view rest = p.substr(1);
  switch (p.front()) {
    case kStar:
      return MatchStar(rest, n, false);
    case kDosStar:
      return MatchStar(rest, n, true);
    case kDosQuestion:
      if (n.empty() || n.front() == L'.') return Match(rest, n);
      return Match(rest, n.substr(1));
    case kDosDot:
      if (n.empty()) return Match(rest, n);
      return n.front() == L'.' && Match(rest, n.substr(1));
    default:
      return !n.empty() && FoldCase(p.front()) == FoldCase(n.front()) &&
             Match(rest, n.substr(1));
  }
}

}  // namespace

wchar_t FoldCase(wchar_t c) {
  if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 0x20);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<wchar_t>(c - 0x20);
  return c;
}

bool MatchesWildcard(std::wstring_view pattern, std::wstring_view name) {
  const std::wstring tokens = Rewrite(pattern);
  return Match(tokens, name);
}

}  // namespace platform::fake
