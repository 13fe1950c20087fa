#pragma once
// A named element with a row of its own in the tree: the base of branches,
// network-settings elements and the program's service element.
#include <array>
#include <cstdint>
#include <string>

#include "model/ObjectWithParameters.h"

namespace Elements {

class InvisibleElement : public ObjectWithParameters {
 public:
  // The name starts as the type name.
  InvisibleElement();
  ~InvisibleElement() override = default;

  std::string elementName;

  // "Название" (exactly so) renames the element and returns 3.
  int SetParameterValue(std::string_view name, const ValueText& text) override;
  // The walks add a progress line "<action> '<name>'" first.
  model::WalkResult CompareWithDevice(model::LinkOps& link) override;
  model::WalkResult ReadFromDevice(model::LinkOps& link) override;
  model::WalkResult WriteToDevice(model::LinkOps& link, int mode) override;
  // Inserts the element's own row under parent, then its parameters under that row;
  // returns the element's row.
  model::TreeItem InsertTreeItems(model::TreeRows& rows, model::TreeItem parent, int count, bool showIndex) override;

  // The element record: name, parameter count and the parameters without keys.
  // Loading resets the values first unless the element keeps them.
  void Serialize(platform::Archive& archive) override;

  virtual void ZeroFillRecord(std::array<std::uint8_t, 16>& record);
  virtual int GetImage();
  virtual int GetSelectedImage();
  virtual std::string GetTypeName();
  virtual int GetNoValueCode();
  // elementName + " (" + GetTypeName() + ")".
  virtual std::string GetTitle();
};

}  // namespace Elements
