#pragma once
// What the model layer needs from the current device model. The device-model
// base class implements this; while no model is loaded there is none, which
// counts as a model without special readings.
#include <string>

class Parameter;

namespace model {

class DeviceModelHooks {
 public:
  virtual ~DeviceModelHooks() = default;

  // True for the analog-input models (CZ580M01, M08, M09, M13, M18), whose readings
  // "rEAd", "iRDt" and "iRD" carry status codes and model-formatted values.
  virtual bool HasMeasurementReadings() const { return false; }
  // The model's text for a measured value ("%.3f" unless a model says otherwise).
  virtual std::string FormatValue(float value) const;
  // Reaction to a user-edited (or read, or loaded) parameter; may return a partner
  // parameter that changed with it.
  virtual Parameter* OnParameterEdited(Parameter& parameter);

  // Questions of the link.
  // Whether the module answers "APLY"; when it does not, the request counts as done
  // after one transaction.
  virtual bool RepliesToApply() const { return false; }
  // Models whose line always carries 8 data bits whatever "LEn" says.
  virtual bool IsEightBitOnlyModel() const { return false; }
  // Whether the module can take this address with that address length ("8", "11").
  virtual bool IsValidAddress(int address, const std::string& addressLength) const;
  // Whether writing the parameter changes the module's network settings.
  virtual bool IsNetworkParameter(const std::string& name) const;
  // Whether a successful write is to be followed by "INIT".
  virtual bool NeedsInitAfterWrite() const { return false; }
  // The string id of the caption of status bit row of the "Rd.St" reading; 0 when
  // the model has no such bit.
  virtual int GetStatusBitCaption(int /*row*/) const { return 0; }
};

// The network settings every model has: "bPS", "LEn", "PrtY", "Sbit", "A.Len",
// "Addr" (without regard to case).
bool IsBaseNetworkParameter(const std::string& name);

// The current device model, or null. The pointer may be read on any thread; a
// thread other than the window thread uses the model only under the exchange lock
// or the link's bus lock, which its replacement holds.
DeviceModelHooks* CurrentDeviceModel();
// Installs the current model (null: none); returns the previous one.
DeviceModelHooks* SetCurrentDeviceModel(DeviceModelHooks* model);

}  // namespace model
