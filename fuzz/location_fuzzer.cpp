// Any path (two bytes a character) remembered in the location file: it is
// written so that it reads back as the very same path, with its "\" added,
// or refused with the old file left as it was. Any path the installer takes
// as a preset is written and reads back as that path, one the launcher
// tries from any current directory.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/wide_text.h"
#include "locator/remembered_location.h"
#include "platform/fake/fake_platform.h"

namespace {

using platform::fake::FakePlatform;

const std::wstring kCacheFile = L"C:\\LAUNCH\\KX31.INI";
const char kOldFile[] = "CDROM=Q:\\OLD\\\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::wstring path = WideText(data, size);
  FakePlatform os;
  platform::ScopedPlatform use(os);
  os.AddFile(kCacheFile, kOldFile, platform::fake::kHidden);
  const locator::RememberedLocation remembered(L"C:\\LAUNCH", L"KX31");
  const bool preset = !path.empty() &&
                      locator::FaultOfPreset(path) ==
                          locator::PresetFault::kNone &&
                      FakePlatform::HeldByCodePage(path);
  try {
    remembered.Remember(path);
  } catch (const platform::Failure& failure) {
    FUZZ_CHECK(!preset);
    FUZZ_CHECK(failure.Number() == platform::error::kInvalidName ||
               failure.Number() == platform::error::kNoUnicodeTranslation);
    FUZZ_CHECK(os.Contents(kCacheFile) == kOldFile);
    return 0;
  }
  std::wstring expected = path;
  locator::AddBackslash(expected);
  const std::wstring read = remembered.Read();
  FUZZ_CHECK(read == expected);
  const std::string bytes = os.Contents(kCacheFile);
  FUZZ_CHECK(bytes.find("\r\n") == bytes.size() - 2);
  if (preset) FUZZ_CHECK(!locator::DependsOnCurrentDirectory(read));
  return 0;
}
