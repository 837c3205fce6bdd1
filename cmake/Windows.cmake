# The Windows build, configured with a MinGW-w64 toolchain file
# (cmake/toolchains/mingw-*.cmake). The Win32 backend and its tests under
# Wine, and the layers above it as far as they compile for Windows yet.
if(QMK_SANITIZE OR QMK_FUZZ)
  message(FATAL_ERROR "the sanitizer and fuzzer builds are Linux builds")
endif()

find_package(Threads REQUIRED)

# The installed backend's accessors.
add_library(qmk_platform STATIC ${PROJECT_SOURCE_DIR}/src/platform/Platform.cpp)
target_include_directories(qmk_platform PUBLIC ${PROJECT_SOURCE_DIR}/src)

add_subdirectory(src/platform/win32)

# The runtime layer builds here once it compiles for Windows: today its
# code page conversion still calls iconv, which Windows lacks, and on
# 32-bit targets its software extended arithmetic needs a 128-bit integer
# type that they do not have. Both are looked for, so the layer joins the
# build by itself when they are gone.
file(GLOB qmk_runtime_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/runtime/*.cpp)
file(GLOB qmk_runtime_files ${PROJECT_SOURCE_DIR}/src/runtime/*.cpp ${PROJECT_SOURCE_DIR}/src/runtime/*.h)
set(qmk_runtime_blockers)
foreach(file IN LISTS qmk_runtime_files)
  file(STRINGS ${file} found REGEX "#include <(iconv|unistd|langinfo)\\.h>")
  if(found)
    list(APPEND qmk_runtime_blockers "POSIX headers")
  endif()
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    file(STRINGS ${file} found REGEX "__int128")
    if(found)
      list(APPEND qmk_runtime_blockers "__int128")
    endif()
  endif()
endforeach()
list(REMOVE_DUPLICATES qmk_runtime_blockers)
if(NOT qmk_runtime_blockers)
  add_library(qmk_runtime STATIC ${qmk_runtime_sources})
  target_link_libraries(qmk_runtime PUBLIC qmk_platform)
else()
  list(JOIN qmk_runtime_blockers ", " qmk_runtime_blockers)
  message(STATUS "runtime layer: not built for Windows yet (it uses ${qmk_runtime_blockers})")
endif()

if(QMK_TESTS)
  enable_testing()
  # GoogleTest from Debian's sources (package googletest), built with the
  # cross compiler; our warning flags are not its business.
  set(QMK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for Windows")
  if(NOT EXISTS ${QMK_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "no GoogleTest sources in ${QMK_GOOGLETEST_SOURCE} (install googletest)")
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  get_directory_property(qmk_saved_options COMPILE_OPTIONS)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
  add_subdirectory(${QMK_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set_directory_properties(PROPERTIES COMPILE_OPTIONS "${qmk_saved_options}")
  # The names the Linux build gets from find_package(GTest).
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()

  add_subdirectory(tests/platform/win32)

  # A machine that cannot run the build's programs skips their tests rather
  # than failing them: the emulator's answer when the loader itself cannot
  # be executed (here: a Windows program, which Linux refuses as a 32-bit
  # Wine loader is refused without ia32 emulation).
  add_test(NAME EmulatorSkipsWhereProgramsCannotRun
    COMMAND bash -c [=[out=$(QMK_WINE_LOADER="$1" bash "$2" --build "$3" --arch win32 "$1" 2>&1)
status=$?
echo "$out"
[ $status -eq 77 ] && [[ $out == "skipped: this machine cannot run 32-bit programs ("*")" ]]]=]
      _ $<TARGET_FILE:qmk_win32_probe> ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh ${PROJECT_BINARY_DIR})
  set_tests_properties(EmulatorSkipsWhereProgramsCannotRun PROPERTIES LABELS wine TIMEOUT 60)
endif()
