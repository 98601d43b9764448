// The launcher as users get it: installed by an ordinary user from the disc
// image's INSTALL\LAUNCHER.MSI in drive E: (or from a copy of it elsewhere),
// started by the install the user watches, run from where the package put
// it, preset, upgraded and removed again. Run by run-unprivileged.sh with
// the content of the shipped disc image as drive E:.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "app/installer/msi_handle.h"
#include "tests/win32/launcher_fixture.h"
#include "tests/win32/support.h"

namespace wintest {
namespace {

const std::wstring kPackage = L"E:\\INSTALL\\LAUNCHER.MSI";
constexpr DWORD kInstallFailure = 1603;

std::wstring Environment(const wchar_t* name) {
  wchar_t value[512] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, value, 512);
  return std::wstring(value, length < 512 ? length : 0);
}

// The product's name and its Start-menu entry's, as the build named them.
std::wstring ProductName() { return Environment(L"PRODUCT_NAME"); }
std::wstring OwnKey() { return L"Software\\" + ProductName(); }

std::wstring ShellFolder(int folder) {
  wchar_t path[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::wstring InstallFolder() {
  return ShellFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\" + ProductName();
}

std::wstring StartMenuEntry() {
  return ShellFolder(CSIDL_PROGRAMS) + L"\\" +
         Environment(L"SHORTCUT_NAME") + L".lnk";
}

// Runs msiexec with the arguments and waits for it: its exit code.
DWORD Msiexec(const std::wstring& arguments) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  std::wstring commandLine = L"msiexec.exe " + arguments;
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        0, nullptr, nullptr, &startup, &info)) {
    ADD_FAILURE() << "msiexec did not start";
    return 0xDEAD;
  }
  const platform::win32::KernelHandle thread(info.hThread);
  const platform::win32::KernelHandle process(info.hProcess);
  EXPECT_EQ(::WaitForSingleObject(process.Get(), 120000), WAIT_OBJECT_0)
      << "msiexec " << testing::PrintToString(arguments) << " did not end";
  DWORD code = 0xDEAD;
  ::GetExitCodeProcess(process.Get(), &code);
  return code;
}

// A copy of a package (by default the disc's), as LAUNCHER.MSI in
// `folder` (made new) under the user's temporary folder; its full path.
std::wstring CopyOfPackage(const std::wstring& folder,
                           const std::wstring& package = kPackage) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring where = std::wstring(temp) + L"launcher-tests\\" + folder;
  RemoveTree(where);
  MakeFolder(where);
  const std::wstring copy = where + L"\\LAUNCHER.MSI";
  EXPECT_TRUE(::CopyFileW(package.c_str(), copy.c_str(), TRUE))
      << "no copy of the package in " << testing::PrintToString(where);
  return copy;
}

// The folder above a package's INSTALL folder: "...\\INSTALL\\LAUNCHER.MSI".
std::wstring DiscOfPackage(const std::wstring& package) {
  const std::size_t name = package.rfind(L'\\');
  return package.substr(0, package.rfind(L'\\', name - 1));
}

// Our installed product, as the list of installed programs finds it.
std::wstring InstalledProduct() {
  const std::wstring upgradeCode = L"{" + Environment(L"UPGRADE_CODE") + L"}";
  wchar_t product[39] = {};
  if (::MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, 0, product) !=
      ERROR_SUCCESS) {
    return {};
  }
  return product;
}

std::wstring ProductInfo(const std::wstring& product, const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  if (::MsiGetProductInfoW(product.c_str(), name, value, &size) !=
      ERROR_SUCCESS) {
    return L"<none>";
  }
  return value;
}

struct Link {
  std::wstring target;
  std::wstring workingFolder;
};

Link ReadLink(const std::wstring& path) {
  Link link;
  IShellLinkW* shellLink = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink)))) {
    ADD_FAILURE() << "no shell link object";
    return link;
  }
  IPersistFile* file = nullptr;
  wchar_t text[MAX_PATH] = {};
  if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile,
                                          reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
    if (SUCCEEDED(shellLink->GetPath(text, MAX_PATH, nullptr, 0))) {
      link.target = text;
    }
    if (SUCCEEDED(shellLink->GetWorkingDirectory(text, MAX_PATH))) {
      link.workingFolder = text;
    }
  }
  if (file != nullptr) file->Release();
  shellLink->Release();
  return link;
}

bool KeyExists(const std::wstring& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  ::RegCloseKey(key);
  return true;
}

class Installed : public LauncherFixture {
 protected:
  Installed() : LauncherFixture(InstallFolder(), Setup::kInstalled) {}

