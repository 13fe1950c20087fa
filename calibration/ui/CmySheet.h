#pragma once
// The wizard sheet every calibration wizard is built on: a dialog with a stack of
// pages and its own Back/Next/Finish/Cancel row, so that a page can keep Finish
// open, stay where it is, or jump back to any page (found by its class). Its
// timers are single-shot and owned by the sheet: closing the sheet stops them.
// The base sheet's timers 1 and 2 run the result poll of the common wizard.
#include <QDialog>
#include <QString>
#include <map>
#include <vector>

#include "calibration/CommonWizard.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class QTimer;

namespace calibration {
class CalibrationLink;
}

class CmySheet;

// One page: the sheet calls these as the framework calls a property page's.
class CWizardPage : public QWidget {
  Q_OBJECT

 public:
  // OnWizardNext/OnWizardBack results besides a page index.
  static constexpr int kStay = -1;
  static constexpr int kDefault = -2;  // the neighbouring page

  CWizardPage(CmySheet* sheet, const QString& title);
  const QString& title() const { return title_; }
  CmySheet* sheet() const { return sheet_; }

  virtual void OnInitDialog() {}
  virtual void OnSetActive() {}
  virtual void OnKillActive() {}
  virtual int OnWizardNext() { return kDefault; }
  virtual int OnWizardBack() { return kDefault; }
  // True closes the sheet.
  virtual bool OnWizardFinish() { return true; }

 private:
  CmySheet* sheet_;
  QString title_;
  friend class CmySheet;
  bool initialised_ = false;
};

class CmySheet : public QDialog {
  Q_OBJECT

 public:
  // Button flags of SetWizardButtons.
  static constexpr int kBack = 1;
  static constexpr int kNext = 2;
  static constexpr int kFinish = 4;
  // Control ids of the sheet's own buttons.
  static constexpr int kIdBack = 12323;
  static constexpr int kIdNext = 12324;
  static constexpr int kIdFinish = 12325;
  static constexpr int kIdCancel = 2;

  // link: where the result poll reads (may be null for sheets that do not poll).
  explicit CmySheet(calibration::CalibrationLink* link, QWidget* parent = nullptr);
  ~CmySheet() override;

  // The sheet takes ownership of the page.
  void AddPage(CWizardPage* page);
  int PageCount() const { return static_cast<int>(pages_.size()); }
  int PageIndex(const CWizardPage* page) const;
  CWizardPage* Page(int index) const;
  CWizardPage* ActivePage() const;
  int ActiveIndex() const { return active_; }
  // Leaves the current page (OnKillActive) and shows that one (OnSetActive).
  void SetActivePage(int index);
  void SetActivePage(CWizardPage* page) { SetActivePage(PageIndex(page)); }
  // The page after the current one, without asking the current page: a step that
  // has finished moves on so, and its command is not sent again.
  void GoNext();

  // The first page of the class T or derived from it, or null.
  template <class T>
  T* FindPageByClass() const {
    for (CWizardPage* p : pages_)
      if (T* found = dynamic_cast<T*>(p)) return found;
    return nullptr;
  }

  void SetWizardButtons(int flags);
  void EnableButton(int id, bool enabled);
  QPushButton* Button(int id) const;
  void SetButtonText(int id, const QString& text);
  void SetFinishText(const QString& text) { SetButtonText(kIdFinish, text); }

  // Single-shot timer id after ms; a running timer of that id starts again.
  void StartTimer(int id, int ms);
  void KillTimer(int id);
  bool TimerActive(int id) const;
  calibration::CalibrationLink* link() const { return link_; }

  // Starts at the first page and runs modally.
  int RunModal();
  // Shows the first page (without running modally): tests drive the sheet so.
  void Begin();

  void done(int result) override;

 protected:
  // Timers 1 and 2: the result poll. Subclasses with timers of their own override.
  virtual void OnTimer(int id);

 private:
  void Back();
  void Next();
  void Finish();
  void StopTimers();

  calibration::CalibrationLink* link_;
  calibration::ResultPoll poll_;
  std::vector<CWizardPage*> pages_;
  int active_ = -1;
  QLabel* title_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  QPushButton* back_ = nullptr;
  QPushButton* next_ = nullptr;
  QPushButton* finish_ = nullptr;
  QPushButton* cancel_ = nullptr;
  std::map<int, QTimer*> timers_;
};
