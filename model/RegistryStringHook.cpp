#include "model/RegistryStringHook.h"

#include <atomic>

namespace model {
namespace {
std::atomic<RegistryStringWriter> gWriter{nullptr};
}  // namespace

RegistryStringWriter SetRegistryStringWriter(RegistryStringWriter writer) { return gWriter.exchange(writer); }

bool WriteMachineRegistryString(const std::string& valueName, const std::string& text, const std::string& keyPath) {
  RegistryStringWriter w = gWriter.load();
  return w ? w(valueName, text, keyPath) : false;
}

}  // namespace model
