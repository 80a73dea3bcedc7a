// The speed over the position in the test data, drawn from the engine's
// profile once a second: live while a run goes on, the last run's after it.
#pragma once

#include <QDialog>
#include <QTimer>
#include <QWidget>

#include "engine/engine.h"
#include "report/speed_chart.h"

namespace kalvex {

// Paints a SpeedChart with QPainter.
class SpeedChartView : public QWidget {
 public:
  explicit SpeedChartView(QWidget* parent = nullptr);
  void SetChart(SpeedChart chart);
  const SpeedChart& Chart() const { return chart_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  SpeedChart chart_;
};

class SpeedChartWindow : public QDialog {
  Q_OBJECT

 public:
  explicit SpeedChartWindow(CTestEngine& engine, QWidget* parent = nullptr);
  const SpeedChartView& View() const { return *view_; }

 public slots:
  // Reads the engine's profile again.
  void Refresh();

 private:
  CTestEngine& engine_;
  SpeedChartView* view_;
  QTimer timer_;
};

// The window's title and the menu entry that opens it, in the current
// language.
QString SpeedChartTitle();
QString SpeedChartMenuEntry();

}  // namespace kalvex
