// File-name matching cases that hold on Windows: the in-memory platform and
// the Win32 backend are both held to them.
#pragma once

#include <string>
#include <vector>

struct WildcardCase {
  const wchar_t* pattern;
  const wchar_t* name;
  bool matches;
};

inline const std::vector<WildcardCase>& WildcardCases() {
  static const std::vector<WildcardCase> cases = {
      {L"KX31.*", L"KX31.EXE", true},
      {L"KX31.*", L"kx31.exe", true},
      {L"kx31.*", L"KX31.TXT", true},
      {L"KX31.*", L"KX31", true},
      {L"KX31.*", L"KX31.A.B", true},
      {L"KX31.*", L"KX310.EXE", false},
      {L"KX31.*", L"KX3.EXE", false},
      {L"KX31.*", L"XKX31.EXE", false},
      {L"KX31.INI", L"kx31.ini", true},
      {L"KX31.INI", L"KX31.INI.BAK", false},
      {L"K?31.*", L"KA31.DAT", true},
      {L"K?31.*", L"K31.DAT", false},
      {L"*.*", L"ANYTHING", true},
      {L"*", L"A.B.C", true},
      {L"*.EXE", L"VIEW.EXE", true},
      {L"*.EXE", L"VIEW.EXE.TXT", false},
  };
  return cases;
}
