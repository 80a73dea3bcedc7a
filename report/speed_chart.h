// The speed over the position in the test data as a chart: its scales,
// ticks and lines, worked out once for every way of drawing it (an SVG file
// from the terminal program, a window of the desktop program).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/speed_profile.h"

namespace kalvex {

struct ChartSeries {
  std::string name;  // "Writing", "Verifying" in the current language
  std::string color;  // "#rrggbb"
  // (position in MByte at the end of a step, MByte/s of that step)
  std::vector<std::pair<double, double>> points;
};

struct SpeedChart {
  std::string title, x_label, y_label;
  double x_max = 1, y_max = 1;  // the axes run from 0 to these
  std::vector<double> x_ticks, y_ticks;  // values, in MByte and MByte/s
  std::vector<std::string> x_tick_labels, y_tick_labels;
  std::vector<ChartSeries> series;  // only those with points
};

SpeedChart BuildSpeedChart(const SpeedProfile& profile);

// The chart window's title and the menu entry that opens it, in the current
// language, for every desktop program.
std::string SpeedChartWindowTitle();
std::string SpeedChartMenuText();

// A standalone SVG document of width × height pixels.
std::string SpeedChartSvg(const SpeedChart& chart, int width = 800, int height = 400);

}  // namespace kalvex
