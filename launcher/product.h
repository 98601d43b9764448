// The product the launcher starts, as its disc and its installer know it.
#pragma once

namespace product {

// Names the location file beside the launcher and the disc's marker files.
inline constexpr wchar_t kCode[] = L"KX31";
// Handed to the locator with the code; no check reads it.
inline constexpr wchar_t kKeyFile[] = L"NARD.ZIP";
// The viewer, in the disc's own folder.
inline constexpr wchar_t kViewerProgram[] = L"IVIEWP32.EXE";

}  // namespace product
