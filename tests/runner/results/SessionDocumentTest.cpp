#include "runner/results/SessionDocument.h"

#include <gtest/gtest.h>

#include "runner/results/SessionSamples.h"

namespace qmk::results {
namespace {

using testing::FullSession;

std::string Text(const Session& session) { return SessionToJson(session).dump(2); }

TEST(SessionDocument, RoundTripKeepsEveryField) {
    const Session session = FullSession();
    EXPECT_EQ(ReadSessionDocument(Text(session)), session);
}

TEST(SessionDocument, MissingValuesStayMissing) {
    Session session = FullSession();
    session.Label.reset();
    session.Tags.clear();
    session.Runs[0].LoadAverage.reset();
    session.Runs[0].Cpu.Percent.reset();
    session.Runs[1].StartedUtc.reset();
    session.Env = {};
    const Session read = ReadSessionDocument(Text(session));
    EXPECT_EQ(read, session);
    EXPECT_FALSE(read.Runs[0].LoadAverage.has_value());
    EXPECT_FALSE(read.Env.Depth.has_value());
}

TEST(SessionDocument, WhatTheFormatDescriptionShowsIsRead) {
    // The example document, as qmk-run writes it (summary left out: the
    // reader works it out again from the runs).
    const char* text = R"({
      "schema": "qmk-session", "schema_version": 1,
      "program": {"name": "qmk-run", "version": "1.1.0"},
      "session": {"id": "20261208T011502Z-8f3a2c1d", "machine": "host-name", "label": null,
                  "tags": [], "started_utc": "2026-12-08T01:15:02.123Z", "wall_seconds": 17.412},
      "phases": {"cpu_seconds": 2, "video_seconds": 3},
      "runs": [{"cpu": {"score": 123, "percent": 6.17, "percent_text": "6.17", "line": "x", "samples": [120, 126]},
                "video": {"score": 456, "percent": 19.24, "percent_text": "19.24", "line": "y",
                          "samples": [450, 460, 455]},
                "load_average_1min": 0.42, "started_utc": "2026-12-08T01:15:03.120Z", "wall_seconds": 5.873}],
      "summary": {"count": 1},
      "environment": {"x_server": {"depth": 16}, "dpi": 96, "processors": 2, "pixel_access": "gdi",
                      "future_field": [1, 2]},
      "build": {"type": "Release", "compiler": "GNU 12.2.0", "flags": "-O2 -DNDEBUG"},
      "added_later": {"readers": "ignore it"}
    })";
    const Session s = ReadSessionDocument(text);
    EXPECT_EQ(s.Id, "20261208T011502Z-8f3a2c1d");
    EXPECT_FALSE(s.Label.has_value());
    ASSERT_EQ(s.Runs.size(), 1u);
    EXPECT_EQ(s.Runs[0].Cpu.Samples, (std::vector<std::int64_t>{120, 126}));
    EXPECT_EQ(s.Runs[0].Video.Score, 456);
    EXPECT_EQ(s.Env.Depth, 16);
    EXPECT_EQ(s.Env.PixelAccess, "gdi");
    EXPECT_EQ(*UtcMilliseconds(*s.StartedUtc), 1796692502123);
}

TEST(SessionDocument, BadFieldsAreNamedWithTheReason) {
    const struct {
        const char* pointer;
        nlohmann::json value;
        const char* message;
    } table[] = {
        {"/schema_version", 2, "written by a newer version of qmk (schema version 2); this qmk-results reads version 1"},
        {"/schema_version", "1", "schema_version: must be a whole number from 1 to"},
        {"/schema_version", 0, "schema_version: must be a whole number from 1"},
        {"/schema", "other", "schema: must be \"qmk-session\""},
        {"/session/id", "../../x", "session.id: must be a session id"},
        {"/session/machine", "", "session.machine: must not be empty"},
        {"/session/machine", 7, "session.machine: must be a text, got a number"},
        {"/session/label", std::string(1025, 'x'), "session.label: is 1025 bytes long, at most 1024 allowed"},
        {"/session/tags", "x", "session.tags: must be a list, got a text"},
        {"/session/started_utc", "yesterday", "session.started_utc: must be a UTC time"},
        {"/runs", nlohmann::json::array(), "runs: must not be empty"},
        {"/runs/1/cpu/score", -1, "runs[1].cpu.score: must be a whole number from 0 to 2147483647, got -1"},
        {"/runs/1/cpu/score", 2147483648LL, "runs[1].cpu.score: must be a whole number from 0 to 2147483647"},
        {"/runs/0/video/score", 1.5, "runs[0].video.score: must be a whole number"},
        {"/runs/0/video/score", nullptr, "runs[0].video.score: missing"},
        {"/runs/0/video/samples/2", "455", "runs[0].video.samples[2]: must be a whole number"},
        {"/runs/0/cpu/samples", nlohmann::json(std::vector<int>(3601, 1)), "runs[0].cpu.samples: has 3601 entries"},
        {"/runs/0/load_average_1min", -0.5, "runs[0].load_average_1min: must be a number from 0"},
        {"/runs/0/cpu", 5, "runs[0].cpu: must be an object, got a number"},
        {"/phases/cpu_seconds", 0, "phases.cpu_seconds: must be a whole number from 1 to 3600"},
        {"/environment/x_server/depth", "24", "environment.x_server.depth: must be a whole number"},
        {"/environment/pixel_access", false, "environment.pixel_access: must be a text"},
        {"/program", "qmk-run", "program: must be an object"},
    };
    for (const auto& row : table) {
        nlohmann::json document = nlohmann::json::parse(Text(FullSession()));
        document[nlohmann::json::json_pointer(row.pointer)] = row.value;
        try {
            ReadSessionDocument(document.dump());
            ADD_FAILURE() << "accepted " << row.pointer;
        } catch (const DocumentError& error) {
            EXPECT_NE(std::string(error.what()).find(row.message), std::string::npos)
                << row.pointer << ": " << error.what();
        }
    }
}

