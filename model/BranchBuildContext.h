#pragma once
// What building a branch's parameters needs from the document that owns the tree.
#include <array>

class Parameter;

namespace model {

inline constexpr int kOutputTableSize = 10;
using OutputTable = std::array<Parameter*, kOutputTableSize>;

class BranchBuildContext {
 public:
  virtual ~BranchBuildContext() = default;
  // The "POUt" parameters by linear index 0-9 (entries not owned).
  virtual OutputTable& GetOutputTable() = 0;
};

}  // namespace model
