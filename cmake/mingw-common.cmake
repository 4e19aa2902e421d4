# Shared by the two MinGW-w64 toolchains. MB_MINGW_PREFIX names the target.
set(CMAKE_SYSTEM_NAME Windows)

# The win32 thread model: its runtime calls only what Windows 98 and NT 4
# export (the posix model's winpthreads imports Vista's GetTickCount64, and
# TryEnterCriticalSection, which 95/98/ME lack). It has no std::thread,
# std::mutex or std::condition_variable; platform/win/Sync.h stands in.
# Both widths use it, so the code under test is the code shipped.
set(CMAKE_C_COMPILER   ${MB_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${MB_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER  ${MB_MINGW_PREFIX}-windres)
set(CMAKE_AR           ${MB_MINGW_PREFIX}-gcc-ar-win32 CACHE FILEPATH "")
set(CMAKE_RANLIB       ${MB_MINGW_PREFIX}-gcc-ranlib-win32 CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${MB_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows XP is the newest platform the suite may call into.
set(CMAKE_C_FLAGS_INIT   "-D_WIN32_WINNT=0x0501 -DWINVER=0x0501 -D_WIN32_IE=0x0600")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0501 -DWINVER=0x0501 -D_WIN32_IE=0x0600")
# Each program and DLL stands alone: no libgcc or libstdc++ DLLs.
set(MB_STATIC_LINK "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT    "${MB_STATIC_LINK}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${MB_STATIC_LINK}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${MB_STATIC_LINK}")
