# Cross build of the Windows add-in with Debian's MinGW-w64; included by the
# per-architecture toolchain files after they set TROVEX_MINGW_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)

# The win32 thread model: the add-in starts no threads, and the posix model
# would link winpthreads into Outlook's process with its TLS callback and a
# process-wide vectored exception handler. GCC 12 then has no std::thread
# or std::mutex; the tests use Win32's own.
set(CMAKE_C_COMPILER ${TROVEX_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TROVEX_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${TROVEX_MINGW_TRIPLE}-windres)
set(TROVEX_WIDL ${TROVEX_MINGW_TRIPLE}-widl)

set(CMAKE_FIND_ROOT_PATH /usr/${TROVEX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Where this Debian host keeps what the build takes from it beside the
# cross compiler: fmt's headers (used header-only), Wine's stdole2.tlb that
# widl imports, and GoogleTest's sources for the Wine tests. Hints only:
# the project's CMake files find each with find_path/find_file.
set(TROVEX_HOST_INCLUDE_HINTS /usr/include)
set(TROVEX_STDOLE2_HINTS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/i386-linux-gnu/wine/i386-windows)
set(TROVEX_GTEST_SOURCE_HINTS /usr/src/googletest)
