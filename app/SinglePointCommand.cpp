#include "app/SinglePointCommand.h"

#include <algorithm>
#include <mutex>

#include "link/AppState.h"
#include "link/DeviceIO.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace Dialogs {
namespace {

using platform::EqualsNoCase;
using resources::LoadString;

constexpr int kStrIndexInAddress = 302;
constexpr int kStrAddressBeyond7 = 311;
constexpr int kStrIndexInData = 312;
constexpr int kStrErrorFollows = 313;
constexpr int kStrWritten = 314;
constexpr int kStrReadText = 315;
constexpr int kStrNotDescribed = 316;
constexpr int kStrTypeUnknown = 317;
constexpr int kStrPortOpenError = 321;

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
    const int index = platform::Atoi(fields.indexText);
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
  if (write) parameter.value = fields.valueText;

  int result = -1;
  if (link_) {
    std::lock_guard lock(App().exchangeLock);
    result = link_->ExchangeParameter(write ? 0 : 1, &parameter, &trace, false);
  } else {
    parameter.note = LoadString(kStrPortOpenError);
  }
  if (result != 0) {
    trace.push_back(parameter.note);
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
