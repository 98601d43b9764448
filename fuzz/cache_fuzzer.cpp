// Any cache file: read as far as the candidate path and its probe. The
// locator either qualifies the candidate without asking, or asks; it never
// crashes, never rewrites the file, and probes both marker places of one
// candidate that ends in "\", unless that candidate would name another
// folder from another current directory, which it does not try.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "locator/disc_locator.h"
#include "locator/remembered_location.h"
#include "platform/fake/fake_platform.h"

namespace {
const std::wstring kCacheFile = L"C:\\LAUNCH\\KX31.INI";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  platform::fake::FakePlatform os;
  platform::ScopedPlatform use(os);
  os.AddDrive(L"E:");
  os.AddFile(L"E:\\KX31.EXE");
  os.AddFile(L"E:\\DATA\\INSTALL\\KX31.TXT");
  os.AddFile(kCacheFile, bytes);
  os.dialogAnswers = {L""};

  CDRMCLAS locator;
  const bool found = locator.OpenDialog(L"KX31", L"NARD.ZIP");

  FUZZ_CHECK(os.Contents(kCacheFile) == bytes);
  FUZZ_CHECK(found == os.dialogs.empty());
  FUZZ_CHECK(found != locator.CD_Path().empty());
  if (bytes.empty()) {
    FUZZ_CHECK(os.searches.size() == 1);
    return 0;
  }
  if (os.searches.size() == 1) {
    FUZZ_CHECK(!found);
    FUZZ_CHECK(locator::DependsOnCurrentDirectory(
        locator::RememberedLocation(L"C:\\LAUNCH", L"KX31").Read()));
    return 0;
  }
  FUZZ_CHECK(os.searches.size() == 3);
  const std::wstring& root = os.searches[1];
  FUZZ_CHECK(root.size() >= 7 && root.compare(root.size() - 6, 6, L"KX31.*") == 0);
  const std::wstring candidate = root.substr(0, root.size() - 6);
  FUZZ_CHECK(candidate.back() == L'\\');
  FUZZ_CHECK(!locator::DependsOnCurrentDirectory(candidate));
  FUZZ_CHECK(os.searches[2] == candidate + L"INSTALL\\KX31.*");
  if (found) FUZZ_CHECK(locator.CD_Path() == candidate);
  return 0;
}
