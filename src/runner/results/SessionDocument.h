// The saved-session document (schema "qmk-session", version 1) read into
// the model with every field checked, and the model written back as one.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "runner/results/Session.h"

namespace qmk::results {

inline constexpr const char* SchemaName = "qmk-session";
inline constexpr int SchemaVersion = 1;
// Far above what a session of thousands of runs writes; a bigger file is
// not one of ours, and reading it whole would only cost memory.
inline constexpr std::size_t MaxDocumentBytes = 16u << 20;

// A document that cannot be used; what() says which field and why,
// "runs[2].cpu.score: must be a whole number from 0 to 2147483647, got -1".
// The caller puts the file's name in front.
class DocumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ReadOptions {
    // Accept qmk-run 1.0.0's --json (no schema): only import does.
    bool AcceptOlderFormat = false;
    // For such a document: the id to give it and the machine it came from.
    std::string OlderFormatId;
    std::string OlderFormatMachine = "unknown";
};

// Throws DocumentError.
Session ReadSessionDocument(std::string_view text, const ReadOptions& options = {});

// The model as a document of the current schema (what import saves for a
// document of the older format, and what export --format json writes).
nlohmann::ordered_json SessionToJson(const Session& session);

// "2026-12-08T01:15:02.123Z" (the fraction optional, 1 to 9 digits) as
// milliseconds since 1970 UTC; nothing for any other form.
std::optional<std::int64_t> UtcMilliseconds(std::string_view text);

// The session's start: started_utc, or without it the time in its id.
std::int64_t SessionStartMilliseconds(const Session& session);

// "2026-12-08 01:15:02" of milliseconds since 1970 UTC.
std::string UtcText(std::int64_t milliseconds);

}  // namespace qmk::results
