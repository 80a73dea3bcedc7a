// The About box. It exists in German only.
#pragma once

#include <QDialog>

namespace kalvex {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace kalvex