TEST(SessionDocument, WhatIsNotADocumentSaysSo) {
    const struct {
        std::string text;
        const char* message;
    } table[] = {
        {"", "not JSON"},
        {"{\"schema\": \"qmk-session\", \"schema_ver", "not JSON (parse error at line 1, column 38"},
        {"[1, 2]", "not a session document (the top level is a list)"},
        {"{\"a\": 1}", "not a session document (no \"schema\""},
        {"{\"schema\": \"qmk-session\", \"schema_version\": 1, \"session\": \"\xff\"}", "not JSON"},
        {std::string(MaxDocumentBytes + 1, ' '), "bytes long, more than a session document has"},
    };
    for (const auto& row : table) {
        try {
            ReadSessionDocument(row.text);
            ADD_FAILURE() << "accepted " << row.text.substr(0, 40);
        } catch (const DocumentError& error) {
            EXPECT_NE(std::string(error.what()).find(row.message), std::string::npos) << error.what();
        }
    }
}

// qmk-run 1.0.0 --json: no schema, no session, no samples.
constexpr const char* OlderDocument = R"json({
  "program": {"name": "qmk-run", "version": "1.0.0"},
  "runs": [{"cpu": {"score": 123, "percent": 6.17, "percent_text": "6,17", "line": "a"},
            "video": {"score": 456, "percent": 19.24, "percent_text": "19,24", "line": "b"},
            "load_average_1min": null}],
  "summary": {"count": 1, "stddev_kind": "sample (n - 1)"},
  "environment": {"x_server": {"display": ":1", "private": true, "vendor": "v", "vendor_release": 1, "depth": 24,
                               "visual_class": "TrueColor", "width": 1280, "height": 1024},
                  "dpi": 96, "locale": {"name": "C", "time_pattern": "H:mm:ss", "decimal_separator": ","},
                  "processor": null, "processors": 2, "load_average_1min": 0.5},
  "build": {"type": "Release", "compiler": "GNU 12.2.0", "flags": "-O2 -DNDEBUG"}
})json";

TEST(SessionDocument, TheOlderFormatOnlyThroughImportAndNothingInvented) {
    EXPECT_THROW(ReadSessionDocument(OlderDocument), DocumentError);
    ReadOptions options;
    options.AcceptOlderFormat = true;
    options.OlderFormatId = "20261208T011502Z-00000001";
    const Session s = ReadSessionDocument(OlderDocument, options);
    EXPECT_TRUE(s.FromOlderFormat);
    EXPECT_EQ(s.Id, "20261208T011502Z-00000001");
    EXPECT_EQ(s.Machine, "unknown");
    EXPECT_EQ(s.ProgramVersion, "1.0.0");
    EXPECT_TRUE(s.Runs[0].Cpu.Samples.empty());
    EXPECT_FALSE(s.Runs[0].LoadAverage.has_value());
    EXPECT_FALSE(s.Runs[0].StartedUtc.has_value());
    EXPECT_FALSE(s.StartedUtc.has_value());
    EXPECT_FALSE(s.CpuSeconds.has_value());
    EXPECT_FALSE(s.Env.PixelAccess.has_value());
    EXPECT_FALSE(s.Env.Processor.has_value());
    EXPECT_EQ(s.Env.Depth, 24);
    // Saved as a document of the current schema, it reads back the same,
    // with its samples still missing rather than empty lists of zeros.
    const nlohmann::ordered_json saved = SessionToJson(s);
    EXPECT_TRUE(saved["runs"][0]["cpu"]["samples"].is_null());
    EXPECT_EQ(ReadSessionDocument(saved.dump()), s);
}

TEST(UtcMilliseconds, TheFormsOfAUtcTime) {
    const struct {
        const char* text;
        std::optional<std::int64_t> ms;
    } table[] = {
        {"1970-01-01T00:00:00Z", 0},
        {"1970-01-01T00:00:01.5Z", 1500},
        {"2026-12-08T01:15:02.123Z", 1796692502123},
        {"2026-12-08T01:15:02.123456789Z", 1796692502123},
        {"2024-02-29T00:00:00Z", 1709164800000},
        {"2023-02-29T00:00:00Z", std::nullopt},
        {"2026-12-08T01:15:02", std::nullopt},
        {"2026-12-08T01:15:02.Z", std::nullopt},
        {"2026-12-08 01:15:02Z", std::nullopt},
        {"2026-12-08T24:15:02Z", std::nullopt},
        {"2026-12-08T01:15:02+01:00", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& row : table) EXPECT_EQ(UtcMilliseconds(row.text), row.ms) << row.text;
    EXPECT_EQ(UtcText(1796692502123), "2026-12-08 01:15:02");
}

}  // namespace
}  // namespace qmk::results
