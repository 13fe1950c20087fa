#pragma once
// What the link needs from the window layer while a task runs: the modal progress
// dialog "Прибор <==> программа" and a few notices to the main window. The Qt
// layer implements it; tests use a fake. Everything but RunTaskDialog may be
// called from any thread and must only queue the work for the window thread
// (never wait for it), so that a worker never blocks on the window thread.
#include <string>

#include "platform/Prompter.h"

class Device;

namespace exchange {

// One line for the progress list, with what the other controls show after it.
struct ProgressLine {
  std::string text;      // the list line, at most 255 characters
  std::string elapsed;   // time since the task began, "%H:%M:%S"
  std::string counts;    // "%i из %i" of done and total; empty: leave the counter
                         // text and the progress bar as they are
  int done = 0;          // progress bar position (when counts is not empty)
  bool scrollToEnd = false;
};

class TaskWindow {
 public:
  virtual ~TaskWindow() = default;

  // Window thread: runs the progress dialog of the task modally and returns when
  // it has ended; false (nothing run) when it cannot be shown.
  // The dialog: caption from the string table (captionId); progress bar range
  // 0..total at 0. Once it exists it calls device.OnTaskDialogCreated(taskCode)
  // (that starts the task); its button "Прервать!" calls device.OnAbortPressed();
  // it closes on PostEndDialog. Lines that arrive while no dialog is open are
  // dropped.
  virtual bool RunTaskDialog(Device& device, int taskCode, int captionId, int total) = 0;

  // Window thread, before a task takes its parameters: an in-place edit still open
  // ends as a click elsewhere would end it (its text is stored and committed once),
  // so that it is neither left open under the task nor written after it.
  virtual void EndEditing() {}

  // Any thread; queued for the window thread.
  virtual void PostProgressLine(ProgressLine line) = 0;
  virtual void PostEndDialog() = 0;
  // A message box over the main window, on top of the others.
  virtual void PostMessageBox(platform::MessageRequest request) = 0;
  // To the main window: the task wrote network settings, send "APLY" (WM_USER+41).
  virtual void PostApply() = 0;
  // To the main window: a batch read ended, save the document (WM_USER+42).
  virtual void PostBatchSave() = 0;

  // Whether the main window exists (any thread).
  virtual bool MainWindowExists() const = 0;
};

// The window layer in force, or null (no main window).
TaskWindow* CurrentTaskWindow();
// Installs the window layer (null: none); returns the previous one.
TaskWindow* SetTaskWindow(TaskWindow* window);

}  // namespace exchange
