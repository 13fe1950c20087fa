#pragma once
// The command line of an unattended run: the switches set the link, choose the
// task, place the window and end the program; any other word names the
// configuration file. Parsing is pure; creating the error log and the exit event
// is left to the caller (AppState::CreateErrorLog, NamedExitEvent).
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/BatchSettings.h"

class CmyCommandLineInfo {
 public:
  // Relative file names (the configuration file, "elog") resolve against the
  // directory the program was started in.
  explicit CmyCommandLineInfo(std::string startDirectory);

  // Every word after the program's name, in order.
  void ParseWords(const std::vector<std::string>& words);
  // One word as the shell gave it.
  void ParseWord(std::string_view word);

  exchange::BatchSettings batch;
  // The configuration file, in the case in which it was typed (absolute), or empty.
  std::string fileName;
  // The error-log file ("elog"), absolute, or empty.
  std::string errorLogPath;
  // The external exit event's name ("exitevent"), or empty.
  std::string exitEventName;
  // Lines for standard error about words the run passes over without harm (a read
  // beside a write; a second file name of a run with the window).
  std::vector<std::string> warnings;
  // One line for each word a batch run does not understand or cannot use (a
  // switch nobody knows, a value that does not read whole, one its field cannot
  // hold, a word that is none of the switch's words, a switch given twice with two
  // values, a second file name, a file or a task that the run would not use): the
  // run ends before anything is made or sent.
  std::vector<std::string> refusals;

  // Whether a word beginning with '/' is a switch word (its first piece names a
  // known switch or "ext") rather than an absolute file name.
  static bool IsSwitchWord(std::string_view word);
  // Whether a word that is no known switch and no existing file still names a
  // file (a relative name, or a path into an existing folder).
  static bool NamesFileToMake(std::string_view word);

 private:
  void ParseSwitchWord(std::string_view word);
  void ParsePiece(std::string_view piece);
  // The switch's value into its field, or a refusal.
  void ParseValue(const std::string& name, const std::string& value, const std::string& typed);
  void Refuse(const std::string& line);
  // A switch given again must mean what it meant the first time: `value` is what
  // it set, `typed` the word as typed, quoted. False (and a refusal) when it differs.
  bool Once(const std::string& name, const std::string& value, const std::string& typed);
  // What a batch run cannot use, once every word is known.
  void RefuseUnusedWords();
  std::string Absolute(const std::string& path) const;

  std::string startDirectory_;
  // File names after the first, as typed.
  std::vector<std::string> moreFileNames_;
  // What each switch given so far set.
  std::map<std::string, std::string> given_;
};

// The number of an address as typed ("addr"), read as every place reads an address
// (model::ReadAddressText): decimal, "0x" hexadecimal or leading-zero octal, the
// whole text (a typo such as "1o" is no 1). None otherwise.
std::optional<int> CommandLineAddressNumber(std::string_view text);

// Why a batch run must end at once with exit code 200, before anything is
// connected: no file named for a write or read, a file that is a folder or no
// regular file (a pipe, a device), a write's file missing or empty, a read's file
// in a folder that does not exist or one the run needs for itself (the settings,
// the model descriptions, the program). Empty when the file will do.
std::string BatchFileProblem(const exchange::BatchSettings& batch, const std::string& fileName);

// The command a batch run posts to the main window first: write 140, calibrate 303,
// read 139 (in this priority); 0 for none.
int FirstBatchCommand(const exchange::BatchSettings& batch);
