#include "app/CmyCommandLineInfo.h"

#include <array>
#include <initializer_list>
#include <filesystem>
#include <optional>

#include "app/NamedExitEvent.h"
#include "app/ProgramFiles.h"
#include "model/TypedNumber.h"
#include "platform/CFormat.h"
#include "platform/Sio.h"
#include "platform/Text.h"

namespace {

constexpr std::array<std::string_view, 24> kSwitches = {
    "write", "read", "port", "bps", "prty", "addr", "len", "sbit", "alen", "rs485", "aply", "x",
    "y", "w", "h", "autoread", "autowrite", "silent", "close", "calibrate", "elog", "exitevent", "test", "ext"};

constexpr size_t kMaxAddress = 5;

std::string Lower(std::string_view text) { return platform::ToLower(text); }

// The name of a piece: up to its first ':'.
std::string_view PieceName(std::string_view piece) { return piece.substr(0, piece.find(':')); }

// Switches whose value is the rest of the word, in its own case.
bool TakesRestOfWord(std::string_view lowerName) { return lowerName == "elog" || lowerName == "exitevent"; }

std::string StripQuotes(std::string_view text) {
  while (!text.empty() && (text.front() == '"' || text.front() == '\'')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == '"' || text.back() == '\'')) text.remove_suffix(1);
  return std::string(text);
}

constexpr std::string_view kWithoutValue[] = {"write", "read", "aply", "silent", "close", "calibrate", "test", "ext"};

bool NameTakesNoValue(std::string_view lowerName) {
  for (std::string_view bare : kWithoutValue)
    if (lowerName == bare) return true;
  return false;
}

bool IsKnownSwitch(std::string_view lowerName) {
  for (std::string_view known : kSwitches)
    if (lowerName == known) return true;
  return false;
}

// A piece that reads as a switch: a known name, with a value when it takes one
// (a folder named "x" is no window position).
bool LooksLikeSwitch(std::string_view piece) {
  const std::string name = Lower(PieceName(piece));
  if (!IsKnownSwitch(name)) return false;
  return NameTakesNoValue(name) || piece.find(':') != std::string_view::npos;
}

}  // namespace

CmyCommandLineInfo::CmyCommandLineInfo(std::string startDirectory) : startDirectory_(std::move(startDirectory)) {
  if (!startDirectory_.empty() && startDirectory_.back() != '/') startDirectory_ += '/';
}

bool CmyCommandLineInfo::IsSwitchWord(std::string_view word) {
  if (word.empty()) return false;
  if (word[0] == '-') return true;
  if (word[0] != '/') return false;
  std::string_view rest = word.substr(1);
  return IsKnownSwitch(Lower(PieceName(rest.substr(0, rest.find('/')))));
}

void CmyCommandLineInfo::ParseWords(const std::vector<std::string>& words) {
  for (const std::string& word : words) ParseWord(word);
  // Write and read together: only the write runs. The read's flag goes, or its
  // save would overwrite the file the write comes from.
  if ((batch.runFlags & exchange::kRunWrite) && (batch.runFlags & exchange::kRunRead)) {
    batch.runFlags &= ~exchange::kRunRead;
    warnings.push_back("\"read\" together with \"write\": only the write runs.");
  }
  RefuseUnusedWords();
}

void CmyCommandLineInfo::RefuseUnusedWords() {
  const uint32_t run = batch.runFlags;
  const bool batchRun = (run & exchange::kRunBatch) != 0;
  for (const std::string& more : moreFileNames_) {
    // A window started on several files (a desktop's "open with") shows the first.
    if (!batchRun)
      warnings.push_back(platform::Format("a second file name \"%s\": ignored (the file is \"%s\").", more.c_str(),
                                          fileName.c_str()));
    else
      Refuse(platform::Format("a second file name \"%s\": a run takes one file (\"%s\")", more.c_str(),
                              fileName.c_str()));
  }
  if (!batchRun) return;
  const bool task = (run & (exchange::kRunWrite | exchange::kRunRead)) != 0;
  const char* taskName = (run & exchange::kRunWrite) ? "/write" : "/read";
  if (task && (batch.modeFlags & exchange::kModeTest))
    Refuse(platform::Format("\"/test\" beside \"%s\": a test run connects and ends, it neither reads nor writes",
                            taskName));
  if (task && (run & exchange::kRunCalibrate))
    Refuse(platform::Format("\"/calibrate\" beside \"%s\": no task runs with \"/calibrate\"", taskName));
  // A run that ends without its window and without a task never opens the file.
  const bool endsAtOnce =
      (run & (exchange::kRunClose | exchange::kRunCalibrate)) != 0 || (batch.modeFlags & exchange::kModeTest) != 0;
  if (!task && endsAtOnce && !fileName.empty())
    Refuse(platform::Format("the file \"%s\": no \"/write\" or \"/read\" uses it", fileName.c_str()));
}

