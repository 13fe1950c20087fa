#include "SimCalibration.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "SimWords.h"
#include "Simulator.h"

namespace z580sim {

namespace {

bool Same(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    const char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
    if (x != y) return false;
  }
  return true;
}

constexpr uint8_t kRunning = 0x01;
constexpr uint8_t kDone = 0x80;

}  // namespace

void SimCalibration::AdjustSpec(ParameterSpec& spec) const {
  if ((model_ == 1 || model_ == 2) && Same(spec.name, "CLB.K") && spec.indexCount == 0) {
    // Two points per output, each with its own raw value and the attributes (a
    // table that already indexes it keeps its own shape).
    spec.kind = ValueKind::Unsigned;
    spec.length = 2;
    spec.indexCount = 16;
    spec.hasAttributes = true;
    spec.initial = {0x08, 0x00};
  } else if (model_ == 14 && Same(spec.name, "U.Wgh") && spec.indexCount == 0) {
    spec.indexCount = 4;  // the channel
  }
}

void SimCalibration::Reset() {
  std::lock_guard lock(mutex_);
  jurdBusy_ = 0;
  statusBusyReads_ = 1;
  measureStatus_ = 0;
  faultyCoefficient_ = 0;
  coefficientSize_ = 5;
  writeStatus_ = 0;
  writeStatusCount_ = 0;
  silentWrites_ = 0;
}

SimCalibration::Handling SimCalibration::Answer(const Frame& request, Bytes& data, std::string& outcome,
                                                const ValueSlot& values) {
  std::lock_guard lock(mutex_);
  const uint16_t h = request.hash;
  auto status = [&](uint8_t flags, uint8_t code) {
    data = {flags, code};
    outcome = "calibration [" + HexBytes(data) + "]";
    return Handling::Answered;
  };

  if (model_ == 7 || model_ == 17) {
    if (!request.read && (h == NameHash("JuSh") || h == NameHash("JuSc"))) {
      busyLeft_ = jurdBusy_;
      return Handling::NotMine;  // stored and answered as any value
    }
    if (request.read && h == NameHash("JuRD") && busyLeft_ > 0) {
      --busyLeft_;
      data = {0, 6, 0, 0, 0};
      outcome = "result busy";
      return Handling::Answered;
    }
    return Handling::NotMine;
  }

  if (model_ == 13 || model_ == 14) {
    if (request.read || h != NameHash("U.Wgh")) return Handling::NotMine;
    size_t channel = 0;
    if (model_ == 14 && request.data.size() >= 2) channel = request.data[request.data.size() - 1];
    Bytes* weight = values("Rd.fF", channel);
    Bytes* tare = values("p.wgh", channel);
    if (weight && tare) *tare = *weight;
    return Handling::NotMine;  // the table answers the command itself
  }

  if (model_ != 0 && model_ != 8) return Handling::NotMine;
  if (!request.read && h == NameHash("CLB.I")) {
    running_ = true;
    done_ = false;
    statusReadsLeft_ = statusBusyReads_;
    return status(kRunning, 0);
  }
  if (request.read && h == NameHash("CLB.S")) {
    if (running_ && !done_ && statusReadsLeft_ != 0) {
      if (statusReadsLeft_ > 0) --statusReadsLeft_;
      return status(kRunning, 0);
    }
    done_ = true;
    return status(kDone, static_cast<uint8_t>(running_ ? measureStatus_ : 0));
  }
  if (request.read && h == NameHash("CLB.T")) {
    data = {static_cast<uint8_t>(faultyCoefficient_), kDone, static_cast<uint8_t>(measureStatus_)};
    outcome = "calibration [" + HexBytes(data) + "]";
    return Handling::Answered;
  }
  if (request.read && h == NameHash("CLB.G")) {
    const uint8_t number = request.data.empty() ? 0 : request.data[0];
    data = {number};
    if (coefficientSize_ == 5) {
      const Bytes f = FloatBytes(1.0f + static_cast<float>(number) / 8.0f);
      data.insert(data.end(), f.begin(), f.end());
    } else {
      data.resize(static_cast<size_t>(coefficientSize_ > 1 ? coefficientSize_ : 1), 0);
    }
    outcome = "coefficient [" + HexBytes(data) + "]";
    return Handling::Answered;
  }
  if (!request.read && h == NameHash("CLB.P")) {
    if (silentWrites_ != 0) {
      if (silentWrites_ > 0) --silentWrites_;
      outcome = "calibration write: silent";
      return Handling::Silent;
    }
    uint8_t code = 0;
    if (writeStatusCount_ != 0) {
      code = static_cast<uint8_t>(writeStatus_);
      if (writeStatusCount_ > 0) --writeStatusCount_;
    }
    return status(kDone, code);
  }
  if (h == NameHash("CLB.A")) {
    running_ = false;
    done_ = false;
    return status(0, 0);
  }
  return Handling::NotMine;
}

