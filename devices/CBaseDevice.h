#pragma once
// The device-model object: one per loaded parameter tree. It answers the questions
// in which the module models differ and that the descriptions do not express;
// this class gives the default answer to each, the model classes override some.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "devices/CalibrationLauncher.h"
#include "model/CObject.h"
#include "model/DeviceModelHooks.h"

class Parameter;

namespace myClass {
class TableControl;
}

namespace BaseDevice {

class DeviceDocument;
class StateDialog;

// A rectangle in dialog units.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const Rect&) const = default;
};

class CBaseDevice : public CObject, public model::DeviceModelHooks {
 public:
  // The document is not owned and may be null (then there is no tree and no link).
  explicit CBaseDevice(DeviceDocument* document);
  // Stops being the current model when it still is.
  ~CBaseDevice() override;
  CBaseDevice(const CBaseDevice&) = delete;
  CBaseDevice& operator=(const CBaseDevice&) = delete;

  // The name of the class's run-time class record; a class without a record of
  // its own reports its base's.
  virtual const char* GetRuntimeClassName() const { return "CBaseDevice"; }

  // The state dialog's layout.
  virtual bool HasInputs() const { return false; }
  virtual bool HasOutputs() const { return false; }
  virtual std::string GetInputsStateParamName() const { return {}; }
  virtual std::string GetOutputsStateParamName() const { return {}; }
  // The rectangle of the first indicator; left unchanged by models without one.
  virtual void GetInputLedRect(Rect& /*rect*/) const {}
  virtual void GetOutputLedRect(Rect& /*rect*/) const {}
  // Horizontal distances between indicators, vertical distance between their rows.
  virtual int GetInputLedStep() const { return 0; }
  virtual int GetOutputLedStep() const { return 0; }
  virtual int GetLedRowStep() const { return 25; }
  // The counters table (values, "Счетчик %i", reset buttons); returns the result of
  // sizing its columns.
  virtual bool FillInputsList(myClass::TableControl* table);
  // The outputs table (values and captions).
  virtual bool FillOutputsList(myClass::TableControl* table);
  // Reads "npcp", "npco" and "pout" and writes back those that differ from their
  // initial values.
  virtual void RewriteOutputParameters();

  // The calibration window the model opens (None: it has none).
  virtual CalibrationWizard GetCalibrationWizard() const { return CalibrationWizard::None; }
  // Runs the model's calibration window through the registered launcher.
  virtual void Calibrate();
  virtual bool HasCalibration() const { return GetCalibrationWizard() != CalibrationWizard::None; }
  // The text after the line break is the state window's title.
  virtual std::string GetStateWindowTitle() const;
  // Adds the model's own items to the main menu (through GetMainMenu()).
  virtual void AddModelMenuItems() {}
  // A command of an item the model added; false when it is not the model's.
  virtual bool OnModelCommand(int /*command*/) { return false; }

  virtual bool HasDataLengthParameter() const { return true; }
  // The text of a status row of "Rd.St" for the reading in word; empty when the row
  // means nothing. The word is never changed, so rows may be asked in any order.
  virtual std::string GetStatusBitText(int row, const unsigned* word) const;

  // Updates the input indicators of the state dialog from "r.cn" (one bit per row
  // that has an indicator, the lowest bit first). Runs on the dialog's poll thread.
  virtual void UpdateStateList(StateDialog* dialog);

  virtual bool HasScanners() const { return false; }
  // Asks, then runs the initialise task on the tree and the document's INIT command.
  virtual void ResetToDefaults();
  // The "APLY" command parameter, made on the first call and kept.
  virtual Parameter* GetApplyParameter();

  // IsNetworkParameter, IsValidAddress, GetStatusBitCaption, OnParameterEdited,
  // FormatValue ("%.3f"), NeedsInitAfterWrite and RepliesToApply keep the answers
  // of model::DeviceModelHooks.

  DeviceDocument* GetDocument() const { return document_; }

 protected:
  // Titles of the state window for models with inputs only and outputs only.
  static std::string InputsStateTitle();
  static std::string OutputsStateTitle();
  // Shows "0" for a value that was never read.
  static std::string CellValueText(const Parameter& parameter);
  // An inputs table: the columns (string id of the heading, width), one row per
  // instance of the inputs parameter with its value, the label (string id of a
  // format taking the linear index + 1) in column 1 and, when asked, a reset
  // button in column 2.
  struct Column {
    int heading;
    int width;
  };
  bool FillInputsTable(myClass::TableControl* table, const std::vector<Column>& columns, int labelFormat,
                       bool resetButtons);
  // The input indicators follow the values of the parameters bound to their rows
  // (no device read), except those the user changed.
  void UpdateStateFromRowParameters(StateDialog* dialog);
  // After question 173 (No sends nothing), writes the "S.Def" command (once, or
  // once per channel with the channel as its index) and offers to read the
  // parameters back.
  void ResetWithDefaultsCommand(int channels);
  // Every instance of the named parameter in the polled-parameter branch, by linear
  // index.
  std::map<int, Parameter*> PolledInstances(const std::string& name) const;

  DeviceDocument* document_;
  std::unique_ptr<Parameter> applyParameter_;
};

}  // namespace BaseDevice
