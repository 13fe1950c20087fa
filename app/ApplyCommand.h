#pragma once
// What the network-settings change dialog does: the summary of the settings the
// module will take after "APLY", and sending "APLY" to the module's own address or
// as a broadcast. The dialog shows and collects; this decides.
#include <string>
#include <vector>

class Device;
class DeviceIO;
class ObjectWithParameters;
class Parameter;

namespace BaseDevice {
class CBaseDevice;
}

namespace Dialogs {

// What the summary and the refused "APLY" say when the module confirmed no setting.
inline constexpr const char* kNothingTaken =
    "Прибор не подтвердил ни одного нового сетевого параметра: они не записаны в прибор или прибор отказал в "
    "записи. Команда APLY ничего не изменит и не отправлена.";

class ApplyCommand {
 public:
  // Any of them may be null: the summary then says what is missing.
  ApplyCommand(Device* link, ObjectWithParameters* network, BaseDevice::CBaseDevice* model);

  // Static 1222: one "title: value" line per setting (without the data length when
  // the model has none), or the text of what is missing. A value the module did not
  // confirm is named as not written; when no setting was taken, the summary says so.
  std::string Summary() const;

  // Some setting was typed or written and the module confirmed none: "APLY" would
  // change nothing, and is not sent.
  bool NothingTaken() const;

  // A setting the module confirmed, and whether the program follows it after "APLY".
  struct Followed {
    std::string name;
    std::string value;
    bool followed = true;
  };
  // The settings the module confirmed; a frame or an address the write gate's
  // rules refuse (judged with the program's other settings) is not followed.
  static std::vector<Followed> SettingsToFollow(const ObjectWithParameters& network,
                                                const ObjectWithParameters* program);

  // After "APLY": the settings the program follows go into its own settings by
  // name; the others stay as they are.
  static void CopyConfirmedSettings(const ObjectWithParameters& network, ObjectWithParameters& program);

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
