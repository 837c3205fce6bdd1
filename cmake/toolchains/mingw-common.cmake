# What the two MinGW-w64 toolchain files share; each sets QMK_MINGW_TRIPLE
# and QMK_WINE_ARCH first. The compilers are Debian's posix-thread ones
# (std::thread and std::mutex need them); everything is linked statically,
# so a program needs only Windows' own DLLs. Test programs run under Wine
# through cmake/wine-run.sh, with the Wine prefix inside the build folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 10)

set(CMAKE_C_COMPILER ${QMK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QMK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QMK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QMK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR
    bash ${CMAKE_CURRENT_LIST_DIR}/../wine-run.sh --build ${CMAKE_BINARY_DIR} --arch ${QMK_WINE_ARCH})
