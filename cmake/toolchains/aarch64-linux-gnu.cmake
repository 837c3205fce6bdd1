# arm64 (aarch64) Linux with Debian's cross compiler and the target's
# libraries installed beside the build machine's (multiarch, under
# /usr/lib/aarch64-linux-gnu). Tests and programs run under Debian's
# user-mode emulator. Usage:
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# pkg-config must see the target's .pc files only.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# No -L: with the cross package's own loader tree the emulated program
# meets the multiarch libc and hangs in fork(); without it the multiarch
# loader (/lib/ld-linux-aarch64.so.1) and libraries are found.
find_program(QMK_AARCH64_EMULATOR qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QMK_AARCH64_EMULATOR})
