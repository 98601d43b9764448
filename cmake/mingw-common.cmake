# Cross-compiling the launcher for Windows with MinGW-w64. The toolchain
# file that includes this sets MINGW_ARCH (i686 or x86_64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MINGW_ARCH})

# The win32 thread model: the C++ runtime then calls nothing that Windows XP
# lacks (the POSIX one imports GetTickCount64, which came with Vista). The
# launcher starts no thread of its own.
set(CMAKE_C_COMPILER ${MINGW_ARCH}-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER ${MINGW_ARCH}-w64-mingw32-g++-win32)
find_program(found_cross_compiler ${CMAKE_CXX_COMPILER})
if(NOT found_cross_compiler)
  message(FATAL_ERROR "${CMAKE_CXX_COMPILER} not found: "
          "./scripts/install-deps.sh installs everything the build needs.")
endif()
set(CMAKE_RC_COMPILER ${MINGW_ARCH}-w64-mingw32-windres)
set(CMAKE_DLLTOOL ${MINGW_ARCH}-w64-mingw32-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# No runtime DLLs beside the executable: the C++ runtime is linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