  static void SetUpTestSuite() { ::CoInitialize(nullptr); }

  // A test that failed halfway leaves nothing for the next one.
  void TearDown() override {
    LauncherFixture::TearDown();
    const std::wstring product = InstalledProduct();
    if (!product.empty()) Msiexec(L"/x " + product + L" /qn");
  }

  void AnswerTheFirstRunWithE() {
    Launch();
    Answer(WaitForDialog(), L"E:", VK_RETURN);
    EXPECT_EQ(ExitCode(), 0u);
    ExpectViewerStartedFrom(L"E:\\");
    EXPECT_EQ(ReadBytes(cacheFile), "CDROM=E:\\\r\n");
  }

  // A run that finds the disc where it remembers it ends by itself.
  void ExpectARunThatAsksNothing() {
    ForgetViewerStart();
    Launch();
    EXPECT_EQ(ExitCode(), 0u) << "the launcher asked";
    ExpectViewerStartedFrom(L"E:\\");
  }

  void ExpectNothingOfOursLeft() {
    EXPECT_EQ(InstalledProduct(), L"");
    EXPECT_FALSE(Exists(folder)) << testing::PrintToString(FolderContents());
    EXPECT_FALSE(Exists(StartMenuEntry()));
    EXPECT_FALSE(KeyExists(OwnKey()));
  }
};

// Started from a folder that is no disc, the package remembers nothing:
// here a download folder that looks like one, with the product's own
// KX31.ZIP beside its INSTALL folder but no viewer.
TEST_F(Installed, FromElsewhereItAsksOnceAndGoesWithoutATrace) {
  const std::wstring package = CopyOfPackage(L"Downloads\\INSTALL");
  WriteBytes(DiscOfPackage(package) + L"\\KX31.ZIP", "");
  ASSERT_EQ(Msiexec(L"/i \"" + package + L"\" /qn"), 0u);
  EXPECT_FALSE(Exists(cacheFile));
  EXPECT_EQ(ReadBytes(launcher), ReadBytes(EnvironmentPath(L"LAUNCHER")));
  const Link link = ReadLink(StartMenuEntry());
  EXPECT_EQ(link.target, launcher);
  EXPECT_EQ(link.workingFolder, folder + L"\\");
  const std::wstring product = InstalledProduct();
  ASSERT_NE(product, L"");
  EXPECT_EQ(ProductInfo(product, INSTALLPROPERTY_INSTALLEDPRODUCTNAME),
            ProductName());
  EXPECT_EQ(ProductInfo(product, INSTALLPROPERTY_PUBLISHER),
            Environment(L"PUBLISHER"));
  EXPECT_EQ(ProductInfo(product, INSTALLPROPERTY_VERSIONSTRING),
            Environment(L"VERSION"));
  EXPECT_TRUE(Exists(ProductInfo(product, INSTALLPROPERTY_PRODUCTICON)));

  AnswerTheFirstRunWithE();
  ExpectARunThatAsksNothing();

  ASSERT_EQ(Msiexec(L"/x \"" + package + L"\" /qn"), 0u);
  ExpectNothingOfOursLeft();
}

// What AutoPlay offers: the disc's package, where the user watches. The
// install remembers the disc and starts the launcher, which asks nothing;
// the disc's package run again installs nothing and starts it again
// (NOSTART=0 is no NOSTART).
TEST_F(Installed, FromTheDiscTheInstallStartsTheViewerAndSoDoesTheDiscAgain) {
  ASSERT_EQ(Msiexec(L"/i " + kPackage), 0u);
  ExpectViewerStartedFrom(L"E:\\");
  EXPECT_EQ(ReadBytes(cacheFile), "CDROM=E:\\\r\n");
  const std::wstring product = InstalledProduct();
  ASSERT_NE(product, L"");
  EXPECT_TRUE(WaitFor([] { return !LauncherOrViewerRunning(); }))
      << "the launcher the install started did not end";

  ForgetViewerStart();
  ASSERT_EQ(Msiexec(L"/i " + kPackage + L" NOSTART=0"), 0u);
  ExpectViewerStartedFrom(L"E:\\");
  EXPECT_TRUE(WaitFor([] { return !LauncherOrViewerRunning(); }));
  EXPECT_EQ(InstalledProduct(), product);
  EXPECT_EQ(FolderContents(),
            (std::set<std::wstring>{L"launcher.exe", L"KX31.INI"}));
  EXPECT_EQ(ReadBytes(cacheFile), "CDROM=E:\\\r\n");
}

