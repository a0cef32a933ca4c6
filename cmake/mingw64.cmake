# 64-bit Windows cross build with mingw-w64: the same sources as the 32-bit build, so that the
# cross-built tests can run under wine64 on kernels that cannot run 32-bit programs.
set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
