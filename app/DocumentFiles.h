#pragma once
// The application's side of configuration files: the model check before a file is
// opened, opening by name, and the batch read's saving.
#include <cstddef>
#include <string>
#include <vector>

class CPelmDoc;
class DescBranch;

// What the application does with a file the user asked to open.
enum class OpenCheck {
  Open,         // go on and open it
  KeepCurrent,  // the user declined, or the file was refused (a message was shown)
};

// Reads the file's header: an unreadable file (message 185) or a schema-5 model
// byte outside the model table (message 168) is refused; a file of another model
// than the current one asks question 165.
OpenCheck CheckModelBeforeOpening(const std::string& path);

struct OpenOutcome {
  bool opened = false;        // the document loaded the file (it may hold defaults)
  bool becameDocument = false;  // the file is the document's path: add it to the recent files
};

// The model check, then the document's open; a loaded file becomes the document's
// path and title.
OpenOutcome OpenDocumentFile(CPelmDoc& document, const std::string& path);

// Saves the document under the path; a failure leaves any old file as it was and
// is reported in a message box. True when saved (the file is then the document's path).
bool SaveDocumentFile(CPelmDoc& document, const std::string& path);

// The end of a batch read: stores the document into the command line's file and
// makes it the document's path (not a recent file). A failure leaves any old
// file as it was, sets result flag 0x01 and returns false with the reason.
bool SaveToCommandLineFile(CPelmDoc& document, const std::string& path, std::string* error = nullptr);

// The line a batch write gives (standard error and the error log) when its file
// ended early: the file and how many of its bytes were loaded.
std::string TruncatedFileLine(const std::string& path, size_t loadedBytes);

// Why a batch write must not start with the tree the file at path loaded: one line
// for each parameter the write would send whose value the file does not hold
// ("Нет данных", as a read that failed midway or a file of another model leaves
// it), then the write gate's lines (a value that does not read, breaks its rule or
// cannot be encoded, an address or a frame the module must not get). Empty when
// the write may start.
std::vector<std::string> BatchWriteValueProblems(const DescBranch& root, const std::string& path);
