// Move-only owners of Windows handles, one type per way of closing.
#pragma once

#include <windows.h>

#include <utility>

namespace platform::win32 {

template <typename Traits>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept
      : handle_(std::exchange(other.handle_, Traits::Invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, Traits::Invalid());
    }
    return *this;
  }

  explicit operator bool() const { return handle_ != Traits::Invalid(); }
  HANDLE Get() const { return handle_; }

 private:
  void Reset() {
    if (*this) Traits::Close(handle_);
    handle_ = Traits::Invalid();
  }
  HANDLE handle_ = Traits::Invalid();
};

struct FindTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::FindClose(h); }
};

// Files opened with CreateFile: invalid is INVALID_HANDLE_VALUE.
struct FileTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};

// Process and thread handles: invalid is NULL.
struct KernelTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};

using FindHandle = UniqueHandle<FindTraits>;
using FileHandle = UniqueHandle<FileTraits>;
using KernelHandle = UniqueHandle<KernelTraits>;

// Both handles CreateProcess hands back.
struct ProcessHandles {
  explicit ProcessHandles(const PROCESS_INFORMATION& info)
      : process(info.hProcess), thread(info.hThread) {}
  KernelHandle process;
  KernelHandle thread;
};

}  // namespace platform::win32
