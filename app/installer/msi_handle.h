// The owner of a Windows Installer handle.
#pragma once

#include <windows.h>
#include <msi.h>

namespace installer {

class MsiHandle {
 public:
  explicit MsiHandle(MSIHANDLE handle = 0) : handle_(handle) {}
  ~MsiHandle() {
    if (handle_ != 0) ::MsiCloseHandle(handle_);
  }
  MsiHandle(const MsiHandle&) = delete;
  MsiHandle& operator=(const MsiHandle&) = delete;
  MSIHANDLE Get() const { return handle_; }
  // For a call that hands out a handle; the one held before must be none.
  MSIHANDLE* Out() { return &handle_; }

 private:
  MSIHANDLE handle_;
};

}  // namespace installer
