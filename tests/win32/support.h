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

// Removes a folder and all it holds, whatever the attributes.
void RemoveTree(const std::wstring& path);
void MakeFolder(const std::wstring& path);

// A path from the environment, as CTest hands it over.
std::wstring EnvironmentPath(const wchar_t* name);

// Polls until the condition holds or the time is up.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = std::chrono::seconds(20));

// Text of a window in another process, read with WM_GETTEXT.
std::wstring WindowText(HWND window);

}  // namespace wintest
