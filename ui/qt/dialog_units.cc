#include "ui/qt/dialog_units.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace kalvex {

namespace {

constexpr char kTemplateRect[] = "templateRect";

// The width a control's text needs, or 0 for controls whose width the
// template alone decides.
int NeededWidth(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    if (!label->pixmap().isNull()) return 0;
    return label->fontMetrics().horizontalAdvance(label->text()) + 2 * label->margin();
  }
  if (qobject_cast<QRadioButton*>(widget) || qobject_cast<QCheckBox*>(widget))
    return widget->sizeHint().width();
  return 0;
}

// Multiply first, then divide with rounding, as dialog templates are scaled.
int Scale(int du, int base, int divisor) {
  const long long product = static_cast<long long>(du) * base;
  return static_cast<int>((product + divisor / 2) / divisor);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average width is taken over both alphabets, as dialog templates
  // were designed with; the half-up rounding keeps it an integer.
  const int alphabet =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  base_x_ = (alphabet / 26 + 1) / 2;
  base_y_ = metrics.height();
  if (base_x_ < 1) base_x_ = 1;
  if (base_y_ < 1) base_y_ = 1;
}

int DialogUnits::X(int du) const { return Scale(du, base_x_, 4); }

int DialogUnits::Y(int du) const { return Scale(du, base_y_, 8); }

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
  // Both edges are scaled, not the size, so neighbours that touch in dialog
  // units touch in pixels as well.
  const int left = X(x), top = Y(y);
  return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

QSize DialogUnits::Size(int width, int height) const { return QSize(X(width), Y(height)); }

void DialogUnits::Place(QWidget* widget, int x, int y, int width, int height) const {
  const QRect rect = Rect(x, y, width, height);
  widget->setGeometry(rect);
  widget->setProperty(kTemplateRect, rect);
}

void FitTextWidths(QWidget* window) {
  const QList<QWidget*> children = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  const DialogUnits du(window->font());
  for (QWidget* widget : children) {
    const QVariant place = widget->property(kTemplateRect);
    if (!place.isValid()) continue;
    const QRect rect = place.toRect();
    const int needed = NeededWidth(widget);
    if (needed <= rect.width()) {
      widget->setGeometry(rect);
      continue;
    }
    int right = window->width();
    for (QWidget* other : children) {
      const QVariant other_place = other->property(kTemplateRect);
      if (other == widget || !other_place.isValid()) continue;
      const QRect bounds = other_place.toRect();
      if (qobject_cast<QGroupBox*>(other)) {
        if (bounds.contains(rect)) right = std::min(right, bounds.right() + 1 - du.X(2));
      } else if (bounds.left() >= rect.right() && bounds.top() <= rect.bottom() &&
                 bounds.bottom() >= rect.top()) {
        right = std::min(right, bounds.left() - du.X(1));
      }
    }
    const int width = std::max(rect.width(), std::min(needed, right - rect.left()));
    widget->setGeometry(rect.left(), rect.top(), width, rect.height());
  }
}

}  // namespace kalvex
