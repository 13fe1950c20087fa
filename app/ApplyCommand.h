#pragma once
// What the network-settings change dialog does: the summary of the settings the
// module will take after "APLY", and sending "APLY" to the module's own address or
// as a broadcast. The dialog shows and collects; this decides.
#include <string>

class Device;
class DeviceIO;
class ObjectWithParameters;
class Parameter;

namespace BaseDevice {
class CBaseDevice;
}

namespace Dialogs {

class ApplyCommand {
 public:
  // Any of them may be null: the summary then says what is missing.
  ApplyCommand(Device* link, ObjectWithParameters* network, BaseDevice::CBaseDevice* model);

  // Static 1222: one "title: value" line per setting (without the data length when
  // the model has none), or the text of what is missing.
  std::string Summary() const;

  // Sends "APLY"; true on success. A failure is reported (message 193 and the
  // link's error text) and changes nothing. Without a link nothing is sent and the
  // result is false; nor when the module's address does not fit the frames (message 258).
  bool Send(bool broadcast);

  // Writes the parameter to the broadcast address after a pause; the parameter's
  // own request index is back afterwards whatever the result. Returns the
  // exchange's result (0 success).
  static int SendApplyBroadcast(DeviceIO& link, Parameter& apply, int pauseMs = 100);

  // The pause before a broadcast (tests shorten it).
  int broadcastPauseMs = 100;

 private:
  Device* link_;
  ObjectWithParameters* network_;
  BaseDevice::CBaseDevice* model_;
};

}  // namespace Dialogs
