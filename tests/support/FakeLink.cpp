#include "support/FakeLink.h"

#include "model/Parameter.h"

int FakeLink::Call(const std::string& operation, const std::string& detail, Parameter& parameter,
                   const std::map<std::string, int>& results) {
  calls.push_back(operation + " " + parameter.name + detail);
  if (abortAfterCalls > 0 && static_cast<int>(calls.size()) >= abortAfterCalls) abort = true;
  if (onCall) onCall(operation, parameter);
  auto it = results.find(parameter.name);
  return it == results.end() ? 0 : it->second;
}

int FakeLink::CompareParameter(Parameter& parameter) { return Call("compare", "", parameter, compareResults); }

int FakeLink::ReadParameter(Parameter& parameter, int countTimeouts) {
  return Call("read", " (" + std::to_string(countTimeouts) + ")", parameter, readResults);
}

int FakeLink::WriteParameter(Parameter& parameter, int mode) {
  return Call("write", " (" + std::to_string(mode) + ")", parameter, writeResults);
}

void FakeLink::AddProgressLine(const std::string& text) { progressLines.push_back(text); }

void FakeLink::StepProgress() { ++progressSteps; }

bool FakeLink::IsAbortSet() { return abort; }
