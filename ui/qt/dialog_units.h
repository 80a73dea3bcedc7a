// Dialog units: the coordinates in which the dialogs are laid out. They are
// tied to the dialog font (a quarter of its average character width across,
// an eighth of its height down), so a layout keeps its proportions at every
// font size and screen scale.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

namespace kalvex {

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  int X(int du) const;
  int Y(int du) const;
  QRect Rect(int x, int y, int width, int height) const;
  QSize Size(int width, int height) const;
  // Places widget at a rectangle given in dialog units and remembers it as
  // the widget's place in the template.
  void Place(QWidget* widget, int x, int y, int width, int height) const;

  int BaseX() const { return base_x_; }
  int BaseY() const { return base_y_; }

 private:
  int base_x_;
  int base_y_;
};

// Gives the labels, radio buttons and check boxes of window whose text needs
// more room than their place in the template the width they need, as far as
// the room to their right allows: up to the next control on the same line,
// the frame of the group they stand in, or the window's edge. The templates
// were drawn for one font; a wider one should not cut their texts. Run after
// every change of a text; each run starts again from the template.
void FitTextWidths(QWidget* window);

}  // namespace kalvex
