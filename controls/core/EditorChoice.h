#pragma once
// Which in-place editor a cell of the parameter tree opens, and what its list holds.
// Plain rules over the row's parameter, the column, the row's edit flags and whether
// the current device model locks its polled readings; the tree-list control asks them
// through a hook that the parameter tree may override.
#include <functional>
#include <string>
#include <vector>

class Parameter;

namespace model {
class DeviceModelHooks;
}

namespace TreeList {

enum class EditorKind { None, EditBox, DropDownList };

struct EditorRequest {
  int column = 0;
  std::string cellText;
  bool editByText = false;
  bool editByList = false;
  bool disabled = false;
  Parameter* parameter = nullptr;  // the row's object when it is a parameter
  // The current model forbids editing the polled readings (see LocksPolledReadings).
  bool readingsLocked = false;
  // The computer's serial ports joined by ":" (the "Port" parameter's list).
  std::function<void(std::string&)> enumeratePorts;
};

struct EditorChoice {
  EditorKind kind = EditorKind::None;
  // The polling of the parameter runs: the user is warned (string 208) first.
  bool warnPolling = false;
  std::vector<std::string> items;  // the list's items after the cell's own text
};

EditorChoice ChooseEditor(const EditorRequest& request);

// The items of a value list ("a:b_c:<hide>d"): split at ':' (no empty items), '_'
// shown as a blank, the cell's own text and "<hide>" items left out.
std::vector<std::string> ValueListItems(const std::string& typeText, const std::string& cellText);

// True for the models whose polled readings are not edited (CZ580M07, CZ580M13, CZ580M08).
bool LocksPolledReadings(const model::DeviceModelHooks* model);

}  // namespace TreeList
