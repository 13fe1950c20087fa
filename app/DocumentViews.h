#pragma once
// What the document needs from the window layer: its views, the wait cursor and
// the dialogs that document commands open. The Qt layer implements it; tests fake
// it. Every call comes on the window thread.
class CPelmDoc;
class Device;

class DocumentViews {
 public:
  virtual ~DocumentViews() = default;

  // Redraws every view of the document.
  virtual void UpdateAllViews() = 0;
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
  // Deletes every row of the active view's tree control (nothing without a view).
  virtual void DeleteTreeRows() = 0;
  // The connection-setup dialog after a failed connection of an interactive run;
  // false when it ended with Cancel.
  virtual bool RunConnectionSetup(Device& link) = 0;
  // A modified document is about to get the tree of another model (the link found,
  // or the user picked, another one): the user may save it first. The tree is
  // replaced whatever the answer. Nothing by default.
  virtual void SaveModifiedBeforeModelChange(CPelmDoc& /*document*/) {}
  // The network-settings change dialog of an interactive APLY; true when it ended
  // with OK and the program's own port settings are to follow the module's.
  virtual bool RunApplyDialog(CPelmDoc& document) = 0;
};
