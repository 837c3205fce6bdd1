# 32-bit Windows (runs on 32- and 64-bit Windows), cross-built with MinGW-w64:
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QMK_MINGW_TRIPLE i686-w64-mingw32)
set(QMK_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Doubles in SSE2 registers, as on x86_64, so every double operation rounds
# once and the results match the 64-bit builds (x87 registers would round
# twice under the 64-bit precision the program sets); long double stays
# the x87 extended format. Windows keeps only 4-byte stack alignment on
# 32-bit, so functions that need more realign their frame themselves.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
