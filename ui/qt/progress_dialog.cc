#include "ui/qt/progress_dialog.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QGroupBox>
#include <QLabel>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCharFormat>
#include <QTextCursor>

#include "ui/layout/dialog_layout.h"
#include "ui/qt/desktop_notice.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/speed_chart_window.h"
#include "ui/qt/group_box.h"

namespace kalvex {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

// The report keeps Windows line ends, as it is shared with every front end;
// on screen they are plain line breaks.
QString DisplayText(const std::string& text) {
  QString shown = Text(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

template <typename Widget>
Widget* Make(QWidget* parent, int id) {
  auto* widget = new Widget(parent);
  widget->setObjectName(QString::number(id));
  return widget;
}

QLabel* MakeLabel(QWidget* parent, int id) {
  QLabel* label = Make<QLabel>(parent, id);
  label->setTextFormat(Qt::PlainText);
  return label;
}

// The error state of the bar: the chunk turns red.
const QColor kErrorChunk(204, 32, 32);

}  // namespace

ProgressDialog::ProgressDialog(CTestEngine& engine, QWidget* parent)
    : QDialog(parent), model_(engine), engine_target_(engine.TargetPath()), engine_(engine) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setModal(true);
  CreateControls();
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, &ProgressDialog::OnTimer);
}

void ProgressDialog::CreateControls() {
  using namespace progress_ids;
  abort_ = Make<QPushButton>(this, kAbort);
  bar_ = Make<QProgressBar>(this, kBar);
  report_ = Make<QPlainTextEdit>(this, kReport);
  write_mb_ = MakeLabel(this, kWriteMB);
  write_time_ = MakeLabel(this, kWriteTime);
  write_rate_ = MakeLabel(this, kWriteRate);
  write_group_ = Make<GroupBox>(this, kWriteGroup);
  verify_group_ = Make<GroupBox>(this, kVerifyGroup);
  verify_mb_ = MakeLabel(this, kVerifyMB);
  verify_time_ = MakeLabel(this, kVerifyTime);
  verify_rate_ = MakeLabel(this, kVerifyRate);
  copy_ = Make<QPushButton>(this, kCopy);
  note_ = MakeLabel(this, kNote);

  const DialogUnits du(font());
  setFixedSize(du.Size(SIZE_PROGRESS));
  du.Place(abort_, LAYOUT_ABORT);
  du.Place(bar_, LAYOUT_BAR);
  du.Place(report_, LAYOUT_REPORT);
  du.Place(write_mb_, LAYOUT_WRITE_MB);
  du.Place(write_time_, LAYOUT_WRITE_TIME);
  du.Place(write_rate_, LAYOUT_WRITE_RATE);
  du.Place(write_group_, LAYOUT_WRITE_GROUP);
  du.Place(verify_group_, LAYOUT_VERIFY_GROUP);
  du.Place(verify_mb_, LAYOUT_VERIFY_MB);
  du.Place(verify_time_, LAYOUT_VERIFY_TIME);
  du.Place(verify_rate_, LAYOUT_VERIFY_RATE);
  du.Place(copy_, LAYOUT_COPY);
  // Below everything the run's report fixes; the window grows for it.
  du.Place(note_, LAYOUT_NOTE);
  note_->setWordWrap(true);
  note_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  note_->hide();

  write_group_->lower();
  verify_group_->lower();
  write_group_->setFocusPolicy(Qt::NoFocus);
  verify_group_->setFocusPolicy(Qt::NoFocus);

  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  normal_bar_palette_ = bar_->palette();

  report_->setReadOnly(true);
  report_->setLineWrapMode(QPlainTextEdit::NoWrap);
  report_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  report_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  report_->setTabChangesFocus(true);
  // Keyboard selection and copying work in the read-only box as well.
  report_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

  QWidget::setTabOrder(abort_, report_);
  QWidget::setTabOrder(report_, copy_);

  connect(abort_, &QPushButton::clicked, this, &ProgressDialog::reject);
  connect(copy_, &QPushButton::clicked, this, &ProgressDialog::Copy);
  // Enter on the copy button copies; elsewhere it means whichever button has
  // the focus, as in every dialog.
  abort_->setAutoDefault(true);
  copy_->setAutoDefault(true);
}

ProgressDialog::~ProgressDialog() {
  // The window stays open as long as its run goes on; should it go away all
  // the same, its run is not left going on unseen.
  if (started_ && !model_.Finished()) model_.RequestAbort();
}

void ProgressDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!started_) {
    StartRun();
    abort_->setFocus();
  }
}

