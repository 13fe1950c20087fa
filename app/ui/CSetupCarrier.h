#pragma once
// "Установка связи с прибором": the program's port settings in an editable table,
// and the ways to reach the module with them: connect, scan the speeds, factory
// settings, or work offline with a model picked from the list. The attempts run
// on the dialog's worker; every way out first stops it (the link's abort) and
// closes on the worker's answer.
#include <QDialog>
#include <memory>
#include <string>

#include "link/SetupWorker.h"

class CBrand;
class Device;
class QLabel;
class QPushButton;

namespace myClass {
class CSetupTableCtrl;
}

namespace PreStart {

class CSetupCarrier : public QDialog, public SetupSink {
  Q_OBJECT

 public:
  // Button ids.
  static constexpr int kExit = 2;
  static constexpr int kOffline = 3;
  static constexpr int kScan = 4;
  static constexpr int kConnect = 5;
  static constexpr int kFactory = 6;

  CSetupCarrier(Device& link, CBrand* brand, bool offlineAllowed, QWidget* parent);
  // Any link (tests give one whose attempts are shorter).
  CSetupCarrier(std::unique_ptr<SetupLink> link, CBrand* brand, bool offlineAllowed, QWidget* parent);
  // Stops and joins the worker (at most one attempt) before the dialog goes.
  ~CSetupCarrier() override;

  // Status line: error shows it in red with a beep, otherwise in blue.
  void SetStatusText(const std::string& text, bool error);
  QString StatusText() const;
  bool StatusIsError() const { return error_; }

  myClass::CSetupTableCtrl* Table() const { return table_; }
  QPushButton* Button(int id) const;

  // The commands; the first pass of a way out stops the worker, the second closes.
  void accept() override;  // OK (posted by the worker after a connection)
  // Every end joins the worker and clears the link's abort, so that the link's
  // next operations run.
  void done(int result) override;
  void reject() override;  // "Выход", Escape, closing the window
  void OnOffline();
  void OnConnect();
  void OnScan();
  void OnFactory();

 private:
  void Init(bool offlineAllowed);
  void OnCommand(int command);
  // SetupSink (worker thread): each is posted to the dialog's thread, never run
  // on the worker.
  void SetStatus(const std::string& text, bool error) override;
  void EnableTable(bool enable) override;
  void ShowValue(int row, const ValueText& text) override;
  void PostCommand(int command) override;

  std::unique_ptr<SetupLink> link_;
  CBrand* brand_ = nullptr;
  myClass::CSetupTableCtrl* table_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* buttons_[7] = {};
  bool error_ = false;
  // Set once the user asked to stop: a status the worker posted before it saw the
  // request must not replace the "stopping" text.
  bool stopping_ = false;
  std::unique_ptr<SetupWorker> worker_;
};

}  // namespace PreStart

// The connection-setup dialog for the link, with the brand singleton and offline
// allowed: the document's connection-setup hook and command 32819 call it. True
// when it ended with OK: connected, or offline with a model picked (then the
// command line's mode byte holds 2, so automatic reading starts off, and the
// application's model index is the picked one); false after Cancel.
bool RunConnectionSetupDialog(Device& link, QWidget* parent);
