#include "runner/results/Comparability.h"

#include <cstdint>

namespace qmk::results {

namespace {

constexpr const char* Unknown = "unknown";

template <typename T>
std::string OrUnknown(const std::optional<T>& value) {
    if (!value) return Unknown;
    if constexpr (std::is_same_v<T, std::string>) {
        return *value;
    } else {
        return std::to_string(*value);
    }
}

}  // namespace

ComparabilityKey KeyOf(const Session& session) {
    return {session.ProgramVersion,         session.BuildFacts.Type,        session.BuildFacts.Flags,
            OrUnknown(session.Env.PixelAccess), OrUnknown(session.CpuSeconds), OrUnknown(session.VideoSeconds),
            OrUnknown(session.Env.Depth)};
}

std::vector<std::string> KeyDifferences(const ComparabilityKey& base, const ComparabilityKey& other) {
    std::vector<std::string> differences;
    const auto check = [&](const char* what, const std::string& a, const std::string& b) {
        if (a != b) differences.push_back(std::string(what) + ": '" + a + "' / '" + b + "'");
    };
    check("program version", base.Version, other.Version);
    check("build type", base.BuildType, other.BuildType);
    check("build flags", base.Flags, other.Flags);
    check("pixel access", base.PixelAccess, other.PixelAccess);
    check("CPU test seconds", base.CpuSeconds, other.CpuSeconds);
    check("video test seconds", base.VideoSeconds, other.VideoSeconds);
    check("display depth", base.Depth, other.Depth);
    return differences;
}

std::string GroupName(const ComparabilityKey& key) {
    // FNV-1a over the fields, each ended by a zero byte so that moving
    // text from one field to the next changes the name.
    std::uint32_t hash = 2166136261u;
    for (const std::string* field : {&key.Version, &key.BuildType, &key.Flags, &key.PixelAccess, &key.CpuSeconds,
                                     &key.VideoSeconds, &key.Depth}) {
        for (const char c : *field) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        hash = (hash ^ 0u) * 16777619u;
    }
    static constexpr char Digits[] = "0123456789abcdef";
    std::string name = "g";
    for (int shift = 20; shift >= 0; shift -= 4) name += Digits[(hash >> shift) & 0xFu];
    return name;
}

}  // namespace qmk::results
