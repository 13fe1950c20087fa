#pragma once
// A model's description text parsed into lists of constants, types, parameter
// descriptions and branch instances, and the root, scanners and network branches
// built from them; the tree loader's steps from the stored text to the built trees.
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/BranchBuildContext.h"
#include "model/DescBranch.h"
#include "model/DescParameter.h"

class DescriptionParser : public model::BranchBuildContext {
 public:
  // A parameter tree (root and scanners together) of more parameter descriptions
  // or branch objects than this is a damaged text: the line that would pass it
  // fails. The intermediate branches a parse copies into the trees are bounded
  // too, and so are the definitions ("parameter", "type", "const" lines), so that
  // a hostile text can neither exhaust memory nor keep the load busy: a model's
  // tree holds a few hundred parameters at most.
  static constexpr long long kMaxTreeParameters = 10000;
  static constexpr long long kMaxParseCopies = 2 * kMaxTreeParameters;

  DescriptionParser() = default;
  ~DescriptionParser() override = default;
  DescriptionParser(const DescriptionParser&) = delete;
  DescriptionParser& operator=(const DescriptionParser&) = delete;

  // One line of a description text (UTF-8). False stops the load.
  bool ParseDescriptionLine(const std::string& line, bool& skip);
  // The lines of a description text as the loader reads them: a line ends at CR or
  // LF, and empty lines vanish.
  static std::vector<std::string> SplitDescriptionLines(std::string_view text);
  // Parses a whole description text (UTF-8) line by line, stopping at the first
  // line that fails (or throws); false then, with that line in failedLine when given.
  bool ParseDescriptionText(std::string_view text, std::string* failedLine = nullptr);
  // Builds the parameters of the root and scanners branches that a parse made and
  // prepares the scanners for polling.
  void BuildTrees();
  // False (after a message) when a constant of that name exists.
  bool AddDescConst(const std::string& name, const std::string& valueText);
  bool FindConst(std::string_view name, double& value) const;

  // The tree loader from the description store's file at storePath: the stream's
  // text (Windows-1251, up to its first zero byte) is parsed for the module's
  // firmware version (major, minor), the trees are built and the parse lists
  // released. False (after the message) when the stream has no bytes; a line that
  // fails or a missing root branch is reported and the load goes on.
  bool LoadTreeFromStore(const std::string& storePath, const char* stream, int major, int minor);

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
  // The definitions by upper-cased name (positions in their lists), so that a
  // lookup does not walk a whole list: descriptions in order, the one constant,
  // the last type of each name.
  std::unordered_map<std::string, std::vector<size_t>> descriptionIndex_;
  std::unordered_map<std::string, size_t> constIndex_;
  std::unordered_map<std::string, size_t> typeIndex_;
  long long definitions_ = 0;
  // Counts one more definition; false once the text has more than a tree may hold.
  bool TakeDefinition() { return ++definitions_ <= kMaxParseCopies; }
  long long madeDescriptions_ = 0;
  long long madeNodes_ = 0;
  int nextOrigin_ = 1;
};
