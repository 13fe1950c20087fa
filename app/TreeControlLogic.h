#pragma once
// The parameter tree control's rules apart from the commit of an edit: reading on
// expand, the poll switch of a row's state icon, which popup a right click gets,
// the parameter and branch commands, and the searches of rows and problems.
#include <string>
#include <vector>

#include "app/PelmTreeRows.h"

class CObject;
class CPelmDoc;
class DescBranch;
class ObjectWithParameters;
class Parameter;

namespace model {
class LinkOps;
}
namespace BaseDevice {
class DeviceDocument;
}

// Command ids of the control's menus.
inline constexpr int kCmdReadParameter = 32808;
inline constexpr int kCmdWriteParameter = 32809;
inline constexpr int kCmdSetNoData = 32811;
inline constexpr int kCmdReadBranchRows = 279;
inline constexpr int kCmdWriteBranchRows = 280;
inline constexpr int kCmdWriteChangedBranchRows = 281;
inline constexpr int kCmdCompareBranchRows = 282;
inline constexpr int kCmdPreviousProblem = 276;
inline constexpr int kCmdNextProblem = 277;

// Reads the parameter when it has never been read, has no note and automatic
// reading is on, counting a time-out: the link's result; -3 no parameter, -1 no
// link, -2 nothing to do.
int ReadOnExpand(model::LinkOps* link, Parameter* parameter);

// A row opens: a branch gets the rows of its parameters not shown yet, and each
// child row of an element that shows an unread parameter (not polled, not named
// four blanks) is read and refreshed, until the link stops the walk at its limit
// of consecutive time-outs; then the element's own row takes its problem colour.
// document may be null (nothing is read).
void ExpandRows(PelmTreeRows& rows, model::TreeItem row, BaseDevice::DeviceDocument* document);

// The state icon of a parameter row was clicked: 1 becomes 3 and a polled
// parameter's polling starts; 2 or more becomes 1 and it stops.
void PollSwitch(PelmTreeRows& rows, model::TreeItem row);

// The popup of a right click: at most one.
enum class RowPopup {
  None,
  BranchMenu,     // menu 321: a branch that is not the polled branch and polls nothing
  ParameterMenu,  // menu 310: a parameter that is not polled
};
RowPopup ChoosePopup(CObject* object, const DescBranch* polledBranch);

// One item of a popup: id 0 is a separator.
struct PopupItem {
  int id;
  std::string text;
};
// The items of the popup for that object (none for RowPopup::None); "Записать
// параметр" is left out for a parameter that cannot be written.
std::vector<PopupItem> PopupItems(RowPopup popup, CObject* object);

// 32808 read, 32809 write (through the progress dialog) and 32811 "no data" on
// the document's current object, which must be a parameter (else message 184).
// True when something was done.
bool RunParameterCommand(CPelmDoc& document, int command);

// 279-282: the selected row's branch (or none) becomes the current object, then
// the document's branch command 150-153 runs. True when a task ran.
bool RunBranchCommand(PelmTreeRows& rows, CPelmDoc& document, int command);

// Depth-first search below start (below the first root row when start is kNoItem):
// each child's descendants before the child itself. kNoItem when none shows object.
model::TreeItem FindItemByObject(PelmTreeRows& rows, const CObject* object, model::TreeItem start);

// Whether the element, or a branch below it, holds a parameter that is not polled
// and whose note is an error (not "not initialised", not a comparison difference).
bool HasProblemParameters(const ObjectWithParameters& element);
