// Helpers for the tests that run on the real Win32 API under Wine.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

namespace wintest {

// Raw bytes of a file, or "<missing>" when it cannot be opened.
std::string ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
bool Exists(const std::wstring& path);

// Removes what a folder holds, or the folder too, whatever the attributes.
void EmptyFolder(const std::wstring& path);
void RemoveTree(const std::wstring& path);
void MakeFolder(const std::wstring& path);

// A path from the environment, as CTest hands it over.
std::wstring EnvironmentPath(const wchar_t* name);

// Polls until the condition holds or the time is up.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(20));

// Copies the stand-in viewer; one from a test before may still be on its
// way out, so it is tried for a while.
void CopyViewer(const std::wstring& to);

// A value from the stand-in viewer's start record, once it has been written
// (the viewer moves the whole record into place at once); empty if never.
std::wstring StartRecord(const std::wstring& record, const wchar_t* key);

// Text of a window in another process, read with WM_GETTEXT.
std::wstring WindowText(HWND window);

}  // namespace wintest
