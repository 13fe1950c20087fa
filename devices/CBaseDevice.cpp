#include "devices/CBaseDevice.h"

#include "devices/DeviceDocument.h"
#include "devices/MainMenu.h"
#include "devices/StateDialog.h"
#include "devices/TableControl.h"
#include "model/DescBranch.h"
#include "model/LinkOps.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"

namespace BaseDevice {
namespace {
constexpr int kCmdReadAll = 139;

constexpr unsigned kListStyle = myClass::TableControl::kStyleFullRowSelect | myClass::TableControl::kStyleInfoTip;
constexpr int kCentre = myClass::TableControl::kColumnCentre;
}  // namespace

CBaseDevice::CBaseDevice(DeviceDocument* document) : document_(document) {}

CBaseDevice::~CBaseDevice() {
  // The link and the views ask the current model; never leave them a dangling one.
  if (model::CurrentDeviceModel() == this) model::SetCurrentDeviceModel(nullptr);
}

std::string CBaseDevice::CellValueText(const Parameter& parameter) {
  return parameter.value.HasNoData() ? std::string("0") : std::string(parameter.value);
}

std::map<int, Parameter*> CBaseDevice::PolledInstances(const std::string& name) const {
  std::map<int, Parameter*> instances;
  DescBranch* polled = document_ ? document_->GetPolledBranch() : nullptr;
  if (polled && !name.empty()) polled->FindParameter(name, &instances);
  return instances;
}

bool CBaseDevice::FillInputsList(myClass::TableControl* table) {
  const int width = table ? (table->GetClientWidth() - 2) * 2 / 6 : 0;
  return FillInputsTable(table, {{kStrValue, width}, {kStrCounters, width}, {kStrResetting, width}}, kStrCounterLabel,
                         true);
}

bool CBaseDevice::FillInputsTable(myClass::TableControl* table, const std::vector<Column>& columns, int labelFormat,
                                  bool resetButtons) {
  if (!table) return false;
  table->SetExtendedStyle(kListStyle);
  std::vector<int> widths;
  for (const Column& c : columns) {
    table->InsertColumn(static_cast<int>(widths.size()), resources::LoadString(c.heading), kCentre, c.width);
    widths.push_back(c.width);
  }
  if (HasInputs()) {
    for (const auto& [index, parameter] : PolledInstances(GetInputsStateParamName())) {
      // The row a list gives may differ from the one asked for when the indexes
      // have gaps; the rest of the row follows the one it got.
      const int row = table->InsertItem(index, CellValueText(*parameter));
      if (row < 0) continue;
      table->SetItemText(row, 1, platform::Format(resources::LoadString(labelFormat).c_str(), index + 1));
      table->SetCell(row, -1, parameter, myClass::TableControl::kCellNotEdited);
      if (!resetButtons) continue;
      table->SetItemText(row, 2, resources::LoadString(kStrReset));
      table->SetFlags(row, 2, myClass::TableControl::kCellButton, myClass::TableControl::kCellButton);
    }
  }
  return table->AutoSizeColumns(&widths);
}

bool CBaseDevice::FillOutputsList(myClass::TableControl* table) {
  if (!table) return false;
  table->SetExtendedStyle(kListStyle);
  const int width = (table->GetClientWidth() - 2) / 2;
  table->InsertColumn(0, resources::LoadString(kStrValue), kCentre, width);
  table->InsertColumn(1, resources::LoadString(kStrOutputs), kCentre, width);
  if (HasOutputs()) {
    for (const auto& [index, parameter] : PolledInstances(GetOutputsStateParamName())) {
      const int row = table->InsertItem(index, CellValueText(*parameter));
      if (row < 0) continue;
      table->SetItemText(row, 1, parameter->description);
      table->SetCell(row, -1, parameter, 0);
      table->SetFlags(row, 1, myClass::TableControl::kCellNotEdited, myClass::TableControl::kCellNotEdited);
    }
  }
  const std::vector<int> widths{width, width};
  return table->AutoSizeColumns(&widths);
}

void CBaseDevice::RewriteOutputParameters() {
  model::LinkOps* link = document_ ? document_->GetLink() : nullptr;
  if (!link) return;
  for (const char* name : {"npcp", "npco", "pout"}) {
    for (const auto& [index, parameter] : PolledInstances(name)) {
      if (link->ReadParameter(*parameter, 0) != 0) break;
      // Without an initial value there is nothing to restore; writing the empty
      // text would only lose the value just read.
      if (parameter->initialValue.empty() || parameter->value == parameter->initialValue) continue;
      parameter->SetValue(parameter->initialValue);
      link->WriteParameter(*parameter, 1);
    }
  }
}

void CBaseDevice::Calibrate() {
  CalibrationLauncher* launcher = GetCalibrationLauncher();
  if (launcher && HasCalibration()) launcher->Run(GetCalibrationWizard(), *this);
}

std::string CBaseDevice::GetStateWindowTitle() const { return resources::LoadString(kStrStateWindow); }

std::string CBaseDevice::InputsStateTitle() { return resources::LoadString(kStrInputsWindow); }

std::string CBaseDevice::OutputsStateTitle() { return resources::LoadString(kStrOutputsWindow); }

std::string CBaseDevice::GetStatusBitText(int, const unsigned*) const { return {}; }

void CBaseDevice::UpdateStateList(StateDialog* dialog) {
  const auto* current = dynamic_cast<const CBaseDevice*>(model::CurrentDeviceModel());
  if (!dialog || !current || !current->HasInputs()) return;
  DescBranch* polled = document_ ? document_->GetPolledBranch() : nullptr;
  model::LinkOps* link = document_ ? document_->GetLink() : nullptr;
  if (!polled || !link) return;
  Parameter* counters = polled->FindParameterAt("r.cn", 0);
  if (!counters) return;
  const bool read = link->ReadParameter(*counters, 0) == 0 && counters->note.empty();
  long long parsed = 0;
  // A failed read or a word that is no number leaves every indicator in the default
  // look: the value kept from an earlier read is no state the module has now.
  const bool known = read && platform::ParseInteger(counters->value, 10, parsed) != 0;
  // As C's "%u": a negative number wraps.
  const unsigned states = static_cast<unsigned>(static_cast<unsigned long long>(parsed));

  unsigned mask = 1;
  const int rows = dialog->GetInputRowCount();
  for (int row = 0; row < rows; ++row) {
    StateIndicator* indicator = dialog->GetInputIndicator(row);
    if (!indicator) continue;
    const std::string text = !known ? std::string() : (states & mask) ? "1" : "0";
    if (indicator->GetStateText() != text) {
      indicator->SetStateText(text);
      indicator->Invalidate();
    }
    mask <<= 1;
  }
}

void CBaseDevice::UpdateStateFromRowParameters(StateDialog* dialog) {
  const auto* current = dynamic_cast<const CBaseDevice*>(model::CurrentDeviceModel());
  if (!dialog || !current || !current->HasInputs()) return;
  const int rows = dialog->GetInputRowCount();
  for (int row = 0; row < rows; ++row) {
    const auto* parameter = dynamic_cast<const Parameter*>(dialog->GetInputRowObject(row));
    // A value the user typed is not the input's state.
    if (!parameter || parameter->valueChanged) continue;
    StateIndicator* indicator = dialog->GetInputIndicator(row);
    if (!indicator || indicator->GetStateText() == parameter->value) continue;
    indicator->SetStateText(parameter->value);
    indicator->Invalidate();
  }
}

void CBaseDevice::ResetToDefaults() {
  if (!document_ || !document_->GetParameterTree()) {
    platform::ShowMessage(resources::LoadString(kStrNoTree), resources::LoadString(kStrAppTitle),
                          platform::MessageIcon::Error, platform::MessageButtons::Ok, true);
    return;
  }
  if (platform::ShowMessage(resources::LoadString(kStrResetQuestion), std::string(), platform::MessageIcon::Warning,
                            platform::MessageButtons::YesNo) != platform::kAnswerYes)
    return;
  document_->BeginWaitCursor();
  const int result = document_->StartInitTask();
  document_->EndWaitCursor();
  if (result != 0) document_->UpdateAllViews();
  document_->OnSendInit();
}

Parameter* CBaseDevice::GetApplyParameter() {
  if (!applyParameter_) {
    applyParameter_ = std::make_unique<Parameter>("APLY");
    applyParameter_->value.clear();
    // A command without data: "void" converts to no bytes, the same request on the
    // wire, and a link that refuses unconvertible values still sends it.
    applyParameter_->type = "void";
  }
  return applyParameter_.get();
}

void CBaseDevice::ResetWithDefaultsCommand(int channels) {
  model::LinkOps* link = document_ ? document_->GetLink() : nullptr;
  if (!link) return;
  // The module loses its configuration: asked first, as every other model's reset.
  if (platform::ShowMessage(resources::LoadString(kStrResetQuestion), std::string(), platform::MessageIcon::Warning,
                            platform::MessageButtons::YesNo) != platform::kAnswerYes)
    return;
  Parameter command("S.Def");
  command.type = "void";
  for (int channel = 0; channel < channels; ++channel) {
    if (channels > 1) {
      command.indexed = true;
      command.linearIndex = channel;
    }
    // A command without data, whatever the last exchange left in it; the link
    // never sends "Нет данных".
    command.value.clear();
    command.note.clear();
    // The module resets itself before it can answer in a way that decodes.
    if (link->WriteParameter(command, 1) == 0 || command.answerNotDecoded) continue;
    platform::ShowMessage(command.note, resources::LoadString(kStrResetFailed), platform::MessageIcon::Warning,
                          platform::MessageButtons::Ok, true);
    return;
  }
  if (platform::ShowMessage(resources::LoadString(kStrResetDone), std::string(), platform::MessageIcon::Information,
                            platform::MessageButtons::YesNo) != platform::kAnswerYes)
    return;
  if (MainMenu* menu = GetMainMenu()) menu->PostCommand(kCmdReadAll);
}

}  // namespace BaseDevice
