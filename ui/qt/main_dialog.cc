#include "ui/qt/main_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QValidator>
#include <iterator>

#include "ui/layout/dialog_layout.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/dialog_units.h"
#include "ui/qt/speed_chart_window.h"
#include "ui/qt/group_box.h"
#include "ui/qt/progress_dialog.h"
#include "ui/qt/ui_services.h"

namespace kalvex {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

QString IdName(int id) { return QString::number(id); }

// The edit field takes what the model's input rule takes, digits only, for
// typing and pasting alike.
class SizeValidator final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& /*pos*/) const override {
    return MainDialogModel::IsAcceptableSizeText(input.toStdString()) ? Acceptable : Invalid;
  }
};

template <typename Widget>
Widget* Make(QWidget* parent, const QString& name) {
  auto* widget = new Widget(parent);
  widget->setObjectName(name);
  return widget;
}

QLabel* MakeLabel(QWidget* parent, const QString& name) {
  QLabel* label = Make<QLabel>(parent, name);
  // Paths and figures are shown as they are, never as markup.
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

MainDialog::MainDialog(CTestEngine& engine, UiServices* services, QWidget* parent)
    : QDialog(parent),
      model_(engine),
      services_(services ? *services : DefaultUiServices()),
      engine_(engine) {
  // An application window of fixed size that can be minimised, not maximised.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowTitle(QString::fromUtf8(main_texts::kTitle));
  CreateControls();

  auto* about = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(about, &QShortcut::activated, this, &MainDialog::ShowAbout);

  model_.Init();
  Render();
}

void MainDialog::CreateControls() {
  using namespace main_ids;
  // Created in tab order; the layout is that of the dialog template, in
  // dialog units of this window's font.
  select_target_ = Make<QPushButton>(this, IdName(kSelectTarget));
  all_space_ = Make<QRadioButton>(this, IdName(kAllSpace));
  only_ = Make<QRadioButton>(this, IdName(kOnly));
  size_ = Make<QLineEdit>(this, IdName(kSize));
  endless_ = Make<QCheckBox>(this, IdName(kEndless));
  write_verify_ = Make<QPushButton>(this, IdName(kWriteVerify));
  verify_ = Make<QPushButton>(this, IdName(kVerify));
  size_group_ = Make<GroupBox>(this, IdName(kSizeGroup));
  target_group_ = Make<GroupBox>(this, IdName(kTargetGroup));
  target_label_ = MakeLabel(this, IdName(kTargetLabel));
  mbyte_label_ = MakeLabel(this, IdName(kMByteLabel));
  test_data_line_ = MakeLabel(this, IdName(kTestDataLine));
  refresh_ = Make<QPushButton>(this, IdName(kRefresh));
  german_ = Make<QRadioButton>(this, IdName(kGerman));
  english_ = Make<QRadioButton>(this, IdName(kEnglish));
  web_address_ = MakeLabel(this, QStringLiteral("webAddressLabel"));

  const DialogUnits du(font());
  setFixedSize(du.Size(SIZE_MAIN));
  du.Place(select_target_, LAYOUT_SELECT_TARGET);
  du.Place(all_space_, LAYOUT_ALL_SPACE);
  du.Place(only_, LAYOUT_ONLY);
  du.Place(size_, LAYOUT_SIZE_EDIT);
  du.Place(endless_, LAYOUT_ENDLESS);
  du.Place(write_verify_, LAYOUT_WRITE_VERIFY);
  du.Place(verify_, LAYOUT_VERIFY);
  du.Place(size_group_, LAYOUT_SIZE_GROUP);
  du.Place(target_group_, LAYOUT_TARGET_GROUP);
  du.Place(target_label_, LAYOUT_TARGET_LABEL);
  du.Place(mbyte_label_, LAYOUT_MBYTE_LABEL);
  du.Place(test_data_line_, LAYOUT_TEST_DATA_LINE);
  du.Place(refresh_, LAYOUT_REFRESH);
  du.Place(german_, LAYOUT_GERMAN);
  du.Place(english_, LAYOUT_ENGLISH);
  du.Place(web_address_, LAYOUT_WEB_ADDRESS);

  // The group frames lie beneath the controls they surround.
  size_group_->lower();
  target_group_->lower();
  size_group_->setFocusPolicy(Qt::NoFocus);
  target_group_->setFocusPolicy(Qt::NoFocus);

  web_address_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  web_address_->setText(QString::fromUtf8(main_texts::kWebAddress));

  size_->setValidator(new SizeValidator(size_));
  write_verify_->setDefault(true);

  volume_buttons_ = new QButtonGroup(this);
  volume_buttons_->addButton(all_space_);
  volume_buttons_->addButton(only_);
  language_buttons_ = new QButtonGroup(this);
  language_buttons_->addButton(german_);
  language_buttons_->addButton(english_);

  QWidget* const tab_order[] = {select_target_, all_space_, only_,   size_,   endless_,
                                write_verify_,  verify_,    refresh_, german_, english_};
  for (size_t i = 1; i < std::size(tab_order); ++i)
    QWidget::setTabOrder(tab_order[i - 1], tab_order[i]);

  connect(select_target_, &QPushButton::clicked, this, [this] {
    model_.OnSelectTarget(*this);
    Render();
  });
  connect(all_space_, &QRadioButton::clicked, this, [this] {
    model_.OnAllSpaceClicked();
    Render();
  });
  connect(only_, &QRadioButton::clicked, this, [this] {
    model_.OnOnlyClicked();
    Render();
  });
  connect(size_, &QLineEdit::textEdited, this, [this](const QString& text) {
    model_.OnSizeTextChanged(text.toStdString());
    Render();
  });
  connect(endless_, &QCheckBox::clicked, this, [this](bool checked) {
    model_.OnEndlessClicked(checked);
    Render();
  });
  connect(write_verify_, &QPushButton::clicked, this, [this] {
    model_.OnWriteVerify(*this);
    Render();
  });
  connect(verify_, &QPushButton::clicked, this, [this] {
    model_.OnVerify(*this);
    Render();
  });
  connect(refresh_, &QPushButton::clicked, this, [this] {
    model_.OnRefresh();
    Render();
  });
  connect(german_, &QRadioButton::clicked, this, [this] {
    model_.OnGerman();
    Render();
  });
  connect(english_, &QRadioButton::clicked, this, [this] {
    model_.OnEnglish();
    Render();
  });
}

void MainDialog::Render() {
  using namespace main_ids;
  const auto show = [this](QWidget* widget, int id) { widget->setEnabled(model_.IsEnabled(id)); };

  select_target_->setText(Text(model_.Caption(kSelectTarget)));
  refresh_->setText(Text(model_.Caption(kRefresh)));
  write_verify_->setText(Text(model_.Caption(kWriteVerify)));
  verify_->setText(Text(model_.Caption(kVerify)));
  target_group_->setTitle(Text(model_.Caption(kTargetGroup)));
  size_group_->setTitle(Text(model_.Caption(kSizeGroup)));
  all_space_->setText(Text(model_.Caption(kAllSpace)));
  only_->setText(Text(model_.Caption(kOnly)));
  endless_->setText(Text(model_.Caption(kEndless)));
  mbyte_label_->setText(Text(model_.Caption(kMByteLabel)));
  german_->setText(Text(model_.Caption(kGerman)));
  english_->setText(Text(model_.Caption(kEnglish)));
  const QString target = Text(model_.Caption(kTargetLabel));
  target_label_->setText(target);
  // A long path does not fit the label; the whole of it is a hover away.
  target_label_->setToolTip(engine_.HasTarget() ? target : QString());
  test_data_line_->setText(Text(model_.Caption(kTestDataLine)));

  show(refresh_, kRefresh);
  show(write_verify_, kWriteVerify);
  show(all_space_, kAllSpace);
  show(only_, kOnly);
  show(size_, kSize);
  show(mbyte_label_, kMByteLabel);
  show(verify_, kVerify);

  all_space_->setChecked(model_.AllSpaceChecked());
  only_->setChecked(model_.OnlyChecked());
  endless_->setChecked(model_.EndlessChecked());
  german_->setChecked(model_.GermanChecked());
  english_->setChecked(model_.EnglishChecked());
  const QString size_text = Text(model_.SizeText());
  if (size_->text() != size_text) size_->setText(size_text);
  FitTextWidths(this);
}

void MainDialog::ShowSpeedChart() { (new SpeedChartWindow(engine_, this))->show(); }

void MainDialog::ShowAbout() {
  AboutDialog about(this);
  services_.RunModal(&about);
}

QMenu* MainDialog::CreateContextMenu() {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("contextMenu"));
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QAction* about = menu->addAction(QString::fromUtf8(about_texts::kMenuEntry));
  about->setObjectName(QStringLiteral("aboutAction"));
  connect(about, &QAction::triggered, this, &MainDialog::ShowAbout);
  QAction* chart = menu->addAction(SpeedChartMenuEntry());
  chart->setObjectName(QStringLiteral("speedChartAction"));
  connect(chart, &QAction::triggered, this, &MainDialog::ShowSpeedChart);
  return menu;
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  // The window menu of the desktop is not ours to extend; the About entry
  // lives in the window's own context menu instead (and on F1).
  CreateContextMenu()->popup(event->globalPos());
}

void MainDialog::ShowMessage(const UserMessage& message) {
  services_.ShowMessage(this, message.icon, Text(message.text));
}

std::optional<std::string> MainDialog::PickFolder(const std::string& title) {
  const QString folder = services_.PickFolder(this, Text(title));
  if (folder.isEmpty()) return std::nullopt;
  return folder.toStdString();
}

void MainDialog::RunProgress() {
  ProgressDialog progress(engine_, this);
  services_.RunModal(&progress);
}

}  // namespace kalvex
