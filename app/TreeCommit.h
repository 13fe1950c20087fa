#pragma once
// The commit of a cell edit of the parameter tree into its parameter: period and
// value of polled parameters, value, edit attribute and owner of the others, with
// the checks, the refusal messages, the "Log" companion, the immediate write and
// the program's own port settings. The tree control calls CommitEdit once the
// editor has stored its text in the cell.
#include <optional>
#include <string>

#include "app/PelmTreeRows.h"

class CPelmDoc;
class Device;
class Parameter;

// What a commit needs of the link. The program forwards to its Device; tests fake it.
class EditLink {
 public:
  virtual ~EditLink() = default;
  // Writes the value at once (the link's WriteParameter with mode 1); 0 written.
  virtual int WriteParameter(Parameter& parameter) = 0;
  // The link's WriteParameterIfImmediate: 1000 when immediate writing is off.
  virtual int WriteParameterIfImmediate(Parameter& parameter) = 0;
  // Opens the port again with the program's settings (with its message).
  virtual void ReopenPort() = 0;
};

// The program's EditLink: the free link functions and the document's Device.
class DeviceEditLink : public EditLink {
 public:
  explicit DeviceEditLink(Device* device) : device_(device) {}
  int WriteParameter(Parameter& parameter) override;
  int WriteParameterIfImmediate(Parameter& parameter) override;
  void ReopenPort() override;

 private:
  Device* device_;
};

enum class CommitOutcome {
  Unchanged,     // the text is the old one, or no document: nothing done
  NotParameter,  // the row shows no parameter (the document is marked modified)
  Ignored,       // a column that edits nothing
  Refused,       // a refusal: the cell has its old text back after a message
  Taken,         // stored (and written when that was asked)
  WriteFailed,   // stored, but the write failed: row red with the note
};

struct CommitContext {
  PelmTreeRows& rows;
  CPelmDoc* document;  // null: nothing is done
  EditLink& link;
};

// Commits newText of (row, column); oldText is the cell's text before the edit.
CommitOutcome CommitEdit(CommitContext& context, model::TreeItem row, int column, const std::string& oldText,
                         const std::string& newText);

// What a row shows after a write of its parameter (the link's result; kNotWritten
// when it was only stored): a pending value green; otherwise the module's answer,
// red with the note or black without one, and every branch row above recomputed.
void ShowWriteResult(PelmTreeRows& rows, model::TreeItem row, const Parameter& parameter, int result);

// The message shown when a value is refused: string 219, the network-name note for
// "CHAr*", and string 220 with the limits when a limit is set ("%.f" for a polled
// parameter, else "%f", trailing zeros after a '.' removed).
std::string RejectedValueMessage(const Parameter& parameter, const std::string& text, bool polled);

// A poll period typed by the user: whole milliseconds from 100 up to the largest int;
// anything else is refused (none).
std::optional<int> ParsePollPeriod(const std::string& text);
