#pragma once
// Machine-wide text settings ("name", "version" under the program's registration
// key) are written through a writer that the settings layer installs. Without one
// the writes do nothing, as a write without rights does.
#include <string>

namespace model {

using RegistryStringWriter = bool (*)(const std::string& valueName, const std::string& text,
                                      const std::string& keyPath);

// Installs the writer (null: none); returns the previous one.
RegistryStringWriter SetRegistryStringWriter(RegistryStringWriter writer);

// Writes through the installed writer; false when there is none or it failed.
bool WriteMachineRegistryString(const std::string& valueName, const std::string& text, const std::string& keyPath);

}  // namespace model
