#include "report/speed_chart.h"

#include <algorithm>
#include <cmath>

#include "engine/language.h"
#include "engine/text_format.h"
#include "report/progress.h"
#include "report/units.h"

namespace kalvex {

namespace {

// A step of 1, 2 or 5 times a power of ten that cuts 0..max into at most
// about six parts.
double NiceStep(double max) {
  const double rough = max / 6;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
    if (factor * power >= rough) return factor * power;
  }
  return 10 * power;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, value == std::floor(value) ? "%.0f" : "%.1f", value);
  std::string out = text;
  if (!IsEnglish()) std::replace(out.begin(), out.end(), '.', ',');
  return out;
}

// Ticks from 0 to the first one at or above max.
void Ticks(double max, std::vector<double>* ticks) {
  const double step = NiceStep(max);
  for (int i = 0;; ++i) {
    const double v = step * i;
    ticks->push_back(v);
    if (v >= max - step / 1000) break;
  }
}

ChartSeries Series(const std::string& name, const std::string& color,
                   const std::vector<double>& rates, double step_mb) {
  ChartSeries series{name, color, {}};
  for (size_t i = 0; i < rates.size(); ++i)
    series.points.emplace_back(static_cast<double>(i + 1) * step_mb, rates[i]);
  return series;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

}  // namespace

std::string SpeedChartWindowTitle() {
  return LangText("Kalvex | Speed chart", "Kalvex | Geschwindigkeitsverlauf");
}

std::string SpeedChartMenuText() {
  return LangText("&Speed chart...", "&Geschwindigkeitsverlauf...");
}

SpeedChart BuildSpeedChart(const SpeedProfile& profile) {
  SpeedChart chart;
  chart.title = LangText("Speed over the position in the test data",
                         "Geschwindigkeit über die Position in den Testdaten");
  chart.y_label = "MByte/s";
  const double step = static_cast<double>(profile.step_mb);
  for (ChartSeries series :
       {Series(WritingCaption(), "#1f6fb4", profile.WriteRates(), step),
        Series(VerifyingCaption(), "#2e9a3a", profile.VerifyRates(), step)}) {
    if (series.points.empty()) continue;
    chart.x_max = std::max(chart.x_max, series.points.back().first);
    for (const auto& point : series.points) chart.y_max = std::max(chart.y_max, point.second);
    chart.series.push_back(std::move(series));
  }
  // Positions read as GByte once the run is large enough for it.
  const bool gbyte = chart.x_max >= 2048;
  const double unit = gbyte ? 1024 : 1;
  chart.x_label = gbyte ? LangText("Position (GByte)", "Position (GByte)")
                        : LangText("Position (MByte)", "Position (MByte)");
  std::vector<double> x_units;
  Ticks(chart.x_max / unit, &x_units);
  for (const double v : x_units) {
    chart.x_ticks.push_back(v * unit);
    chart.x_tick_labels.push_back(Number(v));
  }
  // Room above the fastest step, so its line never runs along the frame.
  Ticks(chart.y_max * 1.15, &chart.y_ticks);
  for (const double v : chart.y_ticks) chart.y_tick_labels.push_back(Number(v));
  chart.x_max = std::max(chart.x_max, chart.x_ticks.back());
  chart.y_max = std::max(chart.y_max, chart.y_ticks.back());
  return chart;
}

std::string SpeedChartSvg(const SpeedChart& chart, int width, int height) {
  const double left = 70, right = 20, top = 40, bottom = 50;
  const double w = width - left - right, h = height - top - bottom;
  auto x_of = [&](double x) { return left + x / chart.x_max * w; };
  auto y_of = [&](double y) { return top + h - y / chart.y_max * h; };
  std::string svg = FormatText(SIZE_MAX,
                               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" "
                               "height=\"%d\" font-family=\"sans-serif\" font-size=\"12\">\n"
                               "<rect width=\"100%%\" height=\"100%%\" fill=\"white\"/>\n",
                               width, height);
  svg += FormatText(SIZE_MAX, "<text x=\"%.0f\" y=\"24\" font-size=\"15\">%s</text>\n", left,
                    Escape(chart.title).c_str());
  for (size_t i = 0; i < chart.y_ticks.size(); ++i) {
    const double y = y_of(chart.y_ticks[i]);
    svg += FormatText(SIZE_MAX,
                      "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#ddd\"/>"
                      "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%s</text>\n",
                      left, y, left + w, y, left - 6, y + 4, chart.y_tick_labels[i].c_str());
  }
  for (size_t i = 0; i < chart.x_ticks.size(); ++i) {
    const double x = x_of(chart.x_ticks[i]);
    svg += FormatText(SIZE_MAX,
                      "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#ddd\"/>"
                      "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%s</text>\n",
                      x, top, x, top + h, x, top + h + 16, chart.x_tick_labels[i].c_str());
  }
  svg += FormatText(SIZE_MAX,
                    "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" "
                    "stroke=\"#333\"/>\n",
                    left, top, w, h);
  svg += FormatText(SIZE_MAX, "<text x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%s</text>\n",
                    left + w / 2, height - 10, Escape(chart.x_label).c_str());
  svg += FormatText(SIZE_MAX,
                    "<text x=\"16\" y=\"%.1f\" text-anchor=\"middle\" "
                    "transform=\"rotate(-90 16 %.1f)\">%s</text>\n",
                    top + h / 2, top + h / 2, Escape(chart.y_label).c_str());
  double legend_x = left + w;
  for (auto it = chart.series.rbegin(); it != chart.series.rend(); ++it) {
    legend_x -= 110;
    svg += FormatText(SIZE_MAX,
                      "<line x1=\"%.1f\" y1=\"20\" x2=\"%.1f\" y2=\"20\" stroke=\"%s\" "
                      "stroke-width=\"3\"/><text x=\"%.1f\" y=\"24\">%s</text>\n",
                      legend_x, legend_x + 20, it->color.c_str(), legend_x + 26,
                      Escape(it->name).c_str());
  }
  for (const ChartSeries& series : chart.series) {
    // A step's rate holds from its start to its end: drawn as a staircase,
    // so a medium that slows at a position shows the drop exactly there.
    std::string points;
    double previous = 0;
    for (const auto& [x, y] : series.points) {
      points += FormatText(SIZE_MAX, "%.1f,%.1f %.1f,%.1f ", x_of(previous), y_of(y), x_of(x),
                           y_of(y));
      previous = x;
    }
    svg += FormatText(SIZE_MAX,
                      "<polyline fill=\"none\" stroke=\"%s\" stroke-width=\"2\" "
                      "points=\"%s\"/>\n",
                      series.color.c_str(), points.c_str());
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace kalvex
