// The seam of the Qt windows for tests: records message boxes and folder
// picker calls, answers them, and lets a test drive a modal dialog itself;
// and the checks that a window's texts fit and its controls do not overlap.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <functional>

#include "ui/qt/ui_services.h"

namespace kalvex::testing {

class RecordingServices final : public UiServices {
 public:
  struct Message {
    MessageIcon icon;
    QString text;
    QWidget* parent;
  };

  void ShowMessage(QWidget* parent, MessageIcon icon, const QString& text) override {
    messages.append(Message{icon, text, parent});
  }

  QString PickFolder(QWidget* /*parent*/, const QString& title) override {
    picker_titles.append(title);
    return folder;
  }

  // Instead of a modal loop the test's handler runs; it may show the dialog,
  // wait for it and close it. The dialog's result is returned as exec would.
  int RunModal(QDialog* dialog) override {
    modal_classes.append(QString::fromLatin1(dialog->metaObject()->className()));
    if (on_modal) on_modal(dialog);
    return dialog->result();
  }

  QList<Message> messages;
  QStringList picker_titles;
  QString folder;  // the picker's answer; empty means cancelled
  QStringList modal_classes;
  std::function<void(QDialog*)> on_modal;
};

// A control of window by its id, which is its object name.
template <typename Widget = QWidget>
Widget* Find(QWidget* window, int id) {
  return window->findChild<Widget*>(QString::number(id));
}

// What a control shows: the text of a label, button, field or text box, the
// title of a group.
inline QString TextOf(QWidget* window, int id) {
  QWidget* widget = Find(window, id);
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
  if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  if (auto* box = qobject_cast<QPlainTextEdit*>(widget)) return box->toPlainText();
  return QStringLiteral("<no such control %1>").arg(id);
}

// Object names of the visible controls of window whose text does not fit
// the place the layout gives them (names in skip are not looked at).
inline QStringList ClippedTexts(QWidget* window, const QStringList& skip = {}) {
  QStringList clipped;
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(window) || skip.contains(widget->objectName())) continue;
    const QFontMetrics metrics(widget->font());
    const int margin = metrics.averageCharWidth();
    int needed = 0;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
      if (!label->pixmap().isNull()) continue;
      needed = metrics.horizontalAdvance(label->text());
    } else if (qobject_cast<QRadioButton*>(widget) || qobject_cast<QCheckBox*>(widget)) {
      needed = widget->sizeHint().width();
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      needed = metrics.horizontalAdvance(button->text()) + 2 * margin;
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
      needed = metrics.horizontalAdvance(group->title()) + 3 * margin;
    } else {
      continue;
    }
    if (needed > widget->width() || metrics.height() > widget->height())
      clipped << widget->objectName();
  }
  clipped.sort();
  return clipped;
}

// Pairs of controls of window (group boxes aside) that cover each other.
inline QStringList OverlappingControls(QWidget* window) {
  QStringList overlaps;
  QList<QWidget*> controls;
  for (QWidget* widget : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!widget->isWindow() && !qobject_cast<QGroupBox*>(widget) && widget->isVisibleTo(window))
      controls << widget;
  }
  for (int i = 0; i < controls.size(); ++i) {
    for (int j = i + 1; j < controls.size(); ++j) {
      if (controls[i]->geometry().intersects(controls[j]->geometry()))
        overlaps << controls[i]->objectName() + "/" + controls[j]->objectName();
    }
  }
  return overlaps;
}

}  // namespace kalvex::testing

// Fails the test function unless no text of window is clipped (names in
// skip aside) and no controls overlap.
#define KALVEX_EXPECT_CLEAN_LAYOUT(window, ...)                                                 \
  do {                                                                                          \
    const QStringList found = kalvex::testing::ClippedTexts(window __VA_OPT__(, ) __VA_ARGS__) + \
                              kalvex::testing::OverlappingControls(window);                     \
    QVERIFY2(found.isEmpty(), qPrintable(found.join(", ")));                                    \
  } while (false)
