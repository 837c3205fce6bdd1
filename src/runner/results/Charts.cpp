#include "runner/results/Charts.h"

#include <algorithm>
#include <cmath>

#include "runner/results/ResultsText.h"

namespace qmk::results {

namespace {

std::string Coordinate(double value) { return Fixed(value, 1); }

double PlotLeft() { return LabelWidth; }
double PlotRight() { return ChartWidth - RightMargin; }

std::string TickText(double value) {
    // Ticks are nice numbers: whole ones mostly, else one or two places.
    if (value == std::floor(value)) return Fixed(value, 0);
    return std::abs(value * 10 - std::round(value * 10)) < 1e-9 ? Fixed(value, 1) : Fixed(value, 2);
}

void ValueAxis(Drawing& drawing, const Scale& x, double top, double bottom, const std::string& unit) {
    drawing.Lines.push_back({PlotLeft(), bottom, PlotRight(), bottom, "axis"});
    for (const double tick : Ticks(x.DomainLow, x.DomainHigh, 6)) {
        const double at = x.Map(tick);
        drawing.Lines.push_back({at, top, at, bottom, "grid"});
        drawing.Texts.push_back({at, bottom + 14, TickText(tick) + unit, "middle", "tick"});
    }
}

}  // namespace

double Scale::Map(double value) const {
    if (DomainHigh == DomainLow) return (RangeLow + RangeHigh) / 2;
    return RangeLow + (value - DomainLow) / (DomainHigh - DomainLow) * (RangeHigh - RangeLow);
}

double NiceCeiling(double value) {
    if (!(value > 0) || !std::isfinite(value)) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (const double step : {1.0, 2.0, 5.0, 10.0}) {
        if (step * power >= value * (1 - 1e-12)) return step * power;
    }
    return 10 * power;
}

std::vector<double> Ticks(double low, double high, int count) {
    std::vector<double> ticks;
    if (!(high > low) || count < 1) return {low};
    const double step = NiceCeiling((high - low) / count);
    for (double tick = std::ceil(low / step - 1e-9) * step; tick <= high + step * 1e-9; tick += step) {
        ticks.push_back(std::abs(tick) < step * 1e-9 ? 0.0 : tick);
    }
    return ticks;
}

Scale ValueScale(double low, double high) { return {low, high, PlotLeft(), PlotRight()}; }

std::string Shortened(const std::string& text, std::size_t count) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0u) == 0x80u) continue;
        if (characters == count) return text.substr(0, i) + "\u2026";
        ++characters;
    }
    return text;
}

std::string SvgOf(const Drawing& drawing) {
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" width=\"" +
                      Coordinate(drawing.Width) + "\" height=\"" + Coordinate(drawing.Height) + "\" viewBox=\"0 0 " +
                      Coordinate(drawing.Width) + " " + Coordinate(drawing.Height) +
                      "\" role=\"img\" aria-label=\"" + MarkupText(drawing.Title) + "\">\n";
    svg += "<title>" + MarkupText(drawing.Title) + "</title>\n";
    for (const DrawRect& r : drawing.Rects) {
        svg += "<rect class=\"" + r.Class + "\" x=\"" + Coordinate(r.X) + "\" y=\"" + Coordinate(r.Y) +
               "\" width=\"" + Coordinate(r.Width) + "\" height=\"" + Coordinate(r.Height) + "\"/>\n";
    }
    for (const DrawLine& l : drawing.Lines) {
        svg += "<line class=\"" + l.Class + "\" x1=\"" + Coordinate(l.X1) + "\" y1=\"" + Coordinate(l.Y1) +
               "\" x2=\"" + Coordinate(l.X2) + "\" y2=\"" + Coordinate(l.Y2) + "\"/>\n";
    }
    for (const DrawPolyline& p : drawing.Polylines) {
        svg += "<polyline class=\"" + p.Class + "\" points=\"";
        for (std::size_t i = 0; i < p.Points.size(); ++i) {
            if (i > 0) svg += ' ';
            svg += Coordinate(p.Points[i].first) + "," + Coordinate(p.Points[i].second);
        }
        svg += "\"/>\n";
    }
    for (const DrawDot& d : drawing.Dots) {
        svg += "<circle class=\"" + d.Class + "\" cx=\"" + Coordinate(d.X) + "\" cy=\"" + Coordinate(d.Y) +
               "\" r=\"" + Coordinate(d.Radius) + "\">";
        if (!d.Title.empty()) svg += "<title>" + MarkupText(d.Title) + "</title>";
        svg += "</circle>\n";
    }
    for (const DrawText& t : drawing.Texts) {
        svg += "<text class=\"" + t.Class + "\" x=\"" + Coordinate(t.X) + "\" y=\"" + Coordinate(t.Y) +
               "\" text-anchor=\"" + t.Anchor + "\">" + MarkupText(t.Text) + "</text>\n";
    }
    svg += "</svg>\n";
    return svg;
}