SimCalibration::CommandResult SimCalibration::ApplyCommand(Simulator& sim, const std::vector<std::string>& words,
                                                           std::string* error) {
  if (words.empty()) return CommandResult::NotMine;
  const std::string& verb = words[0];
  auto fail = [&](const char* why) {
    if (error) *error = verb + ": " + why;
    return CommandResult::Failed;
  };
  long a = 0, b = -1;
  const bool one = words.size() == 2 && ReadFaultNumber(words[1], a);
  if (verb == "locked" || verb == "unlocked") {
    if (words.size() != 2) return fail("needs a parameter name");
    return sim.SetEditable(words[1], verb == "unlocked") ? CommandResult::Done : fail("no such parameter");
  }
  if (verb == "weight") {
    if (words.size() != 3 || !ReadFaultNumber(words[1], a) || a < 0) return fail("needs a channel and a value");
    char* end = nullptr;
    const float v = std::strtof(words[2].c_str(), &end);
    if (*end != '\0') return fail("needs a channel and a value");
    return sim.SetValue("Rd.fF", static_cast<int>(a), FloatBytes(v)) ? CommandResult::Done : fail("no such channel");
  }
  if (verb == "jurd") {
    if (!one || a < 0 || a > 65535) return fail("needs a code 0..65535");
    return sim.SetValue("JuRD", 0, {static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a)}) ? CommandResult::Done
                                                                                           : fail("no JuRD here");
  }
  std::lock_guard lock(mutex_);
  if (verb == "jurd-busy") {
    if (!one || a < 0) return fail("needs a count");
    jurdBusy_ = static_cast<int>(a);
  } else if (verb == "clbs-busy") {
    if (!one || a < -1) return fail("needs a count or never");
    statusBusyReads_ = static_cast<int>(a);
  } else if (verb == "clb-status") {
    if (!one || a < 0 || a > 255) return fail("needs a status 0..255");
    measureStatus_ = static_cast<int>(a);
  } else if (verb == "clbt") {
    if (!one || a < 0 || a > 255) return fail("needs a coefficient number");
    faultyCoefficient_ = static_cast<int>(a);
  } else if (verb == "clbg-size") {
    if (!one || a < 1 || a > 8) return fail("needs a size 1..8");
    coefficientSize_ = static_cast<int>(a);
  } else if (verb == "clbp-status") {
    if (words.size() < 2 || words.size() > 3 || !ReadFaultNumber(words[1], a) || a < 0 || a > 255 ||
        (words.size() == 3 && !ReadFaultNumber(words[2], b)))
      return fail("needs a status and an optional count");
    writeStatus_ = static_cast<int>(a);
    writeStatusCount_ = static_cast<int>(b);
  } else if (verb == "clbp-silent") {
    if (words.size() > 2 || (words.size() == 2 && !ReadFaultNumber(words[1], b))) return fail("takes an optional count");
    silentWrites_ = words.size() == 2 ? static_cast<int>(b) : 1;
  } else {
    return CommandResult::NotMine;
  }
  return CommandResult::Done;
}

}  // namespace z580sim
