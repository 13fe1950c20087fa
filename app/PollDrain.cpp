#include "app/PollDrain.h"

#include <mutex>
#include <optional>

#include "devices/CBaseDevice.h"
#include "devices/DeviceDocument.h"
#include "link/AppState.h"
#include "model/DescBranch.h"
#include "model/LinkOps.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

using platform::EqualsNoCase;
using resources::LoadString;

namespace {

void ShowBits(PelmTreeRows& rows, model::TreeItem row, unsigned bits) {
  for (model::TreeItem child = rows.GetChildItem(row); child != model::kNoItem;
       child = rows.GetNextSiblingItem(child), bits >>= 1)
    rows.SetItemText(child, 2, LoadString((bits & 1) != 0 ? kStrOn : kStrOff));
}

void ShowStatusBits(PelmTreeRows& rows, model::TreeItem row, unsigned word) {
  const auto* model = dynamic_cast<const BaseDevice::CBaseDevice*>(App().DeviceModel());
  int i = 0;
  for (model::TreeItem child = rows.GetChildItem(row); child != model::kNoItem;
       child = rows.GetNextSiblingItem(child), ++i)
    rows.SetItemText(child, 2, model != nullptr ? model->GetStatusBitText(i, &word) : std::string());
}

// Reads "sen.t" and names the reading after the sensor it reports. A task that
// holds the link keeps the caption as it is: the window thread never waits for it.
void ShowReadingKind(PelmTreeRows& rows, Parameter& reading, BaseDevice::DeviceDocument& document) {
  DescBranch* tree = document.GetParameterTree();
  model::LinkOps* link = document.GetLink();
  Parameter* sensor = tree != nullptr ? tree->FindParameter("sen.t") : nullptr;
  if (sensor == nullptr || link == nullptr || sensor->valueChanged) return;
  std::unique_lock lock(App().exchangeLock, std::try_to_lock);
  if (!lock.owns_lock()) return;
  if (link->ReadParameter(*sensor, 0) != 0) return;
  reading.description = LoadString(sensor->value == sensor->GetEnumName(0) ? kStrPhReading : kStrRedoxReading);
  rows.SetItemText(reading.treeItem, 0, reading.description);
}

}  // namespace

int SrdCodeTextId(int code) {
  switch (code) {
    case 0: return kStrMeasureSuccess;
    case 240: return kStrMeasureInvalid;
    case 246: return kStrMeasureNotReady;
    case 247: return kStrMeasureSensorOff;
    case 250: return kStrMeasureTooHigh;
    case 251: return kStrMeasureTooLow;
    case 253: return kStrMeasureSensorBreak;
    case 255: return kStrMeasureBadCoefficient;
    default: return kStrCannotDecode;
  }
}

int DrainPollResults(exchange::PollResultQueue& queue, PelmTreeRows& rows, BaseDevice::DeviceDocument* document) {
  int taken = 0;
  queue.BeginDrain();
  while (std::unique_ptr<exchange::PollResult> record = queue.PopFront()) {
    ++taken;
    Parameter* p = record->parameter;
    if (p == nullptr || p->treeItem == model::kNoItem) continue;
    const model::TreeItem row = p->treeItem;
    const std::optional<int> number = platform::ScanInt(record->value);
    if (EqualsNoCase(p->name, "r.cn") || EqualsNoCase(p->name, "s.do")) {
      if (number) ShowBits(rows, row, static_cast<unsigned>(*number));
    } else if (EqualsNoCase(p->name, "Rd.St")) {
      if (number) ShowStatusBits(rows, row, static_cast<unsigned>(*number));
    } else if (EqualsNoCase(p->name, "Rd.Rs")) {
      if (document == nullptr) break;
      ShowReadingKind(rows, *p, *document);
    } else if (EqualsNoCase(p->name, "SRD")) {
      if (number) record->value = LoadString(SrdCodeTextId(*number));
    }
    rows.SetItemText(row, 2, record->value);
    rows.SetItemText(row, 5, record->error);
    rows.SetItemColor(row, record->error.empty() ? model::kBlack : model::kRed);
  }
  return taken;
}