namespace {

// A switch typed with a character that is none of its two: a backslash, or a dash
// other than the ASCII one (as pasted from a text: "\u2013", "\u2014", "\u2212").
bool BeginsLikeASwitch(std::string_view word) {
  if (!word.empty() && word[0] == '\\') return true;
  for (std::string_view dash : {"\u2010", "\u2011", "\u2012", "\u2013", "\u2014", "\u2015", "\u2212", "\uFE63", "\uFF0D"})
    if (word.substr(0, dash.size()) == dash) return true;
  return false;
}

}  // namespace

void CmyCommandLineInfo::ParseWord(std::string_view word) {
  if (word.empty()) return;
  std::error_code error;
  const std::string path = Absolute(StripQuotes(word));
  const bool existingFile = std::filesystem::exists(path, error) && !std::filesystem::is_directory(path, error);
  if (IsSwitchWord(word) || (word[0] == '/' && !NamesFileToMake(word))) {
    if (!existingFile) {
      ParseSwitchWord(word);
      return;
    }
    // A file that exists is a file name even when it is named like a switch
    // ("/x/a.z580", "-w.z580"), unless the word is a switch the run understands.
    CmyCommandLineInfo trial = *this;
    trial.ParseSwitchWord(word);
    if (trial.refusals.size() == refusals.size()) {
      *this = std::move(trial);
      return;
    }
  } else if (!existingFile && (BeginsLikeASwitch(word) || word.substr(0, 2) == "//")) {
    batch.runFlags |= exchange::kRunBatch;
    Refuse(platform::Format("\"%s\" is no switch (a switch begins with one \"/\" or \"-\") and no existing file",
                            std::string(word).c_str()));
    return;
  }
  if (fileName.empty())
    fileName = path;
  else
    moreFileNames_.emplace_back(word);
}

