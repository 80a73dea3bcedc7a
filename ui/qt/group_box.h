// A group box drawn the way the dialog templates were laid out for: the frame
// runs through the middle of the title instead of starting below it, so the
// controls placed inside keep their distance from the frame.
#pragma once

#include <QGroupBox>

namespace kalvex {

class GroupBox : public QGroupBox {
  Q_OBJECT

 public:
  using QGroupBox::QGroupBox;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace kalvex
