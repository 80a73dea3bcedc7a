#include "ui/qt/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "ui/layout/dialog_layout.h"
#include "ui/main_dialog_model.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/dialog_units.h"

namespace kalvex {

namespace {

QLabel* MakeLine(QWidget* parent, const char* name, const char* text) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromUtf8(name));
  label->setTextFormat(Qt::PlainText);
  label->setText(QString::fromUtf8(text));
  return label;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(QString::fromUtf8(about_texts::kTitle));

  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("aboutIcon"));
  QLabel* product = MakeLine(this, "aboutProductLine", about_texts::kProductLine);
  QLabel* rights = MakeLine(this, "aboutRightsLine", about_texts::kRightsLine);
  auto* ok = new QPushButton(QString::fromUtf8(about_texts::kOk), this);
  ok->setObjectName(QStringLiteral("1"));
  QLabel* credit = MakeLine(this, "aboutIconLine", about_texts::kIconLine);

  const DialogUnits du(font());
  setFixedSize(du.Size(SIZE_ABOUT));
  du.Place(icon, LAYOUT_ABOUT_ICON);
  du.Place(product, LAYOUT_ABOUT_PRODUCT);
  du.Place(rights, LAYOUT_ABOUT_RIGHTS);
  du.Place(ok, LAYOUT_ABOUT_OK);
  du.Place(credit, LAYOUT_ABOUT_ICON_CREDIT);

  // A static icon shows the icon at its standard size from the top left.
  const int side = qMin(icon->width(), icon->height());
  icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  icon->setPixmap(AppIcon().pixmap(QSize(side, side)));

  FitTextWidths(this);
  ok->setDefault(true);
  ok->setFocus();
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace kalvex
