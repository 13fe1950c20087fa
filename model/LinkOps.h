#pragma once
// The link to the module as the tree walks use it. The link object implements it;
// tests use a scripted fake.
#include <string>

class Parameter;

namespace model {

class LinkOps {
 public:
  virtual ~LinkOps() = default;

  // Each returns 0 on success; the error text is left in the parameter's note.
  virtual int CompareParameter(Parameter& parameter) = 0;
  virtual int ReadParameter(Parameter& parameter, int countTimeouts) = 0;
  // mode < 0 writes the initial value, otherwise the value.
  virtual int WriteParameter(Parameter& parameter, int mode) = 0;

  // One line in the progress list of the running task.
  virtual void AddProgressLine(const std::string& text) = 0;
  // One step of the task's done counter.
  virtual void StepProgress() = 0;
  // Whether the abort event is set (tested without waiting).
  virtual bool IsAbortSet() = 0;
};

// What a walk over parameters did.
struct WalkResult {
  int processed = 0;
  int failed = 0;
  bool operator==(const WalkResult&) const = default;
};

}  // namespace model
