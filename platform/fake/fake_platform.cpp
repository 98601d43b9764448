#include "platform/fake/fake_platform.h"

#include <cstring>
#include <stdexcept>

#include "platform/fake/wildcard.h"

namespace platform::fake {

namespace {

Failure Fail(std::uint32_t number) {
  switch (number) {
    case error::kFileNotFound:
      return Failure(number, L"The system cannot find the file specified.");
    case error::kPathNotFound:
      return Failure(number, L"The system cannot find the path specified.");
    case error::kAccessDenied:
      return Failure(number, L"Access is denied.");
    case error::kInvalidDrive:
      return Failure(number, L"The system cannot find the drive specified.");
    case error::kNotReady:
      return Failure(number, L"The device is not ready.");
    case error::kHandleEof:
      return Failure(number, L"Reached the end of the file.");
    case error::kNoUnicodeTranslation:
      return Failure(number,
                     L"No mapping for the Unicode character exists in the "
                     L"target multi-byte code page.");
    default:
      return Failure(number,
                     L"The filename, directory name, or volume label syntax "
                     L"is incorrect.");
  }
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = FoldCase(c);
  return text;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsDriveLetter(wchar_t c) {
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool HasDriveLetter(const std::wstring& path) {
  return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':';
}

// Names the system refuses anywhere in a path; wildcards are refused in
// every name but a search's last.
void RequireValidNames(const std::vector<std::wstring>& names,
                       bool lastMayBePattern) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    const bool pattern = lastMayBePattern && i + 1 == names.size();
    for (wchar_t c : names[i]) {
      const bool wildcard = c == L'*' || c == L'?';
      if (c < 0x20 || c == L'<' || c == L'>' || c == L'|' || c == L'"' ||
          c == L':' || (wildcard && !pattern)) {
        throw Fail(error::kInvalidName);
      }
    }
  }
}

std::vector<std::wstring> SplitNames(const std::wstring& text,
                                     std::vector<std::wstring> names) {
  std::wstring name;
  auto flush = [&] {
    if (name == L"..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != L".") {
      names.push_back(name);
    }
    name.clear();
  };
  for (wchar_t c : text) {
    if (IsSeparator(c)) {
      flush();
    } else {
      name += c;
    }
  }
  flush();
  return names;
}

}  // namespace

// --- Locations -----------------------------------------------------------

FakePlatform::Location FakePlatform::Location::Parent() const {
  Location parent = *this;
  if (!parent.names.empty()) parent.names.pop_back();
  return parent;
}

std::wstring FakePlatform::Location::Display() const {
  std::wstring text = root + L"\\";
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += (i == 0 ? L"" : L"\\") + names[i];
  }
  return text;
}

std::wstring FakePlatform::Key(const Location& location) {
  return Upper(location.Display());
}

FakePlatform::Location FakePlatform::Resolve(const std::wstring& path) const {
  Location base = current_;
  std::wstring rest = path;
  if (rest.size() >= 2 && IsSeparator(rest[0]) && IsSeparator(rest[1])) {
    const std::size_t server = 2;
    const std::size_t share = rest.find_first_of(L"\\/", server) + 1;
    const std::size_t end = rest.find_first_of(L"\\/", share);
    if (share == 0 || share == server + 1 || end == share) {
      throw Fail(error::kInvalidName);
    }
    base = Location{rest.substr(0, end), {}};
    rest = end == std::wstring::npos ? L"" : rest.substr(end);
  } else if (HasDriveLetter(rest)) {
    const std::wstring root = Upper(rest.substr(0, 2));
    const auto known = currentOfDrive_.find(root);
    base = known != currentOfDrive_.end() ? known->second : Location{root, {}};
    rest = rest.substr(2);
    if (!rest.empty() && IsSeparator(rest[0])) base.names.clear();
  } else if (!rest.empty() && IsSeparator(rest[0])) {
    base.names.clear();
  }
  base.names = SplitNames(rest, base.names);
  return base;
}

void FakePlatform::RequireReadyRoot(const Location& location) const {
  const auto drive = drives_.find(Upper(location.root));
  if (drive == drives_.end()) throw Fail(error::kPathNotFound);
  if (!drive->second) throw Fail(error::kNotReady);
}

void FakePlatform::RequireDirectory(const Location& location) const {
  RequireReadyRoot(location);
  if (location.names.empty()) return;
  const auto entry = entries_.find(Key(location));
  if (entry == entries_.end() || !(entry->second.attributes & kDirectory)) {
    throw Fail(error::kPathNotFound);
  }
}

FakePlatform::Entry* FakePlatform::Find(const Location& location) {
  const auto entry = entries_.find(Key(location));
  return entry == entries_.end() ? nullptr : &entry->second;
}

