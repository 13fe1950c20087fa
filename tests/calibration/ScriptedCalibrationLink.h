#pragma once
// A calibration link that answers from per-command queues and logs every call as
// "R name [bytes]" / "W name [bytes]" (raw frames) or "read name:index" /
// "write name:index=value e<editable>" (parameter exchanges).
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "calibration/CalibrationLink.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"

struct ParameterAnswer {
  int result = 0;
  std::string value;  // read: the value; failure: the note
  int editable = 1;
  bool notDecoded = false;  // failure: the answer came but did not decode
};

class ScriptedCalibrationLink : public calibration::CalibrationLink {
 public:
  std::map<std::string, std::deque<calibration::FrameResult>> frames;  // empty queue: defaultFrame
  calibration::FrameResult defaultFrame{true, {0x80, 0}, {}};
  std::map<std::string, std::deque<ParameterAnswer>> answers;  // empty queue: success, value kept
  std::vector<std::string> calls;
  std::vector<int> timeouts;

  int ReadParameter(Parameter& p) override { return Exchange("read", p); }
  int WriteParameter(Parameter& p) override { return Exchange("write", p); }
  calibration::FrameResult Transact(int requestBit, const std::string& name, const std::vector<uint8_t>& data,
                                    int readTimeoutMs, int /*repeatedHead*/) override {
    std::string bytes;
    for (uint8_t b : data) bytes += (bytes.empty() ? "" : ",") + std::to_string(b);
    calls.push_back(std::string(requestBit ? "R " : "W ") + name + " [" + bytes + "]");
    timeouts.push_back(readTimeoutMs);
    auto& queue = frames[name];
    if (queue.empty() && name == "CLB.T" && defaultFrame.ok) return {true, {0, 0x80, 0}, {}};  // no faulty one
    if (queue.empty()) return defaultFrame;
    calibration::FrameResult r = queue.front();
    queue.pop_front();
    return r;
  }

  // Calls that start with prefix.
  std::vector<std::string> Calls(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : calls)
      if (c.rfind(prefix, 0) == 0) out.push_back(c);
    return out;
  }

 private:
  int Exchange(const char* what, Parameter& p) {
    std::string line = std::string(what) + " " + p.name;
    if (p.indexed) line += ":" + std::to_string(p.linearIndex);
    if (std::string(what) == "write") line += "=" + p.value + (p.attributes ? " e" + std::to_string(p.editable) : "");
    calls.push_back(line);
    p.answerNotDecoded = false;
    auto& queue = answers[p.name];
    if (queue.empty()) return 0;
    const ParameterAnswer a = queue.front();
    queue.pop_front();
    if (a.result != 0) {
      p.note = a.value;
      p.answerNotDecoded = a.notDecoded;
      return a.result;
    }
    p.note.clear();
    if (std::string(what) == "read") {
      p.value = a.value;
      p.editable = static_cast<uint8_t>(a.editable);
    }
    return 0;
  }
};
