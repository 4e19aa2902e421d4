# Shared by the two MinGW-w64 toolchains. MB_MINGW_PREFIX names the target.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model gives std::thread and std::mutex.
set(CMAKE_C_COMPILER   ${MB_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MB_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${MB_MINGW_PREFIX}-windres)
set(CMAKE_AR           ${MB_MINGW_PREFIX}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB       ${MB_MINGW_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${MB_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows XP is the newest platform the suite may call into.
set(CMAKE_C_FLAGS_INIT   "-D_WIN32_WINNT=0x0501 -DWINVER=0x0501 -D_WIN32_IE=0x0600")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0501 -DWINVER=0x0501 -D_WIN32_IE=0x0600")
# Each program and DLL stands alone: no libgcc, libstdc++ or winpthread DLLs.
set(MB_STATIC_LINK "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT    "${MB_STATIC_LINK}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${MB_STATIC_LINK}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${MB_STATIC_LINK}")
