#include "SimCalibration2.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "SimWords.h"
#include "Simulator.h"

namespace z580sim {

namespace {

bool FloatWord(const std::string& word, float& out) {
  char* end = nullptr;
  out = std::strtof(word.c_str(), &end);
  return !word.empty() && *end == '\0';
}

constexpr unsigned kBusyBit = 0x10;

bool IsPointCommand(uint16_t h) {
  for (const char* name : {"U.pH1", "U.pHL", "U.pHH", "U.Rx1", "U.RxL", "U.RxH"})
    if (h == NameHash(name)) return true;
  return false;
}

}  // namespace

void SimCalibration2::AdjustSpec(ParameterSpec& spec) const {
  auto is = [&](const char* name) { return NameHash(spec.name) == NameHash(name); };
  if (model_ == 14 && (is("zU.Sh") || is("zU.Sc") || is("zu.fn") || is("zu.fx"))) {
    spec.indexCount = 4;  // the channel
  } else if (model_ == 12 && is("uU.Pn")) {
    spec.indexCount = 21;
  } else if (model_ == 12 && is("uU.Kf")) {
    spec.indexCount = 80;
  }
}

std::vector<unsigned> SimCalibration2::ModeDoneWords() const {
  switch (model_) {
    case 19:
      return {0x02, 0x04, 0x10};
    case 20:
      return {0x02, 0x04, 0x40, 0x80};
    case 21:
    case 22:
      return {0x08, 0x04, 0x00};  // the last step clears the whole word
    default:
      return {};
  }
}

void SimCalibration2::Reset() {
  std::lock_guard lock(mutex_);
  statusRest_ = 0;
  statusBusyReads_ = 2;
  slope_ = 1.0f;
  modeDelay_ = 2;
  modeErrorStep_ = 0;
  errors_.clear();
  busyLeft_ = 0;
  modeStep_ = 0;
  modeReads_ = 0;
}

SimCalibration2::Outcome SimCalibration2::Answer(const Frame& request, Bytes& data, std::string& outcome) {
  std::lock_guard lock(mutex_);
  const uint16_t h = request.hash;
  Outcome out;
  if (auto it = errors_.find(h); it != errors_.end()) {
    out.kind = Outcome::DeviceError;
    out.code = it->second.first;
    if (it->second.second > 0 && --it->second.second == 0) errors_.erase(it);
    return out;
  }
  const bool statusModel = model_ == 12 || model_ == 13 || model_ == 14 || model_ == 18;
  if (statusModel && h == NameHash("Rd.St")) {
    if (!request.read) return out;
    unsigned word = statusRest_;
    if (busyLeft_ != 0) {
      word |= kBusyBit;
      if (busyLeft_ > 0) --busyLeft_;
    }
    data = {static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
    outcome = "status [" + HexBytes(data) + "]";
    out.kind = Outcome::Answered;
    return out;
  }
  if (statusModel && !request.read && IsPointCommand(h)) {
    out.startsOnStore = true;
    return out;  // stored and answered by the table
  }
  // The wizard's apply carries no value; a written value is stored as usual.
  if (model_ == 18 && !request.read && h == NameHash("U.Apl") && request.data.empty()) {
    data = FloatBytes(slope_);
    outcome = "slope [" + HexBytes(data) + "]";
    out.kind = Outcome::Answered;
    return out;
  }
  const std::vector<unsigned> done = ModeDoneWords();
  if (!done.empty() && h == NameHash("Mode")) {
    if (!request.read) {
      out.startsOnStore = true;
      return out;  // stored and answered by the table
    }
    if (modeStep_ == 0) return out;
    unsigned word = modeStart_;
    if (modeStep_ <= static_cast<int>(done.size()) && ++modeReads_ >= modeDelay_) {
      word = done[static_cast<size_t>(modeStep_ - 1)];
      if (modeErrorStep_ == modeStep_) word |= 0x01;
      ++modeStep_;
      modeReads_ = 0;
    }
    data = {static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
    outcome = "mode [" + HexBytes(data) + "]";
    out.kind = Outcome::Answered;
  }
  return out;
}

void SimCalibration2::Stored(const Frame& request) {
  std::lock_guard lock(mutex_);
  if (IsPointCommand(request.hash)) {
    busyLeft_ = statusBusyReads_;
  } else if (request.hash == NameHash("Mode")) {
    modeStart_ = 0;
    for (uint8_t b : request.data) modeStart_ = (modeStart_ << 8) | b;
    modeStep_ = 1;
    modeReads_ = 0;
  }
}

SimCalibration2::CommandResult SimCalibration2::ApplyCommand(Simulator& sim, const std::vector<std::string>& words,
                                                             std::string* error) {
  if (words.empty()) return CommandResult::NotMine;
  const std::string& verb = words[0];
  auto fail = [&](const char* why) {
    if (error) *error = verb + ": " + why;
    return CommandResult::Failed;
  };
  long a = 0;
  const bool one = words.size() == 2 && ReadFaultNumber(words[1], a);
  if (verb == "reading") {
    float v = 0;
    const bool invalid = words.size() == 4 && words[3] == "invalid";
    if (words.size() != 4 || !ReadFaultNumber(words[2], a) || a < 0 || (!invalid && !FloatWord(words[3], v)))
      return fail("needs a name, a channel and a value");
    const Bytes bytes = invalid ? Bytes{0xFF, 0xFF, 0xFF, 0xFF} : FloatBytes(v);
    return sim.SetValue(words[1], static_cast<int>(a), bytes) ? CommandResult::Done : fail("no such reading");
  }
  std::lock_guard lock(mutex_);
  if (verb == "rdst") {
    if (!one || a < 0 || a > 0xFFFF) return fail("needs a word 0..65535");
    statusRest_ = static_cast<unsigned>(a);
  } else if (verb == "rdst-busy") {
    if (!one || a < -1) return fail("needs a count or never");
    statusBusyReads_ = static_cast<int>(a);
  } else if (verb == "slope") {
    if (words.size() != 2 || !FloatWord(words[1], slope_)) return fail("needs a value");
  } else if (verb == "mode-delay") {
    if (!one || a < 1) return fail("needs a count of at least 1");
    modeDelay_ = static_cast<int>(a);
  } else if (verb == "mode-error") {
    if (!one || a < 0) return fail("needs a step (0: none)");
    modeErrorStep_ = static_cast<int>(a);
  } else if (verb == "error-on") {
    long count = 1;
    if (words.size() < 3 || words.size() > 4 || !ReadFaultNumber(words[2], a) || a < 0 || a > 255 ||
        (words.size() == 4 && (!ReadFaultNumber(words[3], count) || count == 0)))
      return fail("needs a name, a code and an optional count");
    errors_[NameHash(words[1])] = {static_cast<uint8_t>(a), static_cast<int>(count)};
  } else {
    return CommandResult::NotMine;
  }
  return CommandResult::Done;
}

}  // namespace z580sim
