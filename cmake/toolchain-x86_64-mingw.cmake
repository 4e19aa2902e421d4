# The same sources as 64-bit Windows programs, for running the tests under
# 64-bit Wine on machines that cannot execute 32-bit x86 code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MB_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