bool CmyCommandLineInfo::NamesFileToMake(std::string_view word) {
  // A word beginning with '/' is a switch word, unless it is a path: it goes into
  // a folder that exists (a read makes its file there), or it has folders and none
  // of its pieces is a switch ("/tmp/gone/out.z580", whose folder the run then
  // reports missing). "/frobnicate" is a switch nobody knows, not a file in the
  // root folder.
  if (word.empty() || word[0] != '/') return true;
  const size_t lastSlash = word.rfind('/');
  if (lastSlash == 0) return false;
  std::error_code error;
  if (std::filesystem::is_directory(std::string(word.substr(0, lastSlash)), error)) return true;
  for (std::string_view rest = word.substr(1); !rest.empty();) {
    const size_t slash = rest.find('/');
    if (LooksLikeSwitch(rest.substr(0, slash))) return false;
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  return true;
}

std::string CmyCommandLineInfo::Absolute(const std::string& path) const {
  if (path.empty() || path[0] == '/') return path;
  return startDirectory_ + path;
}

void CmyCommandLineInfo::ParseSwitchWord(std::string_view word) {
  // The word as typed, for the line that names what was refused.
  const std::string whole(word);
  word.remove_prefix(1);
  if (word.empty()) Refuse(platform::Format("\"%s\" names no switch", whole.c_str()));
  while (!word.empty()) {
    const size_t slash = word.find('/');
    std::string_view piece = word.substr(0, slash);
    const std::string name = Lower(PieceName(piece));
    if (TakesRestOfWord(name)) {
      batch.runFlags |= exchange::kRunBatch;
      const size_t colon = word.find(':');
      const std::string value = colon == std::string_view::npos ? std::string() : StripQuotes(word.substr(colon + 1));
      if (value.empty()) {
        Refuse(platform::Format("\"%s\": the switch needs a %s after \":\"", whole.c_str(),
                                name == "elog" ? "file name" : "name"));
      } else if (name == "elog") {
        const std::string log = std::filesystem::path(Absolute(value)).lexically_normal().string();
        if (Once(name, log, "\"" + whole + "\"")) errorLogPath = Absolute(value);
      } else if (const std::string problem = NamedExitEvent::NameProblem(value); !problem.empty()) {
        Refuse("\"" + whole + "\": " + problem);
      } else if (Once(name, value, "\"" + whole + "\"")) {
        exitEventName = value;
      }
      return;
    }
    if (!piece.empty()) {
      if (IsKnownSwitch(name)) {
        ParsePiece(piece);
      } else {
        batch.runFlags |= exchange::kRunBatch;
        // A misspelt switch would leave the run doing something else than asked.
        Refuse(whole.size() == piece.size() + 1
                   ? platform::Format("\"%s\" is no switch and no existing file", whole.c_str())
                   : platform::Format("\"%s\" in \"%s\" is no switch", std::string(piece).c_str(), whole.c_str()));
      }
    }
    if (slash == std::string_view::npos) break;
    word.remove_prefix(slash + 1);
  }
}

void CmyCommandLineInfo::Refuse(const std::string& line) { refusals.push_back(line); }

bool CmyCommandLineInfo::Once(const std::string& name, const std::string& value, const std::string& typed) {
  const auto [at, first] = given_.emplace(name, value);
  if (first || at->second == value) return true;
  Refuse(platform::Format("%s: \"%s\" was given before with another value (\"%s\")", typed.c_str(),
                          name.c_str(), at->second.c_str()));
  return false;
}

void CmyCommandLineInfo::ParsePiece(std::string_view rawPiece) {
  const std::string piece = Lower(rawPiece);
  const size_t colon = piece.find(':');
  const std::string name = piece.substr(0, colon);
  const std::string value = colon == std::string::npos ? std::string() : piece.substr(colon + 1);
  // Named as typed.
  const std::string typed = "\"/" + std::string(rawPiece) + "\"";
  batch.runFlags |= exchange::kRunBatch;

  if (colon != std::string::npos && NameTakesNoValue(name)) {
    Refuse(typed + ": the switch takes no value");
    return;
  }
  if (colon == std::string::npos && !NameTakesNoValue(name)) {
    Refuse(typed + ": the switch needs a value after \":\"");
    return;
  }
  const exchange::BatchSettings before = batch;
  const size_t refused = refusals.size();
  ParseValue(name, value, typed);
  if (refusals.size() != refused || NameTakesNoValue(name)) return;
  // What the value says, whichever form of it was typed ("7", "COM7", "0x7").
  const std::string digits = name == "port" && value.rfind("com", 0) == 0 ? value.substr(3) : value;
  const std::optional<int> number = CommandLineAddressNumber(digits);
  if (!Once(name, number ? std::to_string(*number) : value, typed)) batch = before;
}

void CmyCommandLineInfo::ParseValue(const std::string& name, const std::string& value, const std::string& typed) {
  // A switch whose value is one of its words.
  auto word = [&](std::initializer_list<std::string_view> words) -> int {
    int index = 0;
    for (std::string_view w : words) {
      if (value == w) return index;
      ++index;
    }
    std::string list;
    for (std::string_view w : words) list += (list.empty() ? "" : ", ") + std::string(w);
    Refuse(typed + ": the value is one of " + list);
    return -1;
  };
  // Numbers are read whole, as an address is, and must be ones their field holds.
  auto window = [&](int32_t& field, uint8_t windowFlag) {
    const std::optional<int> n = CommandLineAddressNumber(value);
    if (!n) {
      Refuse(typed + ": not a whole number (decimal, 0x hexadecimal, or octal with a leading 0) of the int range");
      return;
    }
    field = *n;
    batch.windowFlags |= windowFlag;
  };

  if (name == "write") {
    batch.runFlags |= exchange::kRunWrite;
  } else if (name == "read") {
    batch.runFlags |= exchange::kRunRead;
  } else if (name == "port") {
    // "COM7" as the ports are named, or the number alone.
    const std::string digits = value.rfind("com", 0) == 0 && value.size() > 3 ? value.substr(3) : value;
    const std::optional<int> n = CommandLineAddressNumber(digits);
    if (!n || *n < 1 || *n > 255) {
      Refuse(typed + ": a port is COM1 to COM255, given as its number or its name");
      return;
    }
    batch.portNumber = static_cast<uint8_t>(*n);
    batch.runFlags |= exchange::kRunLinkSettings;
  } else if (name == "bps") {
    const std::optional<int> n = CommandLineAddressNumber(value);
    if (!n || *n <= 0 || !platform::IsSupportedBaudRate(static_cast<uint32_t>(*n))) {
      Refuse(typed + ": not a rate the port knows (" + platform::SupportedBaudRatesText() + ")");
      return;
    }
    batch.baudRate = static_cast<uint32_t>(*n);
    batch.runFlags |= exchange::kRunLinkSettings;
  } else if (name == "prty") {
    const int item = word({"even", "odd", "no"});
    if (item < 0) return;
    batch.parity = static_cast<uint8_t>(item + 1);
    batch.runFlags |= exchange::kRunLinkSettings;
  } else if (name == "addr") {
    // A value that is no number, or too long to be one the field holds, would send
    // to another module than the one meant (the stored address, or 0): refused.
    if (value.size() > kMaxAddress || !CommandLineAddressNumber(value)) {
      Refuse(typed + (value.size() > kMaxAddress ? ": an address has at most 5 characters"
                                                 : ": not a number (decimal, 0x hexadecimal, "
                                                   "or octal with a leading 0)"));
      return;
    }
    batch.address = value;
    batch.runFlags |= exchange::kRunLinkSettings;
  } else if (name == "len") {
    const std::optional<int> n = CommandLineAddressNumber(value);
    if (!n || (*n != 7 && *n != 8)) {
      Refuse(typed + ": a data length is 7 or 8");
      return;
    }
    batch.dataLength = static_cast<uint8_t>(*n);
    batch.runFlags |= exchange::kRunLinkSettings;
  } else if (name == "sbit") {
    // As the port takes them: one or two.
    const int item = word({"1", "2"});
    if (item < 0) return;
    batch.stopBits = value;
    batch.runFlags |= exchange::kRunLinkSettings;
  } else if (name == "alen") {
    const std::optional<int> n = CommandLineAddressNumber(value);
    if (!n || (*n != 8 && *n != 11)) {
      Refuse(typed + ": an address length is 8 or 11");
      return;
    }
    batch.addressLength = static_cast<uint8_t>(*n);
    batch.runFlags |= exchange::kRunLinkSettings;
  } else if (name == "rs485") {
    const int item = word({"auto", "off", "on"});
    if (item >= 0) batch.converterMode = static_cast<uint8_t>(item + 1);
  } else if (name == "aply") {
    batch.runFlags |= exchange::kRunAply;
  } else if (name == "x") {
    window(batch.x, exchange::kWindowX);
  } else if (name == "y") {
    window(batch.y, exchange::kWindowY);
  } else if (name == "w") {
    window(batch.width, exchange::kWindowWidth);
  } else if (name == "h") {
    window(batch.height, exchange::kWindowHeight);
  } else if (name == "autoread") {
    const int item = word({"on", "off"});
    if (item >= 0) batch.modeFlags |= item == 0 ? exchange::kModeAutoReadOn : exchange::kModeAutoReadOff;
  } else if (name == "autowrite") {
    const int item = word({"on", "off"});
    if (item >= 0) batch.modeFlags |= item == 0 ? exchange::kModeAutoWriteOn : exchange::kModeAutoWriteOff;
  } else if (name == "silent") {
    batch.modeFlags |= exchange::kModeSilent | exchange::kModeAutoWriteOff | exchange::kModeAutoReadOff;
  } else if (name == "close") {
    batch.runFlags |= exchange::kRunClose;
  } else if (name == "calibrate") {
    batch.runFlags |= exchange::kRunCalibrate;
  } else if (name == "test") {
    batch.modeFlags |= exchange::kModeTest;
  }
}

std::optional<int> CommandLineAddressNumber(std::string_view text) { return model::ReadAddressText(text); }

std::string BatchFileProblem(const exchange::BatchSettings& batch, const std::string& fileName) {
  const bool write = (batch.runFlags & exchange::kRunWrite) != 0;
  const bool read = (batch.runFlags & exchange::kRunRead) != 0;
  if (!write && !read) return {};
  if (fileName.empty())
    return write ? "\"write\" names no configuration file to write from"
                 : "\"read\" names no configuration file to read into";
  namespace fs = std::filesystem;
  std::error_code error;
  const bool exists = fs::exists(fileName, error);
  if (exists && fs::is_directory(fileName, error)) return platform::Format("\"%s\" is a folder", fileName.c_str());
  // A pipe or a device is read or written only once and may keep the run
  // waiting: the configuration is a file.
  if (exists && !fs::is_regular_file(fileName, error))
    return platform::Format("\"%s\" is not a regular file (a pipe, a FIFO, a device)", fileName.c_str());
  if (write) {
    if (!exists) return platform::Format("the file \"%s\" does not exist", fileName.c_str());
    if (fs::file_size(fileName, error) == 0 && !error)
      return platform::Format("the file \"%s\" is empty", fileName.c_str());
    return {};
  }
  // Nothing is read from the module when its values could not be stored, nor
  // stored over a file the run needs for itself.
  if (const std::string own = RunFilesOf(std::string()).Names(fileName); !own.empty())
    return platform::Format("\"%s\" is %s: a read does not save over it", fileName.c_str(), own.c_str());
  const fs::path folder = fs::path(fileName).parent_path();
  if (!folder.empty() && !fs::is_directory(folder, error))
    return platform::Format("the folder \"%s\" does not exist", folder.string().c_str());
  return {};
}

int FirstBatchCommand(const exchange::BatchSettings& batch) {
  if (!(batch.runFlags & exchange::kRunBatch)) return 0;
  if (batch.runFlags & exchange::kRunWrite) return 140;
  if (batch.runFlags & exchange::kRunCalibrate) return 303;
  if (batch.runFlags & exchange::kRunRead) return 139;
  return 0;
}
