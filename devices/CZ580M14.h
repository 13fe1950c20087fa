#pragma once
// The strain-gauge models of indexes 13 ("Z580-14", one channel) and 14
// ("Z580-15", four channels): one class with a variant flag.

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M14 : public CBaseDevice {
 public:
  // The menu command of the tare-weight measurement the model adds.
  static constexpr int kCommandTareWeight = 111;

  CZ580M14(bool fourChannels, DeviceDocument* document) : CBaseDevice(document), fourChannels_(fourChannels) {}
  // Takes its menu item away again.
  ~CZ580M14() override;

  const char* GetRuntimeClassName() const override { return "CZ580M14"; }

  // False: one channel (index 13); true: four channels (index 14).
  bool IsFourChannel() const { return fourChannels_; }

  bool HasScanners() const override { return true; }
  // The response delay "Rs.dL" is a network setting too.
  bool IsNetworkParameter(const std::string& name) const override;
  // Length "11": 1..254 and 256..2036; length "8": 1..254; any other text: any.
  bool IsValidAddress(int address, const std::string& addressLength) const override;
  // "Измерение веса тары" before "Юстировка", once.
  void AddModelMenuItems() override;
  bool OnModelCommand(int command) override;
  // The module resets itself on "S.Def", the four-channel one channel by channel.
  void ResetToDefaults() override { ResetWithDefaultsCommand(fourChannels_ ? 4 : 1); }
  int GetStatusBitCaption(int row) const override;
  std::string GetStatusBitText(int row, const unsigned* word) const override;
  CalibrationWizard GetCalibrationWizard() const override { return CalibrationWizard::StrainGauge; }

 private:
  const bool fourChannels_;
};

}  // namespace BaseDevice
