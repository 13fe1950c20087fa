#pragma once
// The rows of the parameter tree view: its columns, the configuration row with the
// device parameters and the polled parameters under it, the start of the link's
// threads, and the refresh of every row after the document changed.
#include <array>

#include "app/PelmTreeRows.h"
#include "resources/StringIds.h"

class CPelmDoc;
class DescBranch;

struct ViewColumn {
  int titleId;    // string id of the caption
  int alignment;  // 0 left, 1 right
  int width;      // pixels
};
// Description, parameter, value, edit attribute, owner, exchange errors.
inline constexpr std::array<ViewColumn, 6> kViewColumns{{
    {kStrDescription, 0, 360},
    {kStrParameterColumn, 1, 70},
    {kStrValue, 1, 180},
    {kStrEditAttributeColumn, 1, 110},
    {kStrOwnerColumn, 1, 90},
    {kStrExchangeErrors, 0, 220},
}};

// The rows the view keeps.
struct ViewRows {
  model::TreeItem configuration = model::kNoItem;
  model::TreeItem deviceParameters = model::kNoItem;
  model::TreeItem polledParameters = model::kNoItem;  // kNoItem: the model polls nothing
};

// Column 0 of the configuration row: string 212, the document's title and ")".
std::string ConfigurationRowText(const CPelmDoc& document);

// The view's first update with an empty control: builds the rows (the linear-index
// flag from the program mode), starts the polling thread when polled rows were
// built and the transmit thread when the link has none, lets the device model add
// its menu items, and expands the configuration and device rows. Nothing when the
// control already holds rows (the returned rows are then empty).
ViewRows BuildViewRows(PelmTreeRows& rows, CPelmDoc& document);

// The rows are about to go while the tree stays: its parameters forget their rows
// (so that no poll record and no refresh reaches a deleted row) and its branches
// show no rows. branch may be null.
void ForgetTreeRows(DescBranch* branch);

// Refreshes every row in pre-order: elements their index and colour, polled
// parameters their caption, other parameters all their texts.
void RefreshRows(PelmTreeRows& rows, bool showIndex);
