#pragma once
// One node of a model's parameter tree as the description text defines it: a named
// group of parameter descriptions and child branches, one object per instance.
// BuildParameters turns the descriptions into the parameters of the finished tree.
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/BranchBuildContext.h"
#include "model/DescParameter.h"
#include "model/InvisibleElement.h"

class DescBranch : public Elements::InvisibleElement {
 public:
  DescBranch();
  DescBranch(std::string name, int repeatCount, int instance, int image, int selectedImage);
  // Deep copy of the descriptions, member order and children; built parameters are
  // not copied.
  DescBranch(const DescBranch& other);
  // The same, and when track lies in other's subtree, *trackedCopy := its copy.
  DescBranch(const DescBranch& other, const DescBranch* track, DescBranch** trackedCopy);
  DescBranch& operator=(const DescBranch&) = delete;
  ~DescBranch() override = default;

  int repeatCount = 0;
  int instance = 0;
  int image = 0;
  int selectedImage = 0;
  std::vector<DescParameter> descriptions;
  std::vector<std::unique_ptr<DescBranch>> children;
  // One entry per description and per child, in member order; true = the next child.
  std::vector<bool> memberOrder;
  // The instance this one was made as or copied from (0: none); copies keep it.
  int origin = 0;

  // Builds the parameters of the subtree; returns the index multiplicity.
  virtual int BuildParameters(model::BranchBuildContext& document, bool indexed, int base);

  void InitParameters() override {}
  model::WalkResult CompareWithDevice(model::LinkOps& link) override;
  model::WalkResult ReadFromDevice(model::LinkOps& link) override;
  model::WalkResult WriteToDevice(model::LinkOps& link, int mode) override;
  void ResetValues() override;
  int GetImage() override { return image; }
  int GetSelectedImage() override { return selectedImage; }
  std::optional<bool> HasProblemInSubtree() const override;

  // The branch row and its subtree under parent; returns the branch row.
  model::TreeItem InsertTreeItems(model::TreeRows& rows, model::TreeItem parent, int count,
                                  bool showIndex) override;
  // Rows of the own parameters not shown yet.
  void InsertRemainingParameterItems(model::TreeRows& rows, model::TreeItem parent, bool showIndex);

  // Without map and maximum: the first parameter of that name whose linear index is
  // key. With them: collects every first-of-its-branch match (map by linear index,
  // maximum linear index; offset, when 0, := first match's index - maximum).
  Parameter* FindParameter(std::string_view name, std::map<int, Parameter*>* map = nullptr,
                           int* maximum = nullptr, int* offset = nullptr, int key = 0);
  Parameter* FindParameterAt(std::string_view name, int linearIndex);
  bool IsSingleParameter() const { return parameters.size() == 1 && children.empty(); }
  // The only parameter of a single-parameter branch, else the branch.
  CObject* GetDisplayedObject();
  int CountParametersToWrite(int mode) const;
  void PreparePolling();
  int CollectPolledParameters(std::vector<Parameter*>& list) const;
  // 1 polling now, 0 polled parameters present, -1 none.
  int GetPollingState() const;

  // Whether node lies in this subtree (this included).
  bool Contains(const DescBranch* node) const;
  // Descriptions and branch nodes of the subtree, what building it would make.
  long long CountDescriptions() const;
  long long CountNodes() const;
  // The last node of the subtree (pre-order) made as or copied from origin, or null.
  DescBranch* FindByOrigin(int originId);

 private:
  void WalkChildren(model::WalkResult& total, model::WalkResult (DescBranch::*walk)(model::LinkOps&),
                    model::LinkOps& link);
};
