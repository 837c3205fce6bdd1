// The report's charts as data: each chart function takes the numbers and
// the scale and returns the drawing (lines, bars, dots, texts at
// positions), which SvgOf writes as one SVG element. Tests check the
// positions and labels against the numbers, not pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qmk::results {

// Maps a value of [DomainLow, DomainHigh] linearly onto [RangeLow,
// RangeHigh] (a range may run backwards, as a y axis does).
struct Scale {
    double DomainLow = 0;
    double DomainHigh = 1;
    double RangeLow = 0;
    double RangeHigh = 1;

    double Map(double value) const;
};

// The smallest of 1, 2, 5 times a power of ten that is at least value
// (value > 0); 1 otherwise.
double NiceCeiling(double value);
// Values from low to high in steps of a nice size, about count of them.
std::vector<double> Ticks(double low, double high, int count);

struct DrawLine {
    double X1, Y1, X2, Y2;
    std::string Class;
};
struct DrawRect {
    double X, Y, Width, Height;
    std::string Class;
};
struct DrawDot {
    double X, Y, Radius;
    std::string Class;
    std::string Title;  // the tooltip: what the dot stands for
};
struct DrawText {
    double X, Y;
    std::string Text;
    std::string Anchor;  // "start", "middle", "end"
    std::string Class;
};
struct DrawPolyline {
    std::vector<std::pair<double, double>> Points;
    std::string Class;
};

struct Drawing {
    double Width = 0;
    double Height = 0;
    std::string Title;  // the chart's accessible name
    std::vector<DrawRect> Rects;
    std::vector<DrawLine> Lines;
    std::vector<DrawPolyline> Polylines;
    std::vector<DrawDot> Dots;
    std::vector<DrawText> Texts;
};

// One SVG element; every text escaped for XML.
std::string SvgOf(const Drawing& drawing);

// The layout the charts share: labels left of LabelWidth, the plot from
// there to Width - RightMargin, RowHeight per row of the bar and dot charts.
inline constexpr double ChartWidth = 600;
inline constexpr double LabelWidth = 170;
inline constexpr double RightMargin = 30;
inline constexpr double RowHeight = 22;
inline constexpr double TopMargin = 10;
inline constexpr double AxisHeight = 34;
// The plot's extent in x for a value scale from 0 to high.
Scale ValueScale(double low, double high);

struct MedianBar {
    std::string Label;
    double Median;  // per cent of the reference
    double Minimum;
    double Maximum;
};
// One bar per entry from 0 to its median, a whisker from minimum to
// maximum, and the reference machine's 100 % as a line across.
Drawing MedianChart(const std::string& title, const std::vector<MedianBar>& bars, const Scale& x);

struct DotRow {
    std::string Label;
    std::vector<double> Values;
};
// One row per entry, one dot per value.
Drawing DotChart(const std::string& title, const std::vector<DotRow>& rows, const Scale& x, const std::string& unit);

struct Series {
    std::string Label;
    std::vector<std::pair<double, double>> Points;  // (x, y) in the scales' units
};
// A line with a dot at each point per series, a legend below, x and y
// axes with their ticks; xTicks are written as given by xTickLabels
// (same length) when that is not empty.
Drawing LineChart(const std::string& title, const std::vector<Series>& series, const Scale& x, const Scale& y,
                  const std::vector<double>& xTicks, const std::vector<std::string>& xTickLabels,
                  const std::string& yUnit, double height);

// At most count characters of UTF-8 text, "…" marking a cut.
std::string Shortened(const std::string& text, std::size_t count);

}  // namespace qmk::results