Drawing MedianChart(const std::string& title, const std::vector<MedianBar>& bars, const Scale& x) {
    Drawing drawing;
    drawing.Title = title;
    drawing.Width = ChartWidth;
    const double bottom = TopMargin + RowHeight * static_cast<double>(bars.size());
    drawing.Height = bottom + AxisHeight;
    ValueAxis(drawing, x, TopMargin, bottom, " %");
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const MedianBar& bar = bars[i];
        const double top = TopMargin + RowHeight * static_cast<double>(i);
        const double middle = top + RowHeight / 2;
        drawing.Texts.push_back({PlotLeft() - 6, middle + 4, Shortened(bar.Label, 28), "end", "label"});
        drawing.Rects.push_back({x.Map(0), top + 4, x.Map(bar.Median) - x.Map(0), RowHeight - 8, "bar"});
        drawing.Lines.push_back({x.Map(bar.Minimum), middle, x.Map(bar.Maximum), middle, "whisker"});
        drawing.Lines.push_back({x.Map(bar.Minimum), middle - 5, x.Map(bar.Minimum), middle + 5, "whisker"});
        drawing.Lines.push_back({x.Map(bar.Maximum), middle - 5, x.Map(bar.Maximum), middle + 5, "whisker"});
        drawing.Texts.push_back({x.Map(bar.Maximum) + 4, middle + 4, Fixed(bar.Median, 2) + " %", "start", "value"});
    }
    drawing.Lines.push_back({x.Map(100), TopMargin - 4, x.Map(100), bottom, "reference"});
    drawing.Texts.push_back({x.Map(100), bottom + 28, "reference 100 %", "middle", "reference-label"});
    return drawing;
}

Drawing DotChart(const std::string& title, const std::vector<DotRow>& rows, const Scale& x, const std::string& unit) {
    Drawing drawing;
    drawing.Title = title;
    drawing.Width = ChartWidth;
    const double bottom = TopMargin + RowHeight * static_cast<double>(rows.size());
    drawing.Height = bottom + AxisHeight;
    ValueAxis(drawing, x, TopMargin, bottom, unit);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const double middle = TopMargin + RowHeight * static_cast<double>(i) + RowHeight / 2;
        drawing.Texts.push_back({PlotLeft() - 6, middle + 4, Shortened(rows[i].Label, 28), "end", "label"});
        for (std::size_t k = 0; k < rows[i].Values.size(); ++k) {
            drawing.Dots.push_back({x.Map(rows[i].Values[k]), middle, 3.5, "dot",
                                    "run " + std::to_string(k + 1) + ": " + Number(rows[i].Values[k]) + unit});
        }
    }
    return drawing;
}

Drawing LineChart(const std::string& title, const std::vector<Series>& series, const Scale& x, const Scale& y,
                  const std::vector<double>& xTicks, const std::vector<std::string>& xTickLabels,
                  const std::string& yUnit, double height) {
    Drawing drawing;
    drawing.Title = title;
    drawing.Width = ChartWidth;
    const double plotTop = std::min(y.RangeLow, y.RangeHigh);
    const double plotBottom = std::max(y.RangeLow, y.RangeHigh);
    drawing.Lines.push_back({x.RangeLow, plotBottom, x.RangeHigh, plotBottom, "axis"});
    drawing.Lines.push_back({x.RangeLow, plotTop, x.RangeLow, plotBottom, "axis"});
    for (const double tick : Ticks(y.DomainLow, y.DomainHigh, 4)) {
        const double at = y.Map(tick);
        drawing.Lines.push_back({x.RangeLow, at, x.RangeHigh, at, "grid"});
        drawing.Texts.push_back({x.RangeLow - 6, at + 4, TickText(tick) + yUnit, "end", "tick"});
    }
    for (std::size_t i = 0; i < xTicks.size(); ++i) {
        const double at = x.Map(xTicks[i]);
        drawing.Lines.push_back({at, plotBottom, at, plotBottom + 4, "axis"});
        drawing.Texts.push_back(
            {at, plotBottom + 16, i < xTickLabels.size() ? xTickLabels[i] : TickText(xTicks[i]), "middle", "tick"});
    }
    double legendY = plotBottom + 38;
    for (std::size_t s = 0; s < series.size(); ++s) {
        const std::string seriesClass = "series" + std::to_string(s % 8);
        DrawPolyline line{{}, "line " + seriesClass};
        for (const auto& [px, py] : series[s].Points) {
            line.Points.emplace_back(x.Map(px), y.Map(py));
            drawing.Dots.push_back({x.Map(px), y.Map(py), 3, "dot " + seriesClass,
                                    series[s].Label + ": " + Number(py) + yUnit});
        }
        drawing.Polylines.push_back(std::move(line));
        drawing.Rects.push_back({x.RangeLow, legendY - 9, 10, 10, "key " + seriesClass});
        drawing.Texts.push_back({x.RangeLow + 16, legendY, Shortened(series[s].Label, 60), "start", "legend"});
        legendY += 16;
    }
    drawing.Height = std::max(height, legendY);
    return drawing;
}

}  // namespace qmk::results