void ProgressDialog::contextMenuEvent(QContextMenuEvent* event) {
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QAction* chart = menu->addAction(SpeedChartMenuEntry());
  chart->setObjectName(QStringLiteral("speedChartAction"));
  connect(chart, &QAction::triggered, this, [this] { (new SpeedChartWindow(engine_, this))->show(); });
  menu->popup(event->globalPos());
}

void ProgressDialog::StartRun() {
  if (started_) return;
  started_ = true;
  timer_.start();
  // Called on the worker thread as its last act: hand it over to the
  // user-interface thread as an event, which finds this dialog only if it
  // still exists by then.
  QPointer<ProgressDialog> self(this);
  model_.Start([self] {
    QMetaObject::invokeMethod(
        qApp,
        [self] {
          if (self) self->OnTestDone();
        },
        Qt::QueuedConnection);
  });
  if (!model_.TimerActive()) timer_.stop();
  Render();
}

void ProgressDialog::OnTimer() {
  model_.OnTimer();
  Render();
}

void ProgressDialog::OnTestDone() {
  timer_.stop();
  model_.OnTestDone();
  Render();
  // A run takes long; the user may be busy elsewhere when it ends.
  if (!isActiveWindow() && !model_.CloseRequested())
    ShowDesktopNotice(Text(model_.Title()), Text(model_.EndNotice(engine_target_)));
  if (model_.CloseRequested()) QDialog::done(model_.Result());
}

void ProgressDialog::reject() {
  if (model_.OnCancel()) QDialog::done(model_.Result());
}

void ProgressDialog::accept() {
  if (model_.Finished()) QDialog::done(model_.Result());
}

void ProgressDialog::Copy() {
  // Selects everything and copies it, as the box's own copy command would;
  // the selection stays visible.
  QTextCursor cursor = report_->textCursor();
  cursor.select(QTextCursor::Document);
  report_->setTextCursor(cursor);
  report_->ensureCursorVisible();
  report_->copy();
}

void ProgressDialog::Render() {
  using namespace progress_ids;
  setWindowTitle(Text(model_.Title()));
  abort_->setText(Text(model_.Caption(kAbort)));
  copy_->setText(Text(model_.Caption(kCopy)));
  write_group_->setTitle(Text(model_.Caption(kWriteGroup)));
  verify_group_->setTitle(Text(model_.Caption(kVerifyGroup)));
  write_mb_->setText(Text(model_.Caption(kWriteMB)));
  write_time_->setText(Text(model_.Caption(kWriteTime)));
  write_rate_->setText(Text(model_.Caption(kWriteRate)));
  verify_mb_->setText(Text(model_.Caption(kVerifyMB)));
  verify_time_->setText(Text(model_.Caption(kVerifyTime)));
  verify_rate_->setText(Text(model_.Caption(kVerifyRate)));

  FitTextWidths(this);

  // The note's lines are cut for a terminal; the label wraps them itself.
  QString note = DisplayText(model_.NoteText()).trimmed().replace('\n', ' ');
  const QString verdict = Text(model_.VerdictText());
  if (!verdict.isEmpty()) note = note.isEmpty() ? verdict : verdict + '\n' + note;
  if (note != note_->text() || note_->isHidden() != note.isEmpty()) {
    note_->setText(note);
    note_->setVisible(!note.isEmpty());
    const DialogUnits du(font());
    setFixedSize(du.Size(PROGRESS_WIDTH,
                         PROGRESS_HEIGHT + (note.isEmpty() ? 0 : GROW_PROGRESS_NOTE)));
  }

  bar_->setValue(model_.BarPosition());
  if (model_.Bar() == BarState::kError) {
    QPalette palette = normal_bar_palette_;
    palette.setColor(QPalette::Highlight, kErrorChunk);
    bar_->setPalette(palette);
  } else {
    bar_->setPalette(normal_bar_palette_);
  }
  bar_->setProperty("barState", model_.Bar() == BarState::kError ? "error" : "normal");

  // The box is rewritten only when its text or colour changes, so that the
  // user can scroll and select in an interim report between updates.
  const QString report = DisplayText(model_.ReportText());
  if (report != shown_report_ || model_.ErrorShown() != shown_error_) {
    shown_report_ = report;
    shown_error_ = model_.ErrorShown();
    report_->setPlainText(report);
    if (shown_error_) {
      QTextCharFormat format;
      format.setBackground(QColor(kErrorReportBackground.red, kErrorReportBackground.green,
                                  kErrorReportBackground.blue));
      QTextCursor cursor(report_->document());
      cursor.select(QTextCursor::Document);
      cursor.mergeCharFormat(format);
    }
  }
}

}  // namespace kalvex
