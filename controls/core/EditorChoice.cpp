#include "controls/core/EditorChoice.h"

#include <algorithm>
#include <array>

#include "devices/CZ580M07.h"
#include "devices/CZ580M08.h"
#include "devices/CZ580M13.h"
#include "model/Parameter.h"
#include "platform/Sio.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace TreeList {

namespace {

// Polled readings that the locking models compute themselves.
bool IsLockedReading(const std::string& name) {
  static const std::array<const char*, 14> kNames = {"R.CN",  "IRD",   "IRDT",  "READ",  "SRD",   "RD.IH", "RD.FH",
                                                     "RD.IP", "RD.FP", "RF.IV", "RF.FV", "RF.IP", "RF.FP", "RD.ST"};
  const std::string upper = platform::ToUpper(name);
  return std::any_of(kNames.begin(), kNames.end(), [&](const char* n) { return upper == n; });
}

}  // namespace

std::vector<std::string> ValueListItems(const std::string& typeText, const std::string& cellText) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start < typeText.size()) {
    size_t colon = typeText.find(':', start);
    if (colon == std::string::npos) colon = typeText.size();
    if (colon > start) {
      std::string item = typeText.substr(start, colon - start);
      std::replace(item.begin(), item.end(), '_', ' ');
      if (item != cellText && item.find("<hide>") == std::string::npos) items.push_back(std::move(item));
    }
    start = colon + 1;
  }
  return items;
}

EditorChoice ChooseEditor(const EditorRequest& r) {
  EditorChoice choice;
  if (r.disabled) return choice;
  const bool editable = r.editByText || r.editByList;
  Parameter* p = r.parameter;
  if (p && p->IsPolled()) {
    if (r.column == 1) {
      if (!platform::EqualsNoCase(p->name, "r.oe.s")) choice.kind = EditorKind::EditBox;
    } else if (r.column == 2 && editable && !(r.readingsLocked && IsLockedReading(p->name))) {
      choice.warnPolling = p->pollRunning.load();
      choice.kind = EditorKind::EditBox;
    }
    return choice;
  }
  if (!editable) return choice;
  if (r.column == 2 && r.editByList && p) {
    if (p->name == "Port") {
      std::string ports;
      (r.enumeratePorts ? r.enumeratePorts : EnumerateSerialPorts)(ports);
      p->type = ports;
    }
    choice.kind = EditorKind::DropDownList;
    choice.items = ValueListItems(p->type, r.cellText);
  } else if (r.column == 2 && r.editByText) {
    choice.kind = EditorKind::EditBox;
  } else if (r.column == 3 && p && p->attributes != 0) {
    choice.kind = EditorKind::DropDownList;
    choice.items = {resources::LoadString(p->editable == 0 ? kStrEditable : kStrNotEditable)};
  }
  return choice;
}

bool LocksPolledReadings(const model::DeviceModelHooks* model) {
  return dynamic_cast<const BaseDevice::CZ580M07*>(model) || dynamic_cast<const BaseDevice::CZ580M13*>(model) ||
         dynamic_cast<const BaseDevice::CZ580M08*>(model);
}

}  // namespace TreeList