// A quiet install from the disc remembers it and starts nothing.
TEST_F(Installed, QuietFromTheDiscRemembersItAndStartsNothing) {
  ASSERT_EQ(Msiexec(L"/i " + kPackage + L" /qn"), 0u);
  EXPECT_FALSE(LauncherOrViewerRunning() || Exists(record));
  EXPECT_EQ(ReadBytes(cacheFile), "CDROM=E:\\\r\n");
}

TEST_F(Installed, PresetLocationSparesTheQuestion) {
  const std::wstring package = CopyOfPackage(L"Downloads");
  ASSERT_EQ(Msiexec(L"/i \"" + package + L"\" DISCPATH=E: /qn"), 0u);
  EXPECT_EQ(ReadBytes(cacheFile), "CDROM=E:\\\r\n");
  ExpectARunThatAsksNothing();
  ASSERT_EQ(Msiexec(L"/x \"" + package + L"\" /qn"), 0u);
  ExpectNothingOfOursLeft();
}

// DISCPATH wins over the disc the package was started from; and NOSTART=1
// starts nothing, though the user watches. The disc's package run again
// and a repair keep what the administrator chose.
TEST_F(Installed, PresetLocationWinsOverTheSourceDiscAndStays) {
  ASSERT_EQ(
      Msiexec(L"/i " + kPackage + L" DISCPATH=\\\\server\\kx31 NOSTART=1"),
      0u);
  const std::string preset = "CDROM=\\\\server\\kx31\\\r\n";
  EXPECT_EQ(ReadBytes(cacheFile), preset);
  EXPECT_FALSE(LauncherOrViewerRunning() || Exists(record));
  ASSERT_EQ(Msiexec(L"/i " + kPackage + L" /qn"), 0u);
  EXPECT_EQ(ReadBytes(cacheFile), preset) << "the disc inserted again";
  ASSERT_EQ(Msiexec(L"/i " + kPackage + L" REINSTALL=ALL DISCPATH=E: /qn"), 0u);
  EXPECT_EQ(ReadBytes(cacheFile), preset) << "a repair";
}

// For every user: Program Files, and the uninstall finds it there. Wine has
// no UAC, so the ordinary user may install it so; its installer keeps the
// Start-menu entry in the user's own menu.
TEST_F(Installed, PerMachineGoesToProgramFilesAndLeavesFromThere) {
  ASSERT_EQ(Msiexec(L"/i " + kPackage + L" ALLUSERS=1 /qn"), 0u);
  const std::wstring shared =
      ShellFolder(CSIDL_PROGRAM_FILESX86) + L"\\" + ProductName();
  EXPECT_EQ(ReadBytes(shared + L"\\launcher.exe"),
            ReadBytes(EnvironmentPath(L"LAUNCHER")));
  EXPECT_FALSE(Exists(folder));
  ASSERT_EQ(Msiexec(L"/x " + kPackage + L" /qn"), 0u);
  EXPECT_FALSE(Exists(shared));
  ExpectNothingOfOursLeft();
}

// A preset is taken only where the launcher reads it back as the very
// path given: one with a comma goes in quoted; a path the code page cannot
// hold, one that is no path or no full path, or one with a blank at an end
// or a line break is refused, and nothing is installed.
TEST_F(Installed, PresetIsTakenOnlyAsTheLauncherReadsItBack) {
  for (const std::wstring discPath :
       {L"E:\\\u03A9", L"E:\\a|b", L"kx31", L"E:kx31", L" E:\\kx31",
        L"E:\\kx31 ", L"E:\\a\r\nb"}) {
    EXPECT_EQ(Msiexec(L"/i " + kPackage + L" DISCPATH=\"" + discPath +
                      L"\" /qn"),
              kInstallFailure)
        << testing::PrintToString(discPath);
    ExpectNothingOfOursLeft();
  }
  ASSERT_EQ(Msiexec(L"/i " + kPackage +
                    L" DISCPATH=\"\\\\server\\Atlas, 1998\" /qn"),
            0u);
  EXPECT_EQ(ReadBytes(cacheFile), "\"CDROM=\\\\server\\Atlas, 1998\\\"\r\n");
}

