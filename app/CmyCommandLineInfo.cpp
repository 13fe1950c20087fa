#include "app/CmyCommandLineInfo.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <optional>
#include <type_traits>

#include "model/TypedNumber.h"
#include "platform/CFormat.h"
#include "platform/Text.h"

namespace {

constexpr std::array<std::string_view, 24> kSwitches = {
    "write", "read", "port", "bps", "prty", "addr", "len", "sbit", "alen", "rs485", "aply", "x",
    "y", "w", "h", "autoread", "autowrite", "silent", "close", "calibrate", "elog", "exitevent", "test", "ext"};

constexpr size_t kMaxAddress = 5;
constexpr size_t kMaxStopBits = 4;

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
  static constexpr std::string_view kWithoutValue[] = {"write", "read",      "aply", "silent",
                                                       "close", "calibrate", "test", "ext"};
  for (std::string_view bare : kWithoutValue)
    if (name == bare) return true;
  return piece.find(':') != std::string_view::npos;
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
}

void CmyCommandLineInfo::ParseWord(std::string_view word) {
  if (word.empty()) return;
  // A file that exists is a file name even when its first folder is named like a
  // switch ("/x/a.z580"): the desktop passes absolute paths.
  std::error_code error;
  const bool existingFile = word[0] == '/' && std::filesystem::is_regular_file(std::string(word), error);
  if (!existingFile && (IsSwitchWord(word) || !NamesFileToMake(word))) {
    ParseSwitchWord(word);
    return;
  }
  // The first file name counts; later ones are ignored.
  if (fileName.empty())
    fileName = Absolute(StripQuotes(word));
  else
    warnings.push_back(platform::Format("a second file name \"%s\": ignored (the file is \"%s\").",
                                        std::string(word).c_str(), fileName.c_str()));
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
  // The word as typed, for the lines about what was ignored.
  const std::string whole(word);
  word.remove_prefix(1);
  while (!word.empty()) {
    const size_t slash = word.find('/');
    std::string_view piece = word.substr(0, slash);
    const std::string name = Lower(PieceName(piece));
    if (TakesRestOfWord(name)) {
      batch.runFlags |= exchange::kRunBatch;
      const size_t colon = word.find(':');
      const std::string value = colon == std::string_view::npos ? std::string() : StripQuotes(word.substr(colon + 1));
      if (name == "elog") {
        if (!value.empty()) errorLogPath = Absolute(value);
      } else {
        exitEventName = value;
      }
      return;
    }
    if (!piece.empty()) {
      ParsePiece(piece);
      if (!IsKnownSwitch(name)) {
        warnings.push_back(whole.size() == piece.size() + 1
                               ? platform::Format("\"%s\" is no switch and no existing file: ignored.", whole.c_str())
                               : platform::Format("\"%s\" in \"%s\" is no switch: ignored.",
                                                  std::string(piece).c_str(), whole.c_str()));
      }
    }
    if (slash == std::string_view::npos) break;
    word.remove_prefix(slash + 1);
  }
}

void CmyCommandLineInfo::ParsePiece(std::string_view rawPiece) {
  const std::string piece = Lower(rawPiece);
  const size_t colon = piece.find(':');
  const std::string name = piece.substr(0, colon);
  const std::string value = colon == std::string::npos ? std::string() : piece.substr(colon + 1);
  batch.runFlags |= exchange::kRunBatch;

  const std::optional<int> number = platform::ScanInt(value);
  auto setNumber = [&](auto& field, uint32_t runFlag) {
    if (!number) return;
    field = static_cast<std::remove_reference_t<decltype(field)>>(*number);
    batch.runFlags |= runFlag;
  };
  auto setWindow = [&](int32_t& field, uint8_t windowFlag) {
    if (!number) return;
    field = *number;
    batch.windowFlags |= windowFlag;
  };
  auto setText = [&](std::string& field, size_t limit) {
    if (value.empty()) return;
    if (value.size() > limit) {
      // Cutting would address another module or line than the one asked for.
      warnings.push_back(platform::Format("\"%s\": the value \"%s\" is longer than %i characters; ignored.",
                                          name.c_str(), value.c_str(), static_cast<int>(limit)));
      return;
    }
    field = value;
    batch.runFlags |= exchange::kRunLinkSettings;
  };

  if (name == "write") {
    batch.runFlags |= exchange::kRunWrite;
  } else if (name == "read") {
    batch.runFlags |= exchange::kRunRead;
  } else if (name == "port") {
    setNumber(batch.portNumber, exchange::kRunLinkSettings);
  } else if (name == "bps") {
    setNumber(batch.baudRate, exchange::kRunLinkSettings);
  } else if (name == "prty") {
    if (value == "even" || value == "odd" || value == "no") {
      batch.runFlags |= exchange::kRunLinkSettings;
      batch.parity = value == "even" ? 1 : value == "odd" ? 2 : 3;
    } else {
      batch.runFlags &= ~exchange::kRunLinkSettings;
    }
  } else if (name == "addr") {
    // A value that is no number, or too long to be one the field holds, would send
    // to another module than the one meant (the stored address, or 0): refused.
    if (!value.empty() && (value.size() > kMaxAddress || !CommandLineAddressNumber(value))) {
      // Named as typed.
      const std::string typed(rawPiece.substr(colon + 1));
      refusals.push_back(platform::Format("\"/addr:%s\": %s", typed.c_str(),
                                          value.size() > kMaxAddress ? "an address has at most 5 characters"
                                                                     : "not a number (decimal, 0x hexadecimal, "
                                                                       "or octal with a leading 0)"));
      return;
    }
    setText(batch.address, kMaxAddress);
  } else if (name == "len") {
    setNumber(batch.dataLength, exchange::kRunLinkSettings);
  } else if (name == "sbit") {
    setText(batch.stopBits, kMaxStopBits);
  } else if (name == "alen") {
    setNumber(batch.addressLength, exchange::kRunLinkSettings);
  } else if (name == "rs485") {
    if (value == "auto") batch.converterMode = 1;
    if (value == "off") batch.converterMode = 2;
    if (value == "on") batch.converterMode = 3;
  } else if (name == "aply") {
    batch.runFlags |= exchange::kRunAply;
  } else if (name == "x") {
    setWindow(batch.x, exchange::kWindowX);
  } else if (name == "y") {
    setWindow(batch.y, exchange::kWindowY);
  } else if (name == "w") {
    setWindow(batch.width, exchange::kWindowWidth);
  } else if (name == "h") {
    setWindow(batch.height, exchange::kWindowHeight);
  } else if (name == "autoread") {
    if (value == "on") batch.modeFlags |= exchange::kModeAutoReadOn;
    if (value == "off") batch.modeFlags |= exchange::kModeAutoReadOff;
  } else if (name == "autowrite") {
    if (value == "on") batch.modeFlags |= exchange::kModeAutoWriteOn;
    if (value == "off") batch.modeFlags |= exchange::kModeAutoWriteOff;
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

bool CreateErrorLogFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0644);
  if (fd < 0) return false;
  ::close(fd);
  return true;
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
  if (write) {
    if (fs::is_directory(fileName, error)) return platform::Format("\"%s\" is a folder", fileName.c_str());
    if (!fs::exists(fileName, error))
      return platform::Format("the file \"%s\" does not exist", fileName.c_str());
    if (fs::is_regular_file(fileName, error) && fs::file_size(fileName, error) == 0 && !error)
      return platform::Format("the file \"%s\" is empty", fileName.c_str());
    return {};
  }
  // Nothing is read from the module when its values could not be stored.
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
