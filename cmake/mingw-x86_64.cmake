# Cross build for 64-bit Windows with MinGW-w64: the same sources as the i686
# build, for running the Windows tests under wine64 where the kernel cannot
# run 32-bit programs.
set(UPD_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
