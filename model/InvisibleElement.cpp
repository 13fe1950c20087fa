#include "model/InvisibleElement.h"

#include "model/WalkScope.h"
#include "platform/Archive.h"
#include "platform/CFormat.h"
#include "resources/StringTable.h"

namespace Elements {

InvisibleElement::InvisibleElement() : elementName(InvisibleElement::GetTypeName()) {}

int InvisibleElement::SetParameterValue(std::string_view name, const ValueText& text) {
  if (name == "Название") {
    elementName = text;
    return 3;
  }
  return ObjectWithParameters::SetParameterValue(name, text);
}

model::WalkResult InvisibleElement::CompareWithDevice(model::LinkOps& link) {
  const model::WalkScope walk;
  if (link.IsAbortSet()) return {};
  link.AddProgressLine(
      platform::Format("%s '%s'", resources::LoadString(kStrComparingBranch).c_str(), elementName.c_str()));
  return ObjectWithParameters::CompareWithDevice(link);
}

model::WalkResult InvisibleElement::ReadFromDevice(model::LinkOps& link) {
  const model::WalkScope walk;
  if (link.IsAbortSet()) return {};
  link.AddProgressLine(
      platform::Format("%s '%s'", resources::LoadString(kStrReadingBranch).c_str(), elementName.c_str()));
  return ObjectWithParameters::ReadFromDevice(link);
}

model::WalkResult InvisibleElement::WriteToDevice(model::LinkOps& link, int mode) {
  const model::WalkScope walk;
  bool anyToWrite = mode > 0;
  for (size_t i = 0; !anyToWrite && i < parameters.size(); ++i) anyToWrite = TakesPartInWrite(*parameters[i], mode);
  if (anyToWrite)
    link.AddProgressLine(
        platform::Format("%s '%s'", resources::LoadString(kStrWritingBranch).c_str(), elementName.c_str()));
  return ObjectWithParameters::WriteToDevice(link, mode);
}

model::TreeItem InvisibleElement::InsertTreeItems(model::TreeRows& rows, model::TreeItem parent, int count,
                                                  bool showIndex) {
  model::TreeItem row =
      rows.InsertItem(this, elementName, GetImage(), GetSelectedImage(), model::RowEditor::None, parent, false);
  if (row == model::kNoItem) return row;
  ObjectWithParameters::InsertTreeItems(rows, row, count, showIndex);
  return row;
}

void InvisibleElement::ZeroFillRecord(std::array<std::uint8_t, 16>& record) { record.fill(0); }

int InvisibleElement::GetImage() { return 0; }

int InvisibleElement::GetSelectedImage() { return 0; }

std::string InvisibleElement::GetTypeName() { return "Невизуальный элемент"; }

int InvisibleElement::GetNoValueCode() { return -999; }

std::string InvisibleElement::GetTitle() { return elementName + " (" + GetTypeName() + ")"; }

}  // namespace Elements

namespace Elements {

void InvisibleElement::Serialize(platform::Archive& archive) {
  if (archive.IsStoring()) {
    archive.WriteClassTag("InvisibleElement", 3);
    archive.WriteText(elementName);
    archive.WriteDword(static_cast<std::uint32_t>(parameters.size()));
  } else if (archive.ReadClassTag({"InvisibleElement", "DescBranch"}) == 3) {
    std::string storedName = archive.ReadText();
    archive.ReadDword();  // the stored count; the element's own parameters decide
    elementName = std::move(storedName);
    if (!KeepsValuesWhenLoading()) ResetValues();
  }
  ObjectWithParameters::Serialize(archive);
}

}  // namespace Elements
