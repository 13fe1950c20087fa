#pragma once
// Shared pieces of the tree control and view tests: branches built by hand with
// their rows, a device model with status texts and scanners, and a link for commits.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "app/TreeCommit.h"
#include "devices/CBaseDevice.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "support/FakePelmTreeRows.h"

inline Parameter& AddTo(DescBranch& branch, const std::string& name, const std::string& type,
                        const std::string& value) {
  Parameter& p = branch.AddParameter(std::make_unique<Parameter>(name));
  p.type = type;
  p.value = ValueText::OfStoredText(value);
  p.description = "Описание " + name;
  p.linearIndex = static_cast<int>(branch.parameters.size());
  branch.memberOrder.push_back(false);
  return p;
}

inline DescBranch& AddChild(DescBranch& parent, const std::string& name) {
  parent.children.push_back(std::make_unique<DescBranch>(name, 1, 0, 5, 5));
  parent.memberOrder.push_back(true);
  return *parent.children.back();
}

// Status bit i reads "бит i=<0|1>"; the model has scanners.
class StatusModel : public BaseDevice::CBaseDevice {
 public:
  StatusModel() : CBaseDevice(nullptr) {}
  std::string GetStatusBitText(int row, const unsigned* word) const override {
    return "бит " + std::to_string(row) + "=" + std::to_string((*word >> row) & 1);
  }
  bool HasScanners() const override { return true; }
  Parameter* OnParameterEdited(Parameter& parameter) override {
    return parameter.name == "Log" ? companion : nullptr;
  }
  Parameter* companion = nullptr;
};

// Records writes; immediate writing answers `immediateResult` (1000: mode off).
class FakeEditLink : public EditLink {
 public:
  std::vector<std::string> calls;
  std::map<std::string, int> results;  // per name, 0 by default
  int immediateResult = 1000;
  std::string failureNote = "Таймаут при передаче данных (нет связи)";
  std::map<std::string, std::string> acknowledged;  // per name: the value the module's answer carries

  int WriteParameter(Parameter& p) override { return Write("write " + p.name, p, Result(p)); }
  int WriteParameterIfImmediate(Parameter& p) override {
    if (immediateResult == 1000) return 1000;
    p.note.clear();  // as the link does before it writes
    return Write("immediate " + p.name, p, Result(p));
  }
  void ReopenPort() override { calls.push_back("reopen"); }

 private:
  int Result(const Parameter& p) const {
    auto it = results.find(p.name);
    return it == results.end() ? 0 : it->second;
  }
  int Write(const std::string& call, Parameter& p, int result) {
    calls.push_back(call);
    if (result != 0) p.note = failureNote;
    if (auto it = acknowledged.find(p.name); result == 0 && it != acknowledged.end()) p.value = it->second;
    return result;
  }
};