void FakePlatform::RequireWritable(const Location& directory) const {
  RequireDirectory(directory);
  if (unwritable_.count(Key(directory)) != 0) throw Fail(error::kAccessDenied);
}

// --- Building and inspecting --------------------------------------------

FakePlatform::FakePlatform() {
  AddDrive(L"C:");
  AddDirectory(L"C:\\WINDOWS\\SYSTEM32");
  AddDirectory(launcherDirectory);
  ChangeDirectory(launcherDirectory);
}

void FakePlatform::AddDrive(const std::wstring& root, bool ready) {
  drives_[Upper(root)] = ready;
}

void FakePlatform::SetDriveReady(const std::wstring& root, bool ready) {
  drives_.at(Upper(root)) = ready;
}

void FakePlatform::AddDirectory(const std::wstring& path,
                                std::uint32_t attributes) {
  Location location = Resolve(path);
  Location walk{location.root, {}};
  for (const std::wstring& name : location.names) {
    walk.names.push_back(name);
    Entry& entry = entries_[Key(walk)];
    entry.name = name;
    entry.attributes |= kDirectory;
  }
  if (!location.names.empty()) entries_[Key(location)].attributes |= attributes;
}

void FakePlatform::AddFile(const std::wstring& path, const std::string& bytes,
                           std::uint32_t attributes) {
  const Location location = Resolve(path);
  AddDirectory(location.Parent().Display());
  entries_[Key(location)] = Entry{location.names.back(), attributes, bytes};
}

void FakePlatform::MakeUnwritable(const std::wstring& directory) {
  unwritable_.insert(Key(Resolve(directory)));
}

bool FakePlatform::Exists(const std::wstring& path) {
  return Find(Resolve(path)) != nullptr;
}

std::string FakePlatform::Contents(const std::wstring& path) {
  const Entry* entry = Find(Resolve(path));
  if (entry == nullptr) throw std::logic_error("no such file in the fake");
  return entry->bytes;
}

std::uint32_t FakePlatform::Attributes(const std::wstring& path) {
  const Entry* entry = Find(Resolve(path));
  return entry == nullptr ? 0 : entry->attributes;
}

std::wstring FakePlatform::CurrentDirectory() const {
  return current_.Display();
}

// --- File system ----------------------------------------------------------

bool FakePlatform::FindPattern(const std::wstring& pattern) {
  searches.push_back(pattern);
  const Location location = Resolve(pattern);
  RequireValidNames(location.names, true);
  if (location.names.empty()) throw Fail(error::kFileNotFound);
  const Location directory = location.Parent();
  RequireDirectory(directory);
  const std::wstring prefix = Key(directory) == Upper(directory.root + L"\\")
                                  ? Key(directory)
                                  : Key(directory) + L"\\";
  for (const auto& [key, entry] : entries_) {
    const bool child = key.size() > prefix.size() &&
                       key.compare(0, prefix.size(), prefix) == 0 &&
                       key.find(L'\\', prefix.size()) == std::wstring::npos;
    const bool normal = (entry.attributes & (kHidden | kSystem | kDirectory)) == 0;
    if (child && normal && MatchesWildcard(location.names.back(), entry.name)) {
      return true;
    }
  }
  return false;
}

std::wstring FakePlatform::LauncherDirectory() { return launcherDirectory; }

void FakePlatform::DeleteFileAnyAttributes(const std::wstring& path) {
  const Location location = Resolve(path);
  RequireValidNames(location.names, false);
  RequireDirectory(location.Parent());
  const Entry* entry = Find(location);
  if (entry == nullptr) return;
  if (entry->attributes & kDirectory) throw Fail(error::kAccessDenied);
  RequireWritable(location.Parent());
  entries_.erase(Key(location));
}

std::wstring FakePlatform::ReadFirstLine(const std::wstring& path) {
  const Location location = Resolve(path);
  RequireValidNames(location.names, false);
  RequireDirectory(location.Parent());
  const Entry* entry = Find(location);
  if (entry == nullptr) throw Fail(error::kFileNotFound);
  if (entry->attributes & kDirectory) throw Fail(error::kAccessDenied);
  if (entry->bytes.empty()) throw Fail(error::kHandleEof);
  const std::string& bytes = entry->bytes;
  return FromAnsi(std::string_view(bytes).substr(0, bytes.find_first_of("\r\n")));
}

// Like Windows' CREATE_ALWAYS: an existing hidden, system or read-only file
// is refused, not replaced; a replaced file keeps only the archive bit.
void FakePlatform::WriteTextFile(const std::wstring& path,
                                 const std::vector<std::wstring>& lines) {
  const Location location = WritableFile(path);
  if (const Entry* old = Find(location)) {
    if (old->attributes & (kHidden | kSystem | kReadOnly)) {
      throw Fail(error::kAccessDenied);
    }
  }
  PutLines(location, lines);
}

