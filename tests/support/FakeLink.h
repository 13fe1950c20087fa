#pragma once
// A link that answers from a script: per parameter name a result code (0 by
// default), an abort that can be raised after a given call, and a log of calls
// and progress lines.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "model/LinkOps.h"

class FakeLink : public model::LinkOps {
 public:
  // Result per parameter name for each operation (missing: 0).
  std::map<std::string, int> compareResults, readResults, writeResults;
  // Raises the abort flag once this many parameter operations were made (0: never).
  int abortAfterCalls = 0;
  bool abort = false;
  // Called after every parameter operation (may change the abort flag).
  std::function<void(const std::string& operation, Parameter&)> onCall;

  // "compare X", "read X (1)", "write X (mode)" in call order.
  std::vector<std::string> calls;
  std::vector<std::string> progressLines;
  int progressSteps = 0;

  int CompareParameter(Parameter& parameter) override;
  int ReadParameter(Parameter& parameter, int countTimeouts) override;
  int WriteParameter(Parameter& parameter, int mode) override;
  void AddProgressLine(const std::string& text) override;
  void StepProgress() override;
  bool IsAbortSet() override;

 private:
  int Call(const std::string& operation, const std::string& detail, Parameter& parameter,
           const std::map<std::string, int>& results);
};
