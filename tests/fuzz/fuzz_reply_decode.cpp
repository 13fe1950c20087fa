// Decodes arbitrary reply data with every value form, then writes the decoded
// text back the way a later write would.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "model/DeviceModelHooks.h"
#include "model/Parameter.h"

namespace {

struct Form {
  const char* name;
  const char* type;
};

const Form kForms[] = {
    {"X", "float"},     {"r.oe", "float"},  {"X", "STORED_DOT"}, {"X", "int"},      {"Addr", "int"},
    {"X", "int16"},     {"X", "sint"},      {"X", "sint16"},     {"X", "CLK_frm"},  {"X", "string"},
    {"X", "ASCI"},      {"X", "name"},      {"X", "void"},       {"X", "Off:On:Вкл_1"}, {"dev", "int"},
    {"ver", "string"},  {"bPS", "int"},     {"PrtY", "a:b:c"},   {"Sbit", "1:2"},   {"APLY", "int"},
    {"rEAd", "float"},  {"iRD", "float"},   {"CodP", "int"},     {"X", ""},         {"X", "a::b:"},
};

class AnalogModel : public model::DeviceModelHooks {
 public:
  bool HasMeasurementReadings() const override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static AnalogModel analog;
  const std::uint8_t selector = data[0];
  model::SetCurrentDeviceModel((selector & 0x80) ? &analog : nullptr);
  const Form& form = kForms[(selector & 0x7F) % (sizeof kForms / sizeof kForms[0])];
  std::span<const std::uint8_t> reply(data + 1, size - 1);

  Parameter p(form.name);
  p.type = form.type;
  p.dot = selector % 5;
  int r = p.ConvertFromData(reply);
  if (r < -1 || r > 1) __builtin_trap();
  (void)p.ReceivedFloat();

  ValueBytes out;
  if (p.ConvertToData(out) == 1 && out.size() > 4) __builtin_trap();
  // The reply bytes as a typed text as well.
  std::string text(reinterpret_cast<const char*>(reply.data()), reply.size());
  if (p.ConvertTextToData(text, out) == 1 && out.size() > 4) __builtin_trap();
  p.CheckAndSetValue(std::string(reinterpret_cast<const char*>(reply.data()), reply.size()), selector & 1);
  (void)Parameter::HashOfName(text);
  model::SetCurrentDeviceModel(nullptr);
  return 0;
}
