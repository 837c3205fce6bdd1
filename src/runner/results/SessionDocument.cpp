#include "runner/results/SessionDocument.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "runner/results/ResultsStatistics.h"
#include "runner/results/SessionStore.h"

namespace qmk::results {

namespace {

using Json = nlohmann::json;

constexpr std::size_t MaxRuns = 100000;
constexpr std::size_t MaxSamples = 3600;
constexpr std::size_t MaxTags = 64;
constexpr std::size_t MaxNameBytes = 256;
constexpr std::size_t MaxLabelBytes = 1024;
constexpr std::size_t MaxTextBytes = 4096;
constexpr int MaxPhaseSeconds = 3600;
constexpr const char* OlderFormatName = "qmk-run 1.0.0 --json";

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
    throw DocumentError(path + ": " + what);
}

std::string Kind(const Json& value) {
    switch (value.type()) {
        case Json::value_t::null: return "null";
        case Json::value_t::boolean: return "true or false";
        case Json::value_t::string: return "a text";
        case Json::value_t::array: return "a list";
        case Json::value_t::object: return "an object";
        case Json::value_t::number_float: return "a number with a fraction";
        default: return "a number";
    }
}

// A field of an object as the reader walks the document, with the path
// that error messages name ("runs[2].cpu.samples[1]").
class Field {
public:
    Field(const Json* value, std::string path) : value_(value), path_(std::move(path)) {}

    bool Missing() const { return value_ == nullptr || value_->is_null(); }
    const std::string& Path() const { return path_; }

    Field operator[](const char* name) const {
        const std::string path = path_.empty() ? name : path_ + "." + name;
        if (value_ == nullptr || !value_->is_object()) return Field(nullptr, path);
        const auto found = value_->find(name);
        return Field(found == value_->end() ? nullptr : &*found, path);
    }

    const Json& Object() const {
        if (value_ == nullptr) Fail(path_, "missing");
        if (!value_->is_object()) Fail(path_, "must be an object, got " + Kind(*value_));
        return *value_;
    }

    std::vector<Field> List(std::size_t most, bool allowEmpty = true) const {
        if (value_ == nullptr) Fail(path_, "missing");
        if (!value_->is_array()) Fail(path_, "must be a list, got " + Kind(*value_));
        if (value_->size() > most) {
            Fail(path_, "has " + std::to_string(value_->size()) + " entries, at most " + std::to_string(most) +
                            " allowed");
        }
        if (!allowEmpty && value_->empty()) Fail(path_, "must not be empty");
        std::vector<Field> items;
        for (std::size_t i = 0; i < value_->size(); ++i) {
            items.emplace_back(&(*value_)[i], path_ + "[" + std::to_string(i) + "]");
        }
        return items;
    }

    std::string Text(std::size_t most = MaxTextBytes) const {
        if (Missing()) Fail(path_, "missing");
        if (!value_->is_string()) Fail(path_, "must be a text, got " + Kind(*value_));
        const std::string& text = value_->get_ref<const std::string&>();
        if (text.size() > most) {
            Fail(path_, "is " + std::to_string(text.size()) + " bytes long, at most " + std::to_string(most) +
                            " allowed");
        }
        return text;
    }

    std::optional<std::string> OptionalText(std::size_t most = MaxTextBytes) const {
        if (Missing()) return std::nullopt;
        return Text(most);
    }

