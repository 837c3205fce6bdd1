#include "runner/results/Renderers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>

#include "runner/results/Charts.h"
#include "runner/results/ResultsText.h"
#include "runner/results/SessionSamples.h"

namespace qmk::results {
namespace {

using testing::FullSession;
using testing::HostileText;

bool HasControlOrInvalid(const std::string& text, bool allowLineBreaks) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n' && allowLineBreaks) continue;
        if (c == '\r' && allowLineBreaks && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (c < 0x20 || c == 0x7F || c == 0xFF) return true;
    }
    return false;
}

TEST(VisibleText, EscapesWhatCouldActOrHide) {
    const struct {
        std::string in, out;
    } table[] = {
        {"plain ascii", "plain ascii"},
        {"日本語 ＣＰＵ", "日本語 ＣＰＵ"},
        {"a\x01" "b\x1b[31m", "a\\x01b\\x1b[31m"},
        {"tab\tnew\nline\r", "tab\\x09new\\x0aline\\x0d"},
        {"\x7f", "\\x7f"},
        {"bad \xff\xc3 end", "bad \\xff\\xc3 end"},
        {"\xc0\xaf overlong", "\\xc0\\xaf overlong"},
        {"\xed\xa0\x80 surrogate", "\\xed\\xa0\\x80 surrogate"},
        {"\u202Eevil\u200B", "\\u{202e}evil\\u{200b}"},
        {"\xc2\x9b C1", "\\u{009b} C1"},
    };
    for (const auto& row : table) EXPECT_EQ(VisibleText(row.in), row.out) << row.in;
    EXPECT_EQ(MarkupText("<a href=\"x\">&'</a>"), "&lt;a href=&quot;x&quot;&gt;&amp;&#39;&lt;/a&gt;");
}

Session Hostile() {
    Session s = FullSession();
    s.Machine = HostileText;
    s.Label = HostileText;
    s.Tags = {HostileText};
    s.ProgramVersion = "1.1.0\"} evil{\n";
    s.BuildFacts.Flags = HostileText;
    return s;
}

TEST(Renderers, HostileTextsNeverReachTheOutputAsThemselves) {
    const Session hostile = Hostile();
    const std::vector<SessionSummary> sessions = {Summarize(hostile)};
    const std::string html = HtmlReport(sessions);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("\"x\""), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(html.find("\\u{202e}evil\\xff\\xc3"), std::string::npos);
    EXPECT_FALSE(HasControlOrInvalid(html, true));

    for (const std::string& text : {ListText(sessions), ShowText(sessions[0])}) {
        EXPECT_FALSE(HasControlOrInvalid(text, true)) << text;
        EXPECT_EQ(text.find("\u202E"), std::string::npos);
    }

    // One sample of each kind per line: a line break in a label must not
    // start a new one.
    const std::string prom = PrometheusExport(sessions);
    EXPECT_FALSE(HasControlOrInvalid(prom, true));
    EXPECT_NE(prom.find("version=\"1.1.0\\\"} evil{\\\\x0a\""), std::string::npos) << prom;
    const std::string influx = InfluxExport(sessions);
    EXPECT_FALSE(HasControlOrInvalid(influx, true));
    EXPECT_NE(influx.find("qmk_run,machine=<script>alert(\"x\")</script>\\ a\\,b\\=c\\ d'e\\f\\x01"), std::string::npos)
        << influx;
    EXPECT_NE(influx.find("label=\"<script>alert(\\\"x\\\")</script> a,b=c d'e\\\\f\\\\x01"), std::string::npos)
        << influx;
}

TEST(Renderers, CsvQuotesWhatNeedsItAndLeavesMissingValuesEmpty) {
    Session s = FullSession();
    s.Label = "a \"quoted\", two\nlines";
    s.Runs[0].LoadAverage.reset();
    s.Runs[0].Cpu.Samples.clear();
    s.Runs[0].Cpu.Percent.reset();
    const std::string csv = CsvExport({Summarize(s)});
    const std::size_t firstRow = csv.find("\r\n") + 2;
    const std::string row = csv.substr(firstRow, csv.find("\r\n", csv.find("lines\"") ) - firstRow);
    EXPECT_EQ(row,
              "20261208T011502Z-8f3a2c1d,host-a,\"a \"\"quoted\"\", two\nlines\",nightly;kernel-6.1,"
              "2026-12-08T01:15:02.123Z,1.1.0,Release,-O2 -DNDEBUG,shared-memory,24,2,3," +
                  Summarize(s).Group + ",1,2026-12-08T01:15:03.120Z,5.873,,124,,,457,19.24,450 460 455");
}

TEST(Renderers, NumbersAreWrittenWithAPointInACommaLocale) {
    const char* chosen = std::setlocale(LC_ALL, "de_DE.UTF-8");
    if (chosen == nullptr) GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed (scripts/setup.sh makes it)";
    std::locale::global(std::locale("de_DE.UTF-8"));
    const Session session = FullSession();
    const std::vector<SessionSummary> sessions = {Summarize(session)};
    const std::string outputs[] = {CsvExport(sessions),   PrometheusExport(sessions), InfluxExport(sessions),
                                   JsonExport(sessions),  HtmlReport(sessions),       ShowText(sessions[0])};
    std::locale::global(std::locale::classic());
    std::setlocale(LC_ALL, "C");
    EXPECT_NE(outputs[0].find(",5.873,0.42,124,6.2248995983935"), std::string::npos) << outputs[0];
    EXPECT_NE(outputs[1].find("qmk_score_reference_percent{machine=\"host-a\",version=\"1.1.0\",score=\"video\"} " +
                              Number(457.0 / 2370 * 100) + "\n"),
              std::string::npos)
        << outputs[1];
    EXPECT_NE(outputs[2].find("load_average_1min=0.42,wall_seconds=5.873"), std::string::npos);
    EXPECT_NE(outputs[3].find("\"wall_seconds\": 17.412"), std::string::npos);
    EXPECT_NE(outputs[4].find(">6.25</td>"), std::string::npos);
    EXPECT_NE(outputs[5].find("6.25 %"), std::string::npos);
    for (const std::string& output : outputs) EXPECT_EQ(output.find("0,42"), std::string::npos);
}

TEST(Renderers, PrometheusHasOneSeriesPerMachineAndVersionFromTheLatestSession) {
    const Session older = FullSession("20261201T000000Z-00000001", "a", 100);
    const Session newer = FullSession("20261202T000000Z-00000001", "a", 200);
    const Session other = FullSession("20261201T000000Z-00000002", "b", 300);
    const std::string prom = PrometheusExport({Summarize(older), Summarize(other), Summarize(newer)});
    EXPECT_NE(prom.find("qmk_score_median{machine=\"a\",version=\"1.1.0\",score=\"cpu\"} " +
                        Number(Summarize(newer).Cpu->Median)),
              std::string::npos)
        << prom;
    EXPECT_EQ(prom.find("qmk_score_median{machine=\"a\",version=\"1.1.0\",score=\"cpu\"} " +
                        Number(Summarize(older).Cpu->Median) + "\n"),
              std::string::npos);
    std::size_t lines = 0;
    for (std::size_t at = prom.find("qmk_score_median{"); at != std::string::npos; at = prom.find("qmk_score_median{", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, 4u);  // two machines, two scores
    EXPECT_NE(prom.find("# TYPE qmk_score_median gauge\n"), std::string::npos);
}

TEST(Charts, ScaleAndTicks) {
    const Scale x{0, 200, 200, 700};
    EXPECT_DOUBLE_EQ(x.Map(0), 200);
    EXPECT_DOUBLE_EQ(x.Map(100), 450);
    EXPECT_DOUBLE_EQ(x.Map(200), 700);
    const Scale y{0, 10, 100, 0};  // upwards
    EXPECT_DOUBLE_EQ(y.Map(7.5), 25);
    const struct {
        double in, out;
    } nice[] = {{0.7, 1}, {1, 1}, {1.01, 2}, {3, 5}, {7, 10}, {105, 200}, {420, 500}, {0, 1}};
    for (const auto& row : nice) EXPECT_DOUBLE_EQ(NiceCeiling(row.in), row.out) << row.in;
    EXPECT_EQ(Ticks(0, 200, 5), (std::vector<double>{0, 50, 100, 150, 200}));
    EXPECT_EQ(Ticks(0, 1000, 4), (std::vector<double>{0, 500, 1000}));
}

TEST(Charts, MedianBarsWhiskersAndTheReferenceSitAtTheirValues) {
    const Scale x{0, 200, 200, 700};
    const Drawing d = MedianChart("t", {{"first", 50, 40, 60}, {"second", 150, 120, 180}}, x);
    ASSERT_EQ(d.Rects.size(), 2u);
    EXPECT_DOUBLE_EQ(d.Rects[0].X, 200);
    EXPECT_DOUBLE_EQ(d.Rects[0].Width, 125);  // 50 %
    EXPECT_DOUBLE_EQ(d.Rects[1].Width, 375);  // 150 %
    EXPECT_LT(d.Rects[0].Y, d.Rects[1].Y);
    std::vector<DrawLine> whiskers, references;
    for (const DrawLine& line : d.Lines) {
        if (line.Class == "whisker" && line.Y1 == line.Y2) whiskers.push_back(line);
        if (line.Class == "reference") references.push_back(line);
    }
    ASSERT_EQ(whiskers.size(), 2u);
    EXPECT_DOUBLE_EQ(whiskers[0].X1, 300);
    EXPECT_DOUBLE_EQ(whiskers[0].X2, 350);
    EXPECT_DOUBLE_EQ(whiskers[1].X1, 500);
    EXPECT_DOUBLE_EQ(whiskers[1].X2, 650);
    ASSERT_EQ(references.size(), 1u);
    EXPECT_DOUBLE_EQ(references[0].X1, 450);
    std::vector<std::string> texts;
    for (const DrawText& t : d.Texts) texts.push_back(t.Text);
    for (const char* expected : {"first", "second", "50.00 %", "150.00 %", "reference 100 %", "0 %", "100 %", "200 %"}) {
        EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << expected;
    }
}

TEST(Charts, OneDotPerRunAndOnePointPerSample) {
    const Drawing dots = DotChart("t", {{"a", {10, 20, 30}}, {"b", {40}}}, Scale{0, 40, 0, 400}, "");
    ASSERT_EQ(dots.Dots.size(), 4u);
    EXPECT_DOUBLE_EQ(dots.Dots[1].X, 200);
    EXPECT_DOUBLE_EQ(dots.Dots[3].X, 400);
    EXPECT_EQ(dots.Dots[0].Y, dots.Dots[2].Y);
    EXPECT_LT(dots.Dots[0].Y, dots.Dots[3].Y);
    EXPECT_EQ(dots.Dots[3].Title, "run 1: 40");

    const Drawing lines = LineChart("t", {{"run 1", {{1, 100}, {2, 50}}}}, Scale{0.5, 2.5, 0, 200},
                                    Scale{0, 100, 100, 0}, {1, 2}, {"second 1", "second 2"}, "", 150);
    ASSERT_EQ(lines.Polylines.size(), 1u);
    EXPECT_EQ(lines.Polylines[0].Points, (std::vector<std::pair<double, double>>{{50, 0}, {150, 50}}));
    std::vector<std::string> texts;
    for (const DrawText& t : lines.Texts) texts.push_back(t.Text);
    for (const char* expected : {"second 1", "second 2", "run 1", "0", "100"}) {
        EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << expected;
    }
}

TEST(Charts, SvgEscapesTextsAndCutsLongLabels) {
    Drawing d;
    d.Title = "<t>";
    d.Texts.push_back({1, 2, "a<b&\x01", "start", "label"});
    const std::string svg = SvgOf(d);
    EXPECT_NE(svg.find(">a&lt;b&amp;\\x01</text>"), std::string::npos) << svg;
    EXPECT_NE(svg.find("aria-label=\"&lt;t&gt;\""), std::string::npos);
    EXPECT_EQ(Shortened("日本語テキスト", 3), "日本語\u2026");
    EXPECT_EQ(Shortened("abc", 3), "abc");
}

}  // namespace
}  // namespace qmk::results
