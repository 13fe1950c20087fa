#pragma once
// "Перевод прибора на новый режим работы": shows the settings the module takes
// after "APLY", sends it (to the module's address or as a broadcast) and ends on
// success; a failure keeps the dialog open.
#include <QDialog>

#include "app/ApplyCommand.h"

class QCheckBox;
class QLabel;

namespace Dialogs {

class CApply : public QDialog {
  Q_OBJECT

 public:
  CApply(Device* link, ObjectWithParameters* network, BaseDevice::CBaseDevice* model, QWidget* parent);

  // Check box 1219: the program's port settings follow the module's (ticked at first).
  bool ChangeProgramSettings() const;
  ApplyCommand& Command() { return command_; }

  // OK: sends "APLY"; the dialog ends only when it went through.
  void accept() override;

 private:
  ApplyCommand command_;
  QLabel* summary_ = nullptr;          // 1222
  QCheckBox* changeSettings_ = nullptr;  // 1219
  QCheckBox* broadcast_ = nullptr;       // 1220
};

}  // namespace Dialogs