    std::int64_t Whole(std::int64_t low, std::int64_t high) const {
        if (Missing()) Fail(path_, "missing");
        std::int64_t number = 0;
        bool whole = false;
        if (value_->is_number_integer()) {
            if (value_->is_number_unsigned() &&
                value_->get<std::uint64_t>() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                Fail(path_, "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                                ", got " + value_->dump());
            }
            number = value_->get<std::int64_t>();
            whole = true;
        } else if (value_->is_number_float()) {
            // 12.0 is a whole number that a writer happened to print so.
            const double d = value_->get<double>();
            if (std::isfinite(d) && d == std::floor(d) && std::abs(d) < 9e15) {
                number = static_cast<std::int64_t>(d);
                whole = true;
            }
        }
        if (!whole || number < low || number > high) {
            Fail(path_, "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                            ", got " + (value_->is_string() ? "a text" : value_->dump()));
        }
        return number;
    }

    std::optional<std::int64_t> OptionalWhole(std::int64_t low, std::int64_t high) const {
        if (Missing()) return std::nullopt;
        return Whole(low, high);
    }

    std::optional<double> OptionalNumber(double low, double high) const {
        if (Missing()) return std::nullopt;
        if (!value_->is_number()) Fail(path_, "must be a number, got " + Kind(*value_));
        const double number = value_->get<double>();
        if (!(number >= low && number <= high)) {
            Fail(path_, "must be a number from " + Plain(low) + " to " + Plain(high) + ", got " + value_->dump());
        }
        return number;
    }

    std::optional<bool> OptionalBool() const {
        if (Missing()) return std::nullopt;
        if (!value_->is_boolean()) Fail(path_, "must be true or false, got " + Kind(*value_));
        return value_->get<bool>();
    }

private:
    static std::string Plain(double value) {
        const Json json = value;
        return json.dump();
    }

    const Json* value_;
    std::string path_;
};

constexpr std::int64_t MaxScore = std::numeric_limits<std::int32_t>::max();

std::optional<std::string> Timestamp(const Field& field) {
    std::optional<std::string> text = field.OptionalText(64);
    if (text && !UtcMilliseconds(*text)) {
        Fail(field.Path(), "must be a UTC time as 2026-12-08T01:15:02.123Z, got '" + *text + "'");
    }
    return text;
}

TestResult ReadTest(const Field& field, bool samples) {
    field.Object();
    TestResult test;
    test.Score = static_cast<std::int32_t>(field["score"].Whole(0, MaxScore));
    test.Percent = field["percent"].OptionalNumber(0, std::numeric_limits<double>::max());
    test.PercentText = field["percent_text"].OptionalText(64).value_or("");
    test.Line = field["line"].OptionalText(MaxTextBytes).value_or("");
    if (samples && !field["samples"].Missing()) {
        for (const Field& sample : field["samples"].List(MaxSamples)) {
            test.Samples.push_back(sample.Whole(0, MaxScore));
        }
    }
    return test;
}

Environment ReadEnvironment(const Field& field) {
    Environment env;
    if (field.Missing()) return env;
    field.Object();
    const Field server = field["x_server"];
    if (!server.Missing()) {
        server.Object();
        env.Display = server["display"].OptionalText(MaxNameBytes);
        env.PrivateServer = server["private"].OptionalBool();
        env.ServerVendor = server["vendor"].OptionalText();
        env.VendorRelease = server["vendor_release"].OptionalWhole(std::numeric_limits<std::int64_t>::min(),
                                                                   std::numeric_limits<std::int64_t>::max());
        if (auto depth = server["depth"].OptionalWhole(0, 64)) env.Depth = static_cast<int>(*depth);
        env.VisualClass = server["visual_class"].OptionalText(MaxNameBytes);
        if (auto width = server["width"].OptionalWhole(0, 1 << 20)) env.ScreenWidth = static_cast<int>(*width);
        if (auto height = server["height"].OptionalWhole(0, 1 << 20)) env.ScreenHeight = static_cast<int>(*height);
    }
    if (auto dpi = field["dpi"].OptionalWhole(0, 10000)) env.Dpi = static_cast<int>(*dpi);
    const Field locale = field["locale"];
    if (!locale.Missing()) {
        locale.Object();
        env.Locale = locale["name"].OptionalText();
        env.TimePattern = locale["time_pattern"].OptionalText(MaxNameBytes);
        env.DecimalSeparator = locale["decimal_separator"].OptionalText(16);
    }
    env.Processor = field["processor"].OptionalText();
    if (auto count = field["processors"].OptionalWhole(1, 1 << 20)) env.Processors = static_cast<int>(*count);
    env.LoadAverage = field["load_average_1min"].OptionalNumber(0, 1e9);
    env.PixelAccess = field["pixel_access"].OptionalText(MaxNameBytes);
    return env;
}

Build ReadBuild(const Field& field) {
    Build build;
    if (field.Missing()) return build;
    field.Object();
    build.Type = field["type"].OptionalText(MaxNameBytes).value_or("");
    build.Compiler = field["compiler"].OptionalText(MaxNameBytes).value_or("");
    build.Flags = field["flags"].OptionalText().value_or("");
    return build;
}

Json Optional(const std::optional<std::string>& value) { return value ? Json(*value) : Json(nullptr); }
template <typename T>
Json OptionalNumber(const std::optional<T>& value) {
    return value ? Json(*value) : Json(nullptr);
}

// No samples is written as null: the document had none (qmk-run 1.0.0),
// not a test that counted nothing.
nlohmann::ordered_json TestJson(const TestResult& test) {
    nlohmann::ordered_json json = {{"score", test.Score},
                                   {"percent", OptionalNumber(test.Percent)},
                                   {"percent_text", test.PercentText},
                                   {"line", test.Line}};
    json["samples"] = test.Samples.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(test.Samples);
    return json;
}

nlohmann::ordered_json FiguresJson(const Figures& figures) {
    return {{"mean", figures.Mean},
            {"median", figures.Median},
            {"min", figures.Minimum},
            {"max", figures.Maximum},
            {"stddev", OptionalNumber(figures.StandardDeviation)}};
}

}  // namespace

std::optional<std::int64_t> UtcMilliseconds(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS[.f{1,9}]Z
    const auto digits = [&](std::size_t at, std::size_t count, int& value) {
        if (at + count > text.size()) return false;
        value = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            if (text[i] < '0' || text[i] > '9') return false;
            value = value * 10 + (text[i] - '0');
        }
        return true;
    };
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!digits(0, 4, year) || text.size() < 20 || text[4] != '-' || !digits(5, 2, month) || text[7] != '-' ||
        !digits(8, 2, day) || text[10] != 'T' || !digits(11, 2, hour) || text[13] != ':' ||
        !digits(14, 2, minute) || text[16] != ':' || !digits(17, 2, second)) {
        return std::nullopt;
    }
    std::size_t at = 19;
    int milliseconds = 0;
    if (text[at] == '.') {
        std::size_t end = at + 1;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        const std::size_t count = end - at - 1;
        if (count < 1 || count > 9) return std::nullopt;
        int scale = 100;
        for (std::size_t i = at + 1; i < end && i < at + 4; ++i, scale /= 10) milliseconds += (text[i] - '0') * scale;
        at = end;
    }
    if (at + 1 != text.size() || text[at] != 'Z') return std::nullopt;
    using namespace std::chrono;
    const year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                              std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok() || hour > 23 || minute > 59 || second > 60) return std::nullopt;
    const std::int64_t days = sys_days(date).time_since_epoch().count();
    return ((days * 24 + hour) * 60 + minute) * 60000 + static_cast<std::int64_t>(second) * 1000 + milliseconds;
}

