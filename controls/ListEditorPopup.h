#pragma once
// What the in-place list editors of the tree and the table share. Their drop-down
// list is a window of its own: the focus moving into it, the wheel over the closed
// box and Escape inside the open list must not be taken for the end of the editing
// (or for a choice).
#include <functional>

class QComboBox;

namespace controls {

// True while the box's own list is open or holds the focus.
bool FocusInOwnList(const QComboBox& box);

// Lets the drop-down list be wider than the box (a narrow cell), so that every item
// can be read whole. Call after the items are in.
void FitListWidth(QComboBox& box);

// FitListWidth now and whenever the box's items change: for the lists of dialogs,
// whose items are filled and refilled while they live.
void KeepListWide(QComboBox& box);

// Calls onEscape once the box's open list has been closed by Escape (the editing then
// ends as Escape in the closed box would end it).
void OnListEscape(QComboBox& box, std::function<void()> onEscape);

}  // namespace controls
