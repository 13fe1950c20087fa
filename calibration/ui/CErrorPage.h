#pragma once
// The error page every wizard ends on when a step fails: it shows the message of
// whoever switched to it with the retry sentence, and "Повторить" starts the
// wizard again from its first page.
#include <string>

#include "calibration/ui/CmySheet.h"

class QLabel;

// A page of one instruction text (template 339; 342 adds the icon).
class CTextPage : public CWizardPage {
  Q_OBJECT

 public:
  CTextPage(CmySheet* sheet, const QString& title, bool withIcon = false);
  void SetText(const std::string& text);
  QString Text() const;

 private:
  QLabel* text_ = nullptr;  // 1345
};

class CErrorPage : public CTextPage {
  Q_OBJECT

 public:
  explicit CErrorPage(CmySheet* sheet);
  void OnSetActive() override;
  void OnKillActive() override;
  bool OnWizardFinish() override;

  // Assigned by whoever switches here; shown, never changed by the page.
  std::string message;
};

// The save page: tells how to store the coefficients; Finish shows "Сохранить".
// The common wizard's Finish writes "Prmn" and "UApl"; other wizards override it.
class CSavePage : public CTextPage {
  Q_OBJECT

 public:
  explicit CSavePage(CmySheet* sheet, const QString& title = QStringLiteral("Шаг 4"));
  void OnSetActive() override;
  bool OnWizardFinish() override;
};