std::int64_t SessionStartMilliseconds(const Session& session) {
    if (session.StartedUtc) {
        if (auto ms = UtcMilliseconds(*session.StartedUtc)) return *ms;
    }
    if (session.Id.size() >= 16) {
        const std::string& id = session.Id;
        const std::string text = id.substr(0, 4) + "-" + id.substr(4, 2) + "-" + id.substr(6, 2) + "T" +
                                 id.substr(9, 2) + ":" + id.substr(11, 2) + ":" + id.substr(13, 2) + "Z";
        if (auto ms = UtcMilliseconds(text)) return *ms;
    }
    return 0;
}

std::string UtcText(std::int64_t milliseconds) {
    using namespace std::chrono;
    const sys_time<std::chrono::milliseconds> time{std::chrono::milliseconds{milliseconds}};
    const auto day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss clock(floor<seconds>(time - day));
    char buffer[40];
    std::snprintf(buffer, sizeof(buffer), "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return buffer;
}

Session ReadSessionDocument(std::string_view text, const ReadOptions& options) {
    if (text.size() > MaxDocumentBytes) {
        throw DocumentError("is " + std::to_string(text.size()) + " bytes long, more than a session document has");
    }
    Json document;
    try {
        document = Json::parse(text.begin(), text.end());
    } catch (const Json::parse_error& error) {
        // "parse error at line 3, column 7: syntax error ..." without the
        // library's own prefix.
        std::string what = error.what();
        const std::size_t at = what.find("parse error");
        throw DocumentError("not JSON (" + (at == std::string::npos ? what : what.substr(at)) + ")");
    }
    const Field root(&document, "");
    if (!document.is_object()) throw DocumentError("not a session document (the top level is " + Kind(document) + ")");

    Session session;
    const bool older = !document.contains("schema") && !document.contains("session");
    if (older) {
        // qmk-run 1.0.0's --json: its program, runs, environment and
        // build; nothing more is made up for it.
        const Field program = root["program"];
        if (program.Missing() || program["name"].OptionalText(MaxNameBytes) != "qmk-run" || root["runs"].Missing()) {
            throw DocumentError("not a session document (no \"schema\", and not the output of qmk-run --json)");
        }
        if (!options.AcceptOlderFormat) {
            throw DocumentError(
                "the output of qmk-run 1.0.0 --json, not a saved session (bring it in with qmk-results import)");
        }
        session.FromOlderFormat = true;
        session.Id = options.OlderFormatId;
        session.Machine = options.OlderFormatMachine;
    } else {
        const Field version = root["schema_version"];
        if (root["schema"].OptionalText(MaxNameBytes) != std::optional<std::string>(SchemaName)) {
            Fail("schema", std::string("must be \"") + SchemaName + "\"");
        }
        // Before anything else: a newer schema may have changed any field.
        const std::int64_t number = version.Whole(1, std::numeric_limits<std::int32_t>::max());
        if (number > SchemaVersion) {
            throw DocumentError("written by a newer version of qmk (schema version " + std::to_string(number) +
                                "); this qmk-results reads version " + std::to_string(SchemaVersion));
        }
        const Field facts = root["session"];
        facts.Object();
        session.Id = facts["id"].Text(64);
        if (!IsSessionId(session.Id)) {
            Fail("session.id", "must be a session id as 20261208T011502Z-8f3a2c1d, got '" + session.Id + "'");
        }
        session.Machine = facts["machine"].Text(MaxNameBytes);
        if (session.Machine.empty()) Fail("session.machine", "must not be empty");
        session.Label = facts["label"].OptionalText(MaxLabelBytes);
        if (!facts["tags"].Missing()) {
            for (const Field& tag : facts["tags"].List(MaxTags)) session.Tags.push_back(tag.Text(MaxNameBytes));
        }
        session.StartedUtc = Timestamp(facts["started_utc"]);
        session.WallSeconds = facts["wall_seconds"].OptionalNumber(0, 1e9);
        session.FromOlderFormat = facts["imported_from"].OptionalText(MaxNameBytes) == OlderFormatName;
        const Field phases = root["phases"];
        if (!phases.Missing()) {
            phases.Object();
            if (auto s = phases["cpu_seconds"].OptionalWhole(1, MaxPhaseSeconds)) session.CpuSeconds = static_cast<int>(*s);
            if (auto s = phases["video_seconds"].OptionalWhole(1, MaxPhaseSeconds)) {
                session.VideoSeconds = static_cast<int>(*s);
            }
        }
    }
    const Field program = root["program"];
    program.Object();
    session.ProgramName = program["name"].Text(MaxNameBytes);
    session.ProgramVersion = program["version"].Text(64);

    for (const Field& item : root["runs"].List(MaxRuns, false)) {
        item.Object();
        Run run;
        run.Cpu = ReadTest(item["cpu"], !older);
        run.Video = ReadTest(item["video"], !older);
        run.LoadAverage = item["load_average_1min"].OptionalNumber(0, 1e9);
        run.StartedUtc = Timestamp(item["started_utc"]);
        run.WallSeconds = item["wall_seconds"].OptionalNumber(0, 1e9);
        session.Runs.push_back(std::move(run));
    }
    session.Env = ReadEnvironment(root["environment"]);
    session.BuildFacts = ReadBuild(root["build"]);
    return session;
}

nlohmann::ordered_json SessionToJson(const Session& session) {
    nlohmann::ordered_json json;
    json["schema"] = SchemaName;
    json["schema_version"] = SchemaVersion;
    json["program"] = {{"name", session.ProgramName}, {"version", session.ProgramVersion}};
    json["session"] = {{"id", session.Id},
                       {"machine", session.Machine},
                       {"label", Optional(session.Label)},
                       {"tags", session.Tags},
                       {"started_utc", Optional(session.StartedUtc)},
                       {"wall_seconds", OptionalNumber(session.WallSeconds)}};
    // Said so that show can tell why the samples and the session's own
    // facts are missing.
    if (session.FromOlderFormat) json["session"]["imported_from"] = OlderFormatName;
    json["phases"] = {{"cpu_seconds", OptionalNumber(session.CpuSeconds)},
                      {"video_seconds", OptionalNumber(session.VideoSeconds)}};
    nlohmann::ordered_json runs = nlohmann::ordered_json::array();
    for (const Run& run : session.Runs) {
        runs.push_back({{"cpu", TestJson(run.Cpu)},
                        {"video", TestJson(run.Video)},
                        {"load_average_1min", OptionalNumber(run.LoadAverage)},
                        {"started_utc", Optional(run.StartedUtc)},
                        {"wall_seconds", OptionalNumber(run.WallSeconds)}});
    }
    json["runs"] = runs;
    nlohmann::ordered_json summary = {{"count", session.Runs.size()}, {"stddev_kind", "sample (n - 1)"}};
    for (const ScoreKind kind : ScoreKinds) {
        if (auto figures = ScoreFigures(session, kind)) summary[ScoreKindName(kind)] = FiguresJson(*figures);
    }
    json["summary"] = summary;
    const Environment& env = session.Env;
    json["environment"] = {
        {"x_server",
         {{"display", Optional(env.Display)},
          {"private", OptionalNumber(env.PrivateServer)},
          {"vendor", Optional(env.ServerVendor)},
          {"vendor_release", OptionalNumber(env.VendorRelease)},
          {"depth", OptionalNumber(env.Depth)},
          {"visual_class", Optional(env.VisualClass)},
          {"width", OptionalNumber(env.ScreenWidth)},
          {"height", OptionalNumber(env.ScreenHeight)}}},
        {"dpi", OptionalNumber(env.Dpi)},
        {"locale",
         {{"name", Optional(env.Locale)},
          {"time_pattern", Optional(env.TimePattern)},
          {"decimal_separator", Optional(env.DecimalSeparator)}}},
        {"processor", Optional(env.Processor)},
        {"processors", OptionalNumber(env.Processors)},
        {"load_average_1min", OptionalNumber(env.LoadAverage)},
        {"pixel_access", Optional(env.PixelAccess)}};
    json["build"] = {{"type", session.BuildFacts.Type},
                     {"compiler", session.BuildFacts.Compiler},
                     {"flags", session.BuildFacts.Flags}};
    return json;
}

}  // namespace qmk::results
