#pragma once
// "О программе": the product name, version and legal notice the service element
// read from the version texts.
#include <QDialog>

class QLabel;

namespace Dialogs {

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

  QLabel* productName = nullptr;  // 1345
  QLabel* version = nullptr;      // 1344
  QLabel* legalNotice = nullptr;  // 1343
};

}  // namespace Dialogs
