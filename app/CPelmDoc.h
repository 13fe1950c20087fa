#pragma once
// The document: the description lists a model text is parsed into, the branch
// tree built from them and the firmware version of the connected module.
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/BranchBuildContext.h"
#include "model/DescBranch.h"
#include "model/DescParameter.h"

class CPelmDoc : public model::BranchBuildContext {
 public:
  // More parameter descriptions (or branch objects) than this in one parse is a
  // damaged text: the line that would pass it fails.
  static constexpr long long kMaxTreeParameters = 100000;

  CPelmDoc() = default;
  ~CPelmDoc() override;
  CPelmDoc(const CPelmDoc&) = delete;
  CPelmDoc& operator=(const CPelmDoc&) = delete;

  // One line of a description text (UTF-8). False stops the load.
  bool ParseDescriptionLine(const std::string& line, bool& skip);
  // False (after a message) when a constant of that name exists.
  bool AddDescConst(const std::string& name, const std::string& valueText);
  bool FindConst(std::string_view name, double& value) const;

  // After a load: drops the constants, types and every branch other than the root
  // and scanners branches (with their subtrees). The network-parameters branch is
  // moved into the finished tree, or cleared when the tree has none.
  void ReleaseParseLists();
  // Drops everything parsed and built.
  void ClearDescriptions();

  model::OutputTable& GetOutputTable() override { return outputTable; }

  // Firmware version of the module, -1 while unknown.
  int versionMajor = -1;
  int versionMinor = -1;

  // The "POUt" parameters by linear index. Declared before the branches, which
  // clear their entries when they go.
  model::OutputTable outputTable{};

  std::vector<DescConst> descConsts;
  std::vector<DescType> descTypes;
  std::vector<DescParameter> descParameters;
  // The branches of the description, in order; filled by the parser only (not
  // owned: every instance lives in ownedBranches_).
  std::vector<DescBranch*> branchList;
  DescBranch* rootBranch = nullptr;
  DescBranch* scannersBranch = nullptr;
  DescBranch* networkBranch = nullptr;

  // Whether node lies in the root or scanners subtree.
  bool IsInTree(const DescBranch* node) const;

 private:
  bool ParseVersionCondition(const std::vector<std::string_view>& tokens, bool& skip) const;
  bool ParseParameter(const std::vector<std::string_view>& tokens);
  bool ParseRule(const std::vector<std::string_view>& tokens);
  bool ParseInit(const std::vector<std::string_view>& tokens);
  bool ParseBranch(const std::vector<std::string_view>& tokens, int kind);
  DescParameter* FindDescription(std::string_view name);

  // Every branch instance a parse made, also those of failed lines, which root,
  // scanners or network pointers may still point at.
  std::vector<std::unique_ptr<DescBranch>> ownedBranches_;
  // branchList by upper-cased name, for member lookups.
  std::unordered_map<std::string, std::vector<DescBranch*>> branchIndex_;
  long long madeDescriptions_ = 0;
  long long madeNodes_ = 0;
  int nextOrigin_ = 1;
};
