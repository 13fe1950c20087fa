#include "app/SinglePointCommand.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <mutex>

#include "link/AppState.h"
#include "link/Device.h"
#include "link/DeviceIO.h"
#include "link/WriteGate.h"
#include "model/Parameter.h"
#include "model/TypedNumber.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace Dialogs {
namespace {

using platform::EqualsNoCase;
using resources::LoadString;

constexpr const char* kBadIndex = "Недопустимый индекс '%s': нужно целое число от 0 до %i";

bool IsOneOf(std::string_view text, std::initializer_list<std::string_view> words) {
  return std::any_of(words.begin(), words.end(), [&](std::string_view w) { return EqualsNoCase(text, w); });
}

}  // namespace

SinglePointCommand::SinglePointCommand(const std::vector<DescParameter>& catalogue, DeviceIO* link)
    : catalogue_(catalogue), link_(link) {}

std::vector<std::string> SinglePointCommand::Names() const {
  std::vector<std::string> names;
  names.reserve(catalogue_.size());
  for (const DescParameter& d : catalogue_) names.push_back(d.name);
  return names;
}

int SinglePointCommand::HighestIndexInAddress() const {
  if (!link_) return exchange::MaxFrameAddress(8);
  int highest = 0;
  link_->WhileNoFrameRuns([&] {
    const Sio& port = link_->Port();
    highest = exchange::MaxFrameAddress(port.addressLength) - port.moduleAddress;
  });
  return highest;
}

const DescParameter* SinglePointCommand::Find(const std::string& name) const {
  for (const DescParameter& d : catalogue_)
    if (EqualsNoCase(d.name, name)) return &d;
  return nullptr;
}

std::vector<std::string> SinglePointCommand::UpdateCommand(SinglePointFields& fields) const {
  const Parameter probe(fields.command);
  fields.hashText = platform::Format("0x%X", static_cast<unsigned>(probe.NameHash()));
  std::string type = LoadString(kStrTypeUnknown);
  std::string description = probe.description;
  if (const DescParameter* d = Find(fields.command)) {
    type = d->type;
    description = d->caption;
  }
  fields.description = description + " (" + type + ")";

  std::vector<std::string> values;
  if (IsOneOf(type, {"string", "ASCI", "int", "int16", "CLK_frm", "float", "stored_dot", "name"}) ||
      type == LoadString(kStrTypeUnknown))
    return values;
  for (size_t start = 0; start <= type.size();) {
    size_t colon = type.find(':', start);
    if (colon == std::string::npos) colon = type.size();
    std::string item = type.substr(start, colon - start);
    start = colon + 1;
    if (item.empty() || item.find("<hide>") != std::string::npos) continue;
    std::replace(item.begin(), item.end(), '_', ' ');
    values.push_back(item);
  }
  return values;
}

std::vector<std::string> SinglePointCommand::Execute(const SinglePointFields& fields) {
  std::vector<std::string> trace;
  const DescParameter* entry = Find(fields.command);
  if (!entry) {
    platform::ShowMessage(platform::Format(LoadString(kStrNotDescribed).c_str(), fields.command.c_str()),
                          std::string(), platform::MessageIcon::Error);
    return trace;
  }
  Parameter parameter(fields.command);
  parameter.description = entry->caption;
  // "word:digit" of a numeric type gives the decimal point; any other text is the type.
  parameter.type = entry->type;
  // The description's rule holds here as in the tree's cell.
  parameter.min = entry->lower;
  parameter.max = entry->upper;
  const size_t colon = entry->type.find(':');
  if (colon != std::string::npos) {
    const std::string word = entry->type.substr(0, colon);
    const int point = platform::Atoi(std::string_view(entry->type).substr(colon + 1));
    if (point != 0 && IsOneOf(word, {"int", "int16", "CLK_frm", "stored_dot", "float"})) {
      parameter.type = word;
      parameter.dot = point;
    }
  }

  if (fields.hasIndex) {
    // An index is a whole number from 0 to what its place carries: two bytes in the
    // data; in the address, what the addressing leaves above the module's address
    // (-1 would be taken for the broadcast channel). Beyond it, an index would be
    // cut to another channel or overflow the address.
    // A module address the addressing cannot carry is the link's to refuse.
    int highest = fields.indexPlace == 1 ? HighestIndexInAddress() : 65535;
    if (highest < 0) highest = INT_MAX;
    const std::optional<double> typedIndex =
        model::ReadTypedNumber(fields.indexText, {0, static_cast<double>(highest), true, false});
    if (!typedIndex) {
      trace.push_back(platform::Format(kBadIndex, fields.indexText.c_str(), highest));
      return trace;
    }
    const int index = static_cast<int>(*typedIndex);
    if (fields.indexPlace == 1) {
      parameter.requestIndex = index;
      trace.push_back(LoadString(kStrIndexInAddress));
      if (index > 7) trace.push_back(LoadString(kStrAddressBeyond7));
    } else {
      parameter.indexed = true;
      parameter.linearIndex = index;
      trace.push_back(LoadString(kStrIndexInData));
    }
  } else {
    parameter.indexed = false;
  }
  trace.push_back(fields.command + " (" + parameter.description + ")");
  const bool write = fields.operation == 1;
  if (write) {
    // The value is read as everywhere a number is typed; a refusal sends nothing.
    if (parameter.CheckAndSetValue(fields.valueText, true) == 0) {
      std::string refusal =
          platform::Format(LoadString(kStrRejectedValue).c_str(), parameter.name.c_str(),
                           parameter.description.c_str(), fields.valueText.c_str());
      std::replace(refusal.begin(), refusal.end(), '\n', ' ');
      while (!refusal.empty() && refusal.back() == ' ') refusal.pop_back();
      trace.push_back(refusal);
      return trace;
    }
  }

  if (write) {
    // A network setting is judged with the others the module's tree holds.
    const auto* device = dynamic_cast<const Device*>(link_);
    const std::vector<exchange::WriteRefusal> refusals = exchange::CheckWrite(
        exchange::WriteTaskOf(parameter, parameter.value, device != nullptr ? device->moduleNetwork : nullptr));
    if (!refusals.empty()) {
      for (const exchange::WriteRefusal& r : refusals) trace.push_back(exchange::RefusalLine(r));
      return trace;
    }
  }

  int result = -1;
  if (link_) {
    std::lock_guard lock(App().exchangeLock);
    result = link_->ExchangeParameter(write ? 0 : 1, &parameter, &trace, false);
  } else {
    parameter.note = LoadString(kStrPortOpenError);
  }
  if (result != 0) {
    // The link may have traced the reason already; it is shown once.
    if (trace.empty() || trace.back() != parameter.note) trace.push_back(parameter.note);
  } else if (!parameter.note.empty()) {
    trace.push_back(LoadString(kStrErrorFollows));
    trace.push_back(parameter.note);
  } else if (write) {
    trace.push_back(LoadString(kStrWritten) + parameter.value + "'");
  } else {
    trace.push_back(LoadString(kStrReadText));
    trace.push_back(parameter.value);
  }
  return trace;
}

}  // namespace Dialogs
