// The speed chart: scales that hold every step, a line per pass that ran,
// and an SVG document that draws them.

#include "report/speed_chart.h"

#include <gtest/gtest.h>

#include "tests/support/support.h"

namespace kalvex::testing {
namespace {

// A write pass of 10 steps of 100 MByte at 20 MByte/s that drops to 2
// MByte/s from the seventh step on; no verify pass.
SpeedProfile SlowingDown() {
  SpeedProfile profile;
  profile.step_mb = 100;
  profile.frequency = 1000;
  int64_t t = 0;
  for (int i = 0; i < 10; ++i) {
    t += i < 6 ? 5000 : 50000;
    profile.write_done.push_back(t);
  }
  return profile;
}

size_t Count(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

TEST(SpeedChartTest, ScalesAndLinesHoldEveryStep) {
  LanguageGuard lang(kEnglish);
  const SpeedChart chart = BuildSpeedChart(SlowingDown());
  ASSERT_EQ(chart.series.size(), 1u);  // nothing verified: no second line
  EXPECT_EQ(chart.series[0].name, "Writing");
  ASSERT_EQ(chart.series[0].points.size(), 10u);
  EXPECT_DOUBLE_EQ(chart.series[0].points[5].second, 20.0);
  EXPECT_DOUBLE_EQ(chart.series[0].points[6].second, 2.0);
  EXPECT_DOUBLE_EQ(chart.series[0].points[9].first, 1000.0);
  EXPECT_GE(chart.x_max, 1000.0);
  EXPECT_GE(chart.y_max, 20.0);
  EXPECT_EQ(chart.x_label, "Position (MByte)");
  EXPECT_EQ(chart.y_tick_labels.front(), "0");
  EXPECT_EQ(chart.x_ticks.size(), chart.x_tick_labels.size());
  for (size_t i = 1; i < chart.y_ticks.size(); ++i) EXPECT_GT(chart.y_ticks[i], chart.y_ticks[i - 1]);
}

TEST(SpeedChartTest, SvgDrawsEachStepAsAStair) {
  LanguageGuard lang(kGerman);
  SpeedProfile profile = SlowingDown();
  profile.verify_done = {1000, 2000};
  const std::string svg = SpeedChartSvg(BuildSpeedChart(profile));
  EXPECT_EQ(svg.rfind("<svg xmlns=\"http://www.w3.org/2000/svg\"", 0), 0u);
  EXPECT_TRUE(svg.ends_with("</svg>\n"));
  EXPECT_EQ(Count(svg, "<polyline"), 2u);
  EXPECT_NE(svg.find(">Schreiben<"), std::string::npos);
  EXPECT_NE(svg.find(">Prüfen<"), std::string::npos);
  // Two points a step: 10 steps of writing, 2 of verifying.
  const size_t first = svg.find("points=\"");
  const std::string points = svg.substr(first, svg.find('"', first + 8) - first);
  EXPECT_EQ(Count(points, ","), 20u);
}

}  // namespace
}  // namespace kalvex::testing
