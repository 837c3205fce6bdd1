// Which sessions' scores may be compared at all: the same program
// version, build type and flags, the same way to the CPU test's pixels,
// the same phase lengths and the same display depth. Scores across any of
// these differ for reasons other than the machine.
#pragma once

#include <string>
#include <vector>

#include "runner/results/Session.h"

namespace qmk::results {

struct ComparabilityKey {
    std::string Version;
    std::string BuildType;
    std::string Flags;
    std::string PixelAccess;  // "unknown" when the document did not say
    std::string CpuSeconds;   // "unknown" when the document did not say
    std::string VideoSeconds;
    std::string Depth;

    bool operator==(const ComparabilityKey&) const = default;
};

ComparabilityKey KeyOf(const Session& session);

// The differences, one text each: "program version: 1.0.0 / 1.1.0".
std::vector<std::string> KeyDifferences(const ComparabilityKey& base, const ComparabilityKey& other);

// A short name for the group of sessions with this key, the same on every
// machine and in every run of the program: "g" and six hex digits.
std::string GroupName(const ComparabilityKey& key);

}  // namespace qmk::results
