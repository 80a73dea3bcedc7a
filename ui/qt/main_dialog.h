// The main window: renders MainDialogModel and passes the user's actions in.
// Every control's object name is its id ("1006"), so tests and tools find it.
#pragma once

#include <QDialog>

#include "engine/engine.h"
#include "platform/platform.h"
#include "ui/main_dialog_model.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;

namespace kalvex {

class UiServices;

class MainDialog : public QDialog, private MainDialogHost {
  Q_OBJECT

 public:
  explicit MainDialog(CTestEngine& engine = theEngine, UiServices* services = nullptr,
                      QWidget* parent = nullptr);

  MainDialogModel& Model() { return model_; }
  // The window's context menu: the About entry. Deletes itself once closed.
  QMenu* CreateContextMenu();
  // Shows the model's current state.
  void Render();

 public slots:
  void ShowAbout();
  // The speed chart of the last run (non-modal).
  void ShowSpeedChart();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void CreateControls();
  // MainDialogHost
  void ShowMessage(const UserMessage& message) override;
  std::optional<std::string> PickFolder(const std::string& title) override;
  void RunProgress() override;

  MainDialogModel model_;
  UiServices& services_;
  CTestEngine& engine_;

  QPushButton* select_target_ = nullptr;  // 1002
  QRadioButton* all_space_ = nullptr;     // 1000
  QRadioButton* only_ = nullptr;          // 1001
  QLineEdit* size_ = nullptr;             // 1004
  QCheckBox* endless_ = nullptr;          // 1008
  QPushButton* write_verify_ = nullptr;   // 1006
  QPushButton* verify_ = nullptr;         // 1007
  QGroupBox* size_group_ = nullptr;       // 1025
  QGroupBox* target_group_ = nullptr;     // 1024
  QLabel* target_label_ = nullptr;        // 1009
  QLabel* mbyte_label_ = nullptr;         // 1020
  QLabel* test_data_line_ = nullptr;      // 1018
  QPushButton* refresh_ = nullptr;        // 1019
  QRadioButton* german_ = nullptr;        // 1022
  QRadioButton* english_ = nullptr;       // 1023
  QLabel* web_address_ = nullptr;
  QButtonGroup* volume_buttons_ = nullptr;
  QButtonGroup* language_buttons_ = nullptr;
};

}  // namespace kalvex
