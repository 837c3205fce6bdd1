# What the Windows build (a MinGW-w64 toolchain file, cmake/toolchains/
# mingw-*.cmake) needs before the common target list: the same layers and
# programs are built, on the Win32 backend, and the tests run under Wine.
if(QMK_SANITIZE OR QMK_FUZZ)
  message(FATAL_ERROR "the sanitizer and fuzzer builds are Linux builds")
endif()
if(NOT QMK_PLATFORM STREQUAL "win32")
  message(FATAL_ERROR "a Windows build has the win32 backend, not '${QMK_PLATFORM}'")
endif()

# nlohmann_json is headers only: Debian's copy serves the cross build too,
# although it lies outside the MinGW root the toolchain searches.
# Its target names /usr/include, whose C headers would shadow MinGW's, so it
# gets a folder of its own that holds only the library's.
find_package(nlohmann_json REQUIRED PATHS /usr/share/cmake /usr/lib/cmake NO_CMAKE_FIND_ROOT_PATH)
get_target_property(qmk_json_includes nlohmann_json::nlohmann_json INTERFACE_INCLUDE_DIRECTORIES)
find_path(qmk_json_header nlohmann/json.hpp PATHS ${qmk_json_includes} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT qmk_json_header)
  message(FATAL_ERROR "nlohmann/json.hpp not found in ${qmk_json_includes}")
endif()
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/json-include)
file(CREATE_LINK ${qmk_json_header}/nlohmann ${PROJECT_BINARY_DIR}/json-include/nlohmann SYMBOLIC)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${PROJECT_BINARY_DIR}/json-include)

if(QMK_TESTS)
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
  set(GTest_FOUND TRUE)
endif()
