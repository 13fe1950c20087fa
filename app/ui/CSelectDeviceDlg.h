#pragma once
// "Выберите прибор": the user picks the model to work with offline; OK sets the
// application's current model index.
#include <QDialog>
#include <map>
#include <string>

class CBrand;
class Device;

namespace myClass {
class CSetupTableCtrl;
}

class CSelectDeviceDlg : public QDialog {
  Q_OBJECT

 public:
  // The link is not kept; the brand fills the list (none: an empty list).
  CSelectDeviceDlg(Device* link, CBrand* brand, QWidget* parent);

  myClass::CSetupTableCtrl* Table() const { return table_; }

  // Without a selected row: message 201, the dialog stays open. A row whose text
  // names no model leaves the model index as it is and the dialog open.
  void accept() override;

 private:
  myClass::CSetupTableCtrl* table_ = nullptr;
  CBrand* brand_ = nullptr;
  std::map<std::string, int> names_;  // display name -> model index
};
