// Any typed answer (two bytes a character): it is normalised to end in "\",
// only a full path is probed, a rejected answer comes back as the next
// default, and a qualified one is remembered in exactly one line, quoted
// when it holds a comma.
// A qualified folder the code page cannot hold ends the run with error 1113,
// one no line can carry with error 123, and either leaves no cache file
// behind.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/wide_text.h"
#include "locator/disc_locator.h"
#include "locator/remembered_location.h"
#include "platform/fake/fake_platform.h"

namespace {

using platform::fake::FakePlatform;

std::string Ansi(const std::wstring& text) {
  std::string bytes;
  for (wchar_t c : text) bytes += static_cast<char>(c);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::wstring answer = WideText(data, size);
  FakePlatform os;
  platform::ScopedPlatform use(os);
  os.AddDrive(L"E:");
  os.AddFile(L"E:\\KX31.EXE");
  os.AddFile(L"E:\\DATA\\INSTALL\\KX31.TXT");
  os.dialogAnswers = {answer, L""};

  CDRMCLAS locator;
  bool found = false;
  try {
    found = locator.OpenDialog(L"KX31", L"NARD.ZIP");
  } catch (const platform::Failure& failure) {
    // A folder that qualified (the system folds "x\.." away before it
    // looks at x) but that no line of the file can carry.
    const bool noLine =
        answer.find_first_of(L"\r\n") != std::wstring::npos ||
        (answer.find(L',') != std::wstring::npos &&
         answer.find(L'"') != std::wstring::npos);
    FUZZ_CHECK(failure.Number() == platform::error::kNoUnicodeTranslation ||
               (failure.Number() == platform::error::kInvalidName && noLine));
    FUZZ_CHECK(failure.Number() != platform::error::kNoUnicodeTranslation ||
               !FakePlatform::HeldByCodePage(answer));
    FUZZ_CHECK(!os.Exists(L"C:\\LAUNCH\\KX31.INI"));
    return 0;
  }

  if (answer.empty()) {
    FUZZ_CHECK(!found && os.dialogs.size() == 1);
    return 0;
  }
  const std::wstring normalised =
      answer.back() == L'\\' ? answer : answer + L'\\';
  if (locator::IsFullPath(normalised)) {
    FUZZ_CHECK(os.searches.size() >= 3);
    FUZZ_CHECK(os.searches[1] == normalised + L"KX31.*");
    FUZZ_CHECK(os.searches[2] == normalised + L"INSTALL\\KX31.*");
  } else {
    FUZZ_CHECK(os.searches.size() == 1);
  }
  if (found) {
    FUZZ_CHECK(FakePlatform::HeldByCodePage(normalised));
    FUZZ_CHECK(locator.CD_Path() == normalised);
    FUZZ_CHECK(locator::IsFullPath(normalised));
    const std::string line = "CDROM=" + Ansi(normalised);
    const bool quoted = normalised.find(L',') != std::wstring::npos;
    FUZZ_CHECK(os.Contents(L"C:\\LAUNCH\\KX31.INI") ==
               (quoted ? "\"" + line + "\"" : line) + "\r\n");
  } else {
    FUZZ_CHECK(os.dialogs.size() == 2);
    FUZZ_CHECK(os.dialogs[1].defaultText == normalised);
    FUZZ_CHECK(!os.Exists(L"C:\\LAUNCH\\KX31.INI"));
  }
  return 0;
}
