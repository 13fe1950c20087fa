#pragma once
// The common base of every tree node that owns parameters: lookup by name, change
// tracking, the walks that compare, read and write through the link, and the
// insertion of the parameters' rows.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/CObject.h"
#include "model/LinkOps.h"
#include "model/Parameter.h"
#include "model/TreeRows.h"

namespace platform {
class Archive;
}

class ObjectWithParameters : public CObject {
 public:
  ObjectWithParameters() = default;
  ~ObjectWithParameters() override = default;
  ObjectWithParameters(const ObjectWithParameters&) = delete;
  ObjectWithParameters& operator=(const ObjectWithParameters&) = delete;

  std::vector<std::unique_ptr<Parameter>> parameters;  // owned
  int elementIndex = -1;                               // linear index, -1 while unknown
  int rowsShown = 0;                                   // parameters that have rows

  // Appends a parameter and returns it.
  Parameter& AddParameter(std::unique_ptr<Parameter> parameter);

  // Deletes every parameter.
  virtual void InitParameters();
  // The value, or "Нет данных" when there is no such parameter.
  virtual std::string GetParameterValue(std::string_view name);
  // 1 set (valueChanged when the text differs other than in case), 0 no such parameter.
  virtual int SetParameterValue(std::string_view name, const ValueText& text);
  virtual model::WalkResult CompareWithDevice(model::LinkOps& link);
  virtual model::WalkResult ReadFromDevice(model::LinkOps& link);
  // mode > 0 every writable parameter, 0 the changed ones, < 0 those with an initial value.
  virtual model::WalkResult WriteToDevice(model::LinkOps& link, int mode);
  // Rows of the first count parameters (all when count < 0) under parent; returns parent.
  virtual model::TreeItem InsertTreeItems(model::TreeRows& rows, model::TreeItem parent, int count, bool showIndex);
  virtual int GetLinearIndex();
  virtual void SetLinearIndex(int index);
  // 2 when any change flag of any parameter is set, else 0.
  virtual int GetChangeState();
  virtual void ResetValues();
  // Every parameter's record in array order.
  virtual void Serialize(platform::Archive& archive);
  // Whether loading reads the stored values and drops them (the program's own line
  // settings, which belong to this computer and not to the file).
  virtual bool KeepsValuesWhenLoading() const { return false; }

  // For a branch: whether it or one of its children holds a problem parameter, which
  // colours its row red. Plain elements have no such colour (none).
  virtual std::optional<bool> HasProblemInSubtree() const { return std::nullopt; }

  Parameter* GetParameterByName(std::string_view name) const;
  void ClearModifiedFlags();
  // A parameter with a note; with any false, comparison differences do not count.
  bool HasProblemParameter(bool any) const;
  // Whether the parameter takes part in a write of that mode.
  static bool TakesPartInWrite(const Parameter& parameter, int mode);
  void ShowLinearIndexInTree(model::TreeRows& rows, model::TreeItem row, bool showIndex);
};
