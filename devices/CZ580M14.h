#pragma once
// The strain-gauge models of indexes 13 ("Z580-14", one channel) and 14
// ("Z580-15", four channels): one class with a variant flag.

#include "devices/CBaseDevice.h"

namespace BaseDevice {

class CZ580M14 : public CBaseDevice {
 public:
  CZ580M14(bool fourChannels, DeviceDocument* document) : CBaseDevice(document), fourChannels_(fourChannels) {}

  const char* GetRuntimeClassName() const override { return "CZ580M14"; }

  // False: one channel (index 13); true: four channels (index 14).
  bool IsFourChannel() const { return fourChannels_; }

 private:
  const bool fourChannels_;
};

}  // namespace BaseDevice
