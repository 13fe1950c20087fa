#pragma once
// Template 353: an instruction, a live reading and the value a point is taken
// at. The strain-gauge user points and the pH/redox point pages are built on it.
#include <QLineEdit>
#include <string>

#include "calibration/ui/CmySheet.h"

class QLabel;

class CPointFormPage : public CWizardPage {
  Q_OBJECT

 public:
  CPointFormPage(CmySheet* sheet, const QString& title);
  void SetText(const std::string& text);
  QString Text() const;
  // Sets the edit's text only when it differs (no flicker, no lost cursor).
  static void SetIfDiffers(QLineEdit* edit, const QString& text);

  QLineEdit* edit1353() const { return edit1353_; }
  QLineEdit* edit1354() const { return edit1354_; }
  QLineEdit* edit1355() const { return edit1355_; }

 protected:
  QLabel* text_ = nullptr;  // 1345
  QLabel* label1338_ = nullptr;
  QLineEdit* edit1353_ = nullptr;
  QLabel* unit1341_ = nullptr;
  QLabel* label1339_ = nullptr;
  QLineEdit* edit1354_ = nullptr;
  QLabel* unit1342_ = nullptr;
  QLabel* label1340_ = nullptr;
  QLineEdit* edit1355_ = nullptr;
  QLabel* unit1343_ = nullptr;
};
