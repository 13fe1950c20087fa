#include "support/FakeStateDialog.h"

FakeStateIndicator* FakeStateDialog::AddRow(bool withIndicator, CObject* object) {
  indicators.push_back(withIndicator ? std::make_unique<FakeStateIndicator>() : nullptr);
  rowObjects.push_back(object);
  return indicators.back().get();
}

std::string FakeStateDialog::Texts() const {
  std::string out;
  for (const auto& i : indicators) out += i ? (i->text.empty() ? "?" : i->text) : "-";
  return out;
}

BaseDevice::StateIndicator* FakeStateDialog::GetInputIndicator(int row) {
  if (row < 0 || row >= static_cast<int>(indicators.size())) return nullptr;
  return indicators[row].get();
}

CObject* FakeStateDialog::GetInputRowObject(int row) {
  if (row < 0 || row >= static_cast<int>(rowObjects.size())) return nullptr;
  return rowObjects[row];
}
