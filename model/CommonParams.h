#pragma once
// The service element: the program's version, legal notice and operating system
// as three read-only parameters.
#include <string>
#include <string_view>

#include "model/InvisibleElement.h"

namespace Elements {

class CommonParams : public InvisibleElement {
 public:
  CommonParams();
  ~CommonParams() override = default;

  // Parameters " " (version), "  " (legal notice) and "   " (operating system);
  // also fills the application's version texts and the registration values.
  void InitParameters() override;
  int GetImage() override;
  int GetSelectedImage() override;
  std::string GetTypeName() override;

  // The registration key of the machine-wide "name" and "version" values.
  static constexpr const char* kRegistrationKey = "Software\\TEVI\\Devices\\Zt580";

  // "1, 0, 0, 1" -> "1.0.0.1".
  static std::string DottedVersion(std::string_view fileVersion);
  // The operating system's name: PRETTY_NAME of os-release, else the kernel's
  // name and release.
  static std::string OperatingSystemText();
  // PRETTY_NAME of an os-release text (quotes and escapes removed); empty when absent.
  static std::string PrettyNameFromOsRelease(std::string_view content);
};

}  // namespace Elements
