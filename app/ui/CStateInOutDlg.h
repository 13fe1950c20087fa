#pragma once
// "Состояние входов и выходов": the live state of the module's inputs (counters)
// and outputs in two tables and two grids of numbered indicators, polled by a
// worker of its own every 100 ms; a counter reset, an output edit and the
// all-outputs switch write at once. Closing asks the worker to stop first and
// ends when it has.
#include <QDialog>
#include <memory>
#include <vector>

#include "app/StateInOutLogic.h"

class CPelmDoc;
class QPushButton;

namespace myClass {
class CmyStatic;
class CStateTableCtrl;
}

namespace Dialogs {

class CGradientStatic;

class CStateInOutDlg : public QDialog, public StateView {
  Q_OBJECT

 public:
  CStateInOutDlg(CPelmDoc& document, QWidget* parent);
  ~CStateInOutDlg() override;

  myClass::CStateTableCtrl* InputsTable() const { return inputs_; }
  myClass::CStateTableCtrl* OutputsTable() const { return outputs_; }
  myClass::CmyStatic* InputLed(int row) const;
  myClass::CmyStatic* OutputLed(int row) const;
  bool WorkerStopped() const;

  // Command 3: every output on, or every output off.
  void OnAllOutputs();
  // Cancel, Escape, the close box and OK: the first asks the worker to stop; the
  // dialog ends once it has.
  void reject() override;
  void accept() override;

  // StateView, called from the worker: the table changes are queued.
  int GetInputRowCount() override;
  BaseDevice::StateIndicator* GetInputIndicator(int row) override;
  CObject* GetInputRowObject(int row) override;
  Parameter* InputParameter(int row) override;
  int GetOutputRowCount() override;
  Parameter* OutputParameter(int row) override;
  BaseDevice::StateIndicator* GetOutputIndicator(int row) override;
  void SetInputCell(int row, const ValueText& text) override;
  void SetInputRowColour(int row, model::ColorRef colour) override;
  void SetOutputCell(int row, const ValueText& text) override;
  void SetOutputRowColour(int row, model::ColorRef colour) override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Widens the tables to their sized columns and makes room for them beside
  // each other.
  void FitTablesToColumns(bool hasInputs, bool hasOutputs);
  QRect DialogUnits(const BaseDevice::Rect& r) const;
  void PlaceLeds(int rowCount, BaseDevice::Rect first, int columnStep, int rowStep, int controlId,
                 std::vector<myClass::CmyStatic*>& leds);

  CPelmDoc& document_;
  CGradientStatic* inputsCaption_ = nullptr;   // 1338
  CGradientStatic* outputsCaption_ = nullptr;  // 1339
  myClass::CStateTableCtrl* inputs_ = nullptr;   // 1342
  myClass::CStateTableCtrl* outputs_ = nullptr;  // 1343
  std::vector<myClass::CmyStatic*> inputLeds_;
  std::vector<myClass::CmyStatic*> outputLeds_;
  // The rows' parameters, fixed once the model filled the tables (the worker reads them).
  std::vector<CObject*> inputObjects_;
  std::vector<Parameter*> inputParameters_;
  std::vector<Parameter*> outputParameters_;
  EditMarks marks_;
  std::unique_ptr<StatePoller> poller_;
  // Last: stopped and joined before anything it uses goes.
  std::unique_ptr<StatePollThread> worker_;
};

}  // namespace Dialogs