// A copy of a package whose installation fails at its end when FAILLATE
// is set, by a step handed data that names nothing to write: the setup
// DLL's own entry, which must say so and fail, not crash.
std::wstring FailingCopyOf(const std::wstring& package,
                           const std::wstring& folder) {
  const std::wstring copy = CopyOfPackage(folder, package);
  ::SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
  installer::MsiHandle database;
  EXPECT_EQ(::MsiOpenDatabaseW(copy.c_str(), MSIDBOPEN_TRANSACT, database.Out()),
            static_cast<UINT>(ERROR_SUCCESS));
  for (const wchar_t* query :
       {L"INSERT INTO `CustomAction` (`Action`,`Type`,`Source`,`Target`) "
        L"VALUES ('SetFailLate',51,'FailLate','[INSTALLFOLDER]|K|zz')",
        L"INSERT INTO `CustomAction` (`Action`,`Type`,`Source`,`Target`) "
        L"VALUES ('FailLate',3073,'SetupActions','WriteLocation')",
        L"INSERT INTO `InstallExecuteSequence` (`Action`,`Condition`,"
        L"`Sequence`) VALUES ('SetFailLate','FAILLATE',6500)",
        L"INSERT INTO `InstallExecuteSequence` (`Action`,`Condition`,"
        L"`Sequence`) VALUES ('FailLate','FAILLATE',6501)"}) {
    installer::MsiHandle view;
    EXPECT_EQ(::MsiDatabaseOpenViewW(database.Get(), query, view.Out()),
              static_cast<UINT>(ERROR_SUCCESS));
    EXPECT_EQ(::MsiViewExecute(view.Get(), 0), static_cast<UINT>(ERROR_SUCCESS))
        << testing::PrintToString(std::wstring(query));
  }
  EXPECT_EQ(::MsiDatabaseCommit(database.Get()),
            static_cast<UINT>(ERROR_SUCCESS));
  return copy;
}

// An installation that fails after the location was written leaves the
// file as it was: none after a first install, the older version's after
// an upgrade that was to write a preset.
TEST_F(Installed, FailedInstallLeavesTheLocationAsItWas) {
  const std::wstring failing = FailingCopyOf(kPackage, L"Failing");
  const std::wstring log = DiscOfPackage(failing) + L"\\install.log";
  EXPECT_EQ(Msiexec(L"/i \"" + failing + L"\" DISCPATH=E: FAILLATE=1 /qn "
                    L"/l*v \"" + log + L"\""),
            kInstallFailure);
  EXPECT_FALSE(Exists(cacheFile)) << ReadBytes(cacheFile);
  EXPECT_NE(ReadBytes(log).find("WriteLocation: no placement in its data"),
            std::string::npos)
      << "the step did not say why it failed";
  ExpectNothingOfOursLeft();

  ASSERT_EQ(Msiexec(L"/i \"" + CopyOfPackage(L"Downloads") + L"\" /qn"), 0u);
  AnswerTheFirstRunWithE();
  const std::wstring next =
      FailingCopyOf(EnvironmentPath(L"NEXT_MSI"), L"FailingNext");
  EXPECT_EQ(Msiexec(L"/i \"" + next +
                    L"\" DISCPATH=\\\\server\\kx31 FAILLATE=1 /qn"),
            kInstallFailure);
  EXPECT_EQ(ReadBytes(cacheFile), "CDROM=E:\\\r\n");
  // Wine removes the older version before the newer one is installed and
  // puts no file back when that fails: nothing of it stays for the next row.
  const std::wstring product = InstalledProduct();
  if (!product.empty()) Msiexec(L"/x " + product + L" /qn");
  RemoveTree(folder);
}

// The older version's location wins over the disc the newer package is
// started from.
TEST_F(Installed, UpgradeKeepsTheLocationAndTheOlderPackageIsRefused) {
  ASSERT_EQ(Msiexec(L"/i \"" + CopyOfPackage(L"Downloads") + L"\" /qn"), 0u);
  AnswerTheFirstRunWithE();

  const std::wstring next =
      CopyOfPackage(L"next-disc\\INSTALL", EnvironmentPath(L"NEXT_MSI"));
  WriteBytes(DiscOfPackage(next) + L"\\KX31.TXT", "");
  ASSERT_EQ(Msiexec(L"/i \"" + next + L"\" /qn"), 0u);
  EXPECT_EQ(ReadBytes(launcher), ReadBytes(EnvironmentPath(L"NEXT_LAUNCHER")));
  EXPECT_EQ(ProductInfo(InstalledProduct(), INSTALLPROPERTY_VERSIONSTRING),
            Environment(L"NEXT_VERSION"));
  EXPECT_EQ(ReadBytes(cacheFile), "CDROM=E:\\\r\n");
  ExpectARunThatAsksNothing();

  EXPECT_EQ(Msiexec(L"/i " + kPackage + L" /qn"), kInstallFailure);
  EXPECT_EQ(ReadBytes(launcher), ReadBytes(EnvironmentPath(L"NEXT_LAUNCHER")));

  ASSERT_EQ(Msiexec(L"/x \"" + next + L"\" /qn"), 0u);
  ExpectNothingOfOursLeft();
}

}  // namespace
}  // namespace wintest