// Whatever the old file's attributes; a failure changes nothing.
void FakePlatform::ReplaceTextFile(const std::wstring& path,
                                   const std::vector<std::wstring>& lines) {
  PutLines(WritableFile(path), lines);
}

FakePlatform::Location FakePlatform::WritableFile(const std::wstring& path) {
  const Location location = Resolve(path);
  RequireValidNames(location.names, false);
  RequireWritable(location.Parent());
  if (location.names.empty()) throw Fail(error::kAccessDenied);
  const Entry* old = Find(location);
  if (old != nullptr && (old->attributes & kDirectory)) {
    throw Fail(error::kAccessDenied);
  }
  return location;
}

void FakePlatform::PutLines(const Location& location,
                            const std::vector<std::wstring>& lines) {
  std::string bytes;
  for (const std::wstring& line : lines) {
    if (!HeldByCodePage(line)) throw Fail(error::kNoUnicodeTranslation);
    for (wchar_t c : line) bytes += static_cast<char>(c);
    bytes += "\r\n";
  }
  entries_[Key(location)] = Entry{location.names.back(), kArchive, bytes};
  written.push_back(location.Display());
}

// The fake's folders have no short forms.
std::wstring FakePlatform::PathForTextFile(const std::wstring& path) {
  if (HeldByCodePage(path)) return path;
  throw Fail(error::kNoUnicodeTranslation);
}

// --- Current drive and directory -----------------------------------------

void FakePlatform::ChangeDrive(const std::wstring& path) {
  if (!HasDriveLetter(path)) return;
  const std::wstring root = Upper(path.substr(0, 2));
  if (drives_.count(root) == 0) throw Fail(error::kInvalidDrive);
  const Location target = Resolve(root);
  RequireReadyRoot(target);
  current_ = target;
}

void FakePlatform::ChangeDirectory(const std::wstring& path) {
  const Location location = Resolve(path);
  RequireValidNames(location.names, false);
  RequireDirectory(location);
  current_ = location;
  currentOfDrive_[Upper(location.root)] = location;
}

// --- User interface and processes ----------------------------------------

std::wstring FakePlatform::InputText(const std::wstring& prompt,
                                     const std::wstring& title,
                                     const std::wstring& defaultText) {
  dialogs.push_back({prompt, title, defaultText});
  if (dialogAnswers.empty()) {
    throw std::logic_error("the path dialog was shown once more than scripted");
  }
  std::wstring answer = dialogAnswers.front();
  dialogAnswers.pop_front();
  return answer;
}

std::uint32_t FakePlatform::StartProgram(const std::wstring& path, int style) {
  const Location location = Resolve(path);
  RequireValidNames(location.names, false);
  RequireDirectory(location.Parent());
  const Entry* entry = Find(location);
  if (entry == nullptr || (entry->attributes & kDirectory)) {
    throw Fail(error::kFileNotFound);
  }
  started.push_back({path, style, CurrentDirectory()});
  return nextTask_++;
}

// --- Windows directories ---------------------------------------------------

std::uint32_t FakePlatform::CopyDirectoryName(const std::string& name,
                                              char* buffer,
                                              std::uint32_t size) {
  if (name.empty()) return 0;
  const auto length = static_cast<std::uint32_t>(name.size());
  if (length >= size) return length + 1;
  std::memcpy(buffer, name.c_str(), length + 1);
  return length;
}

std::uint32_t FakePlatform::GetWindowsDirectoryA(char* buffer,
                                                 std::uint32_t size) {
  ++windowsDirectoryCalls;
  return CopyDirectoryName(windowsDirectory, buffer, size);
}

std::uint32_t FakePlatform::GetSystemDirectoryA(char* buffer,
                                                std::uint32_t size) {
  ++systemDirectoryCalls;
  return CopyDirectoryName(systemDirectory, buffer, size);
}

std::wstring FakePlatform::FromAnsi(std::string_view text) {
  std::wstring wide;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const bool lead = doubleByteCodePage && byte >= 0x81 && byte <= 0x9F;
    if (lead && i + 1 < text.size()) {
      const auto trail = static_cast<unsigned char>(text[++i]);
      wide += static_cast<wchar_t>(0x4E00 + ((byte - 0x81) << 8) + trail);
    } else {
      wide += static_cast<wchar_t>(byte);
    }
  }
  return wide;
}

bool FakePlatform::HeldByCodePage(const std::wstring& text) {
  for (wchar_t c : text) {
    if (c > 0xFF) return false;
  }
  return true;
}

Failure FakePlatform::FailureFor(std::uint32_t number) { return Fail(number); }

void FakePlatform::ReportUnhandledFailure(const Failure& failure) noexcept {
  reports.push_back(failure);
}

}  // namespace platform::fake
