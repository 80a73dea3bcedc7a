#include "ui/qt/group_box.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

namespace kalvex {

void GroupBox::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QFontMetrics metrics(font());

  // An etched frame whose top line runs through the middle of the title.
  // Styles draw their own group frames below the title, which would cut
  // into the controls the template places right under it.
  const QRect frame = rect().adjusted(0, metrics.height() / 2, -1, -1);
  qDrawShadeRect(&painter, frame, palette(), true, 1, 0);

  const QString text = title();
  if (text.isEmpty()) return;
  // The title interrupts the frame line: its own background goes first.
  const int padding = metrics.averageCharWidth() / 2 + 1;
  const QRect area(metrics.averageCharWidth(), 0, metrics.horizontalAdvance(text) + 2 * padding,
                   metrics.height());
  painter.fillRect(area, palette().brush(backgroundRole()));
  style()->drawItemText(&painter, area.adjusted(padding, 0, -padding, 0),
                        Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), text,
                        QPalette::WindowText);
}

}  // namespace kalvex
