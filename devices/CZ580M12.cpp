#include "devices/CZ580M12.h"

#include "devices/DeviceDocument.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/Text.h"

namespace BaseDevice {
namespace {
// List positions of the functions that occupy both instances of a pair.
bool TakesBothOfPair(int position) { return position == 3 || position == 4 || position == 7; }
}  // namespace

Parameter* CZ580M12::OnParameterEdited(Parameter& parameter) {
  if (!platform::EqualsNoCase(parameter.name, "Log")) return nullptr;
  DescBranch* tree = document_ ? document_->GetParameterTree() : nullptr;
  if (!tree) return nullptr;
  Parameter* partner = tree->FindParameterAt(parameter.name, parameter.linearIndex ^ 1);
  if (!partner || partner == &parameter) return nullptr;
  int position = 0;
  if (!parameter.FindEnumIndex(parameter.value, position)) return nullptr;
  if (TakesBothOfPair(position)) {
    partner->SetValue(parameter.value);
    return partner;
  }
  int partnerPosition = 0;
  if (partner->FindEnumIndex(partner->value, partnerPosition) && TakesBothOfPair(partnerPosition)) {
    partner->SetValue(partner->GetEnumName(0));
    return partner;
  }
  return nullptr;
}

}  // namespace BaseDevice
