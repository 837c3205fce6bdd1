// How a test starts one of the programs this build made: directly, or, when
// the build is for another processor, through the emulator that runs it
// (user-mode emulation, one process per program, so process ids, signals
// and exit codes are the program's own).
#pragma once

#include <string>
#include <vector>

namespace qmk::test {

inline std::string BuiltProgramPath(const std::string& name) { return std::string(QMK_BINARY_DIR) + "/" + name; }

// argv[0] first: the program, or the emulator followed by the program.
inline std::vector<std::string> BuiltProgramCommand(const std::string& name) {
#if defined(QMK_TEST_EMULATOR)
    return {QMK_TEST_EMULATOR, BuiltProgramPath(name)};
#else
    return {BuiltProgramPath(name)};
#endif
}

}  // namespace qmk::test
