#include "ui/qt/speed_chart_window.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>


namespace kalvex {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

QString SpeedChartTitle() { return Text(SpeedChartWindowTitle()); }

QString SpeedChartMenuEntry() { return Text(SpeedChartMenuText()); }

SpeedChartView::SpeedChartView(QWidget* parent) : QWidget(parent) {
  setMinimumSize(480, 260);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void SpeedChartView::SetChart(SpeedChart chart) {
  chart_ = std::move(chart);
  update();
}

void SpeedChartView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), Qt::white);
  const QFontMetrics metrics(font());
  const double left = metrics.horizontalAdvance(QStringLiteral("00000")) + 16;
  const double top = metrics.height() * 2 + 8, right = 16, bottom = metrics.height() * 2 + 12;
  const double w = width() - left - right, h = height() - top - bottom;
  auto x_of = [&](double x) { return left + x / chart_.x_max * w; };
  auto y_of = [&](double y) { return top + h - y / chart_.y_max * h; };

  // The window's title names the chart; the view keeps its room for the data.
  for (size_t i = 0; i < chart_.y_ticks.size(); ++i) {
    const double y = y_of(chart_.y_ticks[i]);
    painter.setPen(QColor(0xdd, 0xdd, 0xdd));
    painter.drawLine(QPointF(left, y), QPointF(left + w, y));
    painter.setPen(Qt::black);
    const QString label = Text(chart_.y_tick_labels[i]);
    painter.drawText(QPointF(left - 6 - metrics.horizontalAdvance(label), y + metrics.ascent() / 2.5),
                     label);
  }
  for (size_t i = 0; i < chart_.x_ticks.size(); ++i) {
    const double x = x_of(chart_.x_ticks[i]);
    painter.setPen(QColor(0xdd, 0xdd, 0xdd));
    painter.drawLine(QPointF(x, top), QPointF(x, top + h));
    painter.setPen(Qt::black);
    const QString label = Text(chart_.x_tick_labels[i]);
    painter.drawText(QPointF(x - metrics.horizontalAdvance(label) / 2.0, top + h + metrics.height()),
                     label);
  }
  painter.setPen(QColor(0x33, 0x33, 0x33));
  painter.drawRect(QRectF(left, top, w, h));
  const QString x_label = Text(chart_.x_label);
  painter.drawText(QPointF(left + (w - metrics.horizontalAdvance(x_label)) / 2, height() - 6),
                   x_label);
  painter.drawText(QPointF(4, top - metrics.height() - 2), Text(chart_.y_label));

  double legend_x = left + w;
  for (auto it = chart_.series.rbegin(); it != chart_.series.rend(); ++it) {
    legend_x -= metrics.horizontalAdvance(Text(it->name)) + 40;
    painter.setPen(QPen(QColor(Text(it->color)), 3));
    painter.drawLine(QPointF(legend_x, top - 10), QPointF(legend_x + 20, top - 10));
    painter.setPen(Qt::black);
    painter.drawText(QPointF(legend_x + 26, top - 10 + metrics.ascent() / 2.5), Text(it->name));
  }
  for (const ChartSeries& series : chart_.series) {
    // Each step's rate from its start to its end, as in the SVG chart.
    QPainterPath path;
    double previous = 0;
    bool first = true;
    for (const auto& [x, y] : series.points) {
      if (first) path.moveTo(x_of(previous), y_of(y));
      else path.lineTo(x_of(previous), y_of(y));
      path.lineTo(x_of(x), y_of(y));
      previous = x;
      first = false;
    }
    painter.setPen(QPen(QColor(Text(series.color)), 2));
    painter.drawPath(path);
  }
}

SpeedChartWindow::SpeedChartWindow(CTestEngine& engine, QWidget* parent)
    : QDialog(parent), engine_(engine), view_(new SpeedChartView(this)) {
  setWindowTitle(SpeedChartTitle());
  setAttribute(Qt::WA_DeleteOnClose);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  resize(720, 360);
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, &SpeedChartWindow::Refresh);
  timer_.start();
  Refresh();
}

void SpeedChartWindow::Refresh() { view_->SetChart(BuildSpeedChart(engine_.CopyProfile())); }

}  // namespace kalvex
