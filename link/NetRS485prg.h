#pragma once
// The program's own end of the line: the network settings plus the computer's port.
// The values come from the program's registry key when the parameters are set up and
// go back there when the element is destroyed.
#include <string>

#include "link/NetRS485.h"

namespace Elements {

class NetRS485prg : public NetRS485 {
 public:
  NetRS485prg();
  // Stores the settings.
  ~NetRS485prg() override;

  // The six network parameters with the stored values, then "Port".
  void InitParameters() override;
  int GetImage() override;
  int GetSelectedImage() override;
  // A configuration file never changes this computer's port settings.
  bool KeepsValuesWhenLoading() const override { return true; }

  // Writes the values back to the registry. Nothing is written before the
  // parameters were set up.
  void Store();

  // What the port's cell shows for its value: a port name with the device that
  // opening it opens ("COM1 (/dev/ttyS0)"); a device path, or a name that maps to
  // nothing, as it is.
  static std::string PortShownText(const std::string& value);

  // Registry value names.
  static constexpr const char* kAddress = "address";
  static constexpr const char* kAddressLength = "address_length";
  static constexpr const char* kBaudRate = "baud_rate";
  static constexpr const char* kByteSize = "byte_size";
  static constexpr const char* kStopBits = "stop_bits";
  static constexpr const char* kParityScheme = "parity_scheme";
  static constexpr const char* kPortNumber = "port_number";
  // A port given as a device path, kept beside "port_number" (empty for "COMn").
  static constexpr const char* kPortPath = "port_path";
};

}  // namespace Elements
