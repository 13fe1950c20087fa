#include "app/TreeViewRows.h"

#include "app/CPelmDoc.h"
#include "devices/CBaseDevice.h"
#include "link/AppState.h"
#include "link/Device.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "resources/StringTable.h"

using resources::LoadString;

namespace {

constexpr int kConfigurationImage = 25;
constexpr int kDeviceParametersImage = 1;
constexpr int kHeadingImage = 49;

void RefreshRow(PelmTreeRows& rows, model::TreeItem row, bool showIndex) {
  CObject* object = rows.GetItemObject(row);
  if (auto* element = dynamic_cast<Elements::InvisibleElement*>(object)) {
    element->ShowLinearIndexInTree(rows, row, showIndex);
  } else if (auto* p = dynamic_cast<Parameter*>(object)) {
    if (p->IsPolled()) {
      std::string text = p->description;
      if (showIndex) text += platform::Format(", %s:%i", p->name.c_str(), p->requestIndex);
      rows.SetItemText(row, 0, text);
    } else {
      p->SetTreeItemTexts(rows, row, showIndex);
    }
  }
  for (model::TreeItem child = rows.GetChildItem(row); child != model::kNoItem;
       child = rows.GetNextSiblingItem(child))
    RefreshRow(rows, child, showIndex);
}

}  // namespace

std::string ConfigurationRowText(const CPelmDoc& document) {
  return LoadString(kStrConfiguration) + document.title + ")";
}

ViewRows BuildViewRows(PelmTreeRows& rows, CPelmDoc& document) {
  ViewRows made;
  if (rows.GetRootItem() != model::kNoItem) return made;
  document.BeginWaitCursor();
  const bool showIndex = App().showLinearIndexes;
  made.configuration = rows.InsertItem(nullptr, ConfigurationRowText(document), kConfigurationImage,
                                       kConfigurationImage, model::RowEditor::None, model::kNoItem, false);

  if (document.rootBranch != nullptr) {
    made.deviceParameters = document.rootBranch->InsertTreeItems(rows, made.configuration, -1, showIndex);
  } else {
    made.deviceParameters = rows.InsertItem(nullptr, LoadString(kStrDeviceParameters), kDeviceParametersImage,
                                            kDeviceParametersImage, model::RowEditor::None, made.configuration, false);
    if (made.deviceParameters != model::kNoItem)
      rows.SetItemText(made.deviceParameters, 2, "(" + LoadString(kStrUndefined) + ")");
  }

  auto* deviceModel = dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel());
  Device* link = document.GetDevice();
  if (deviceModel != nullptr && deviceModel->HasScanners() && document.scannersBranch != nullptr) {
    made.polledParameters = document.scannersBranch->InsertTreeItems(rows, made.configuration, -1, showIndex);
    if (made.polledParameters != model::kNoItem) {
      const model::TreeItem heading = rows.InsertItemFirst(nullptr, LoadString(kStrParameterName), kHeadingImage,
                                                           kHeadingImage, made.polledParameters);
      if (heading != model::kNoItem) {
        rows.SetItemText(heading, 1, LoadString(kStrPeriod));
        rows.SetItemText(heading, 2, LoadString(kStrValue));
        rows.SetItemText(heading, 5, LoadString(kStrExchangeErrors));
        rows.SetItemBold(heading, true);
      }
    }
    if (link != nullptr) link->StartScanThread(*document.scannersBranch);
  }
  if (link != nullptr && !link->TransmitThreadRunning()) link->StartTransmitThread();
  if (deviceModel != nullptr) deviceModel->AddModelMenuItems();

  if (made.configuration != model::kNoItem) rows.Expand(made.configuration);
  if (made.deviceParameters != model::kNoItem) rows.Expand(made.deviceParameters);
  document.EndWaitCursor();
  return made;
}

void RefreshRows(PelmTreeRows& rows, bool showIndex) {
  for (model::TreeItem row = rows.GetRootItem(); row != model::kNoItem; row = rows.GetNextSiblingItem(row))
    RefreshRow(rows, row, showIndex);
}

void ForgetTreeRows(DescBranch* branch) {
  if (branch == nullptr) return;
  for (auto& p : branch->parameters) p->treeItem = model::kNoItem;
  branch->rowsShown = 0;
  for (auto& child : branch->children) ForgetTreeRows(child.get());
}
