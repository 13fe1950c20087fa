#include "app/ApplyCommand.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

#include "devices/CBaseDevice.h"
#include "link/AppState.h"
#include "link/Device.h"
#include "link/NetRS485prg.h"
#include "link/NetworkChecks.h"
#include "link/WriteGate.h"
#include "model/ObjectWithParameters.h"
#include "model/Parameter.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"

namespace Dialogs {
namespace {

constexpr const char* kNetworkNames[] = {"bPS", "LEn", "PrtY", "Sbit", "A.Len", "Addr"};
constexpr const char* kNotTaken = "не записано в прибор - остается прежним";
constexpr const char* kNotFollowed = " - запрещено правилами сетевых параметров, программа остается на прежнем";

// What the program holds for a setting ("" when it has none).
std::string ProgramValue(const ObjectWithParameters* program, const char* name) {
  const Parameter* p = program != nullptr ? program->GetParameterByName(name) : nullptr;
  return p != nullptr ? std::string(p->value) : std::string();
}

constexpr const char* kNoLink = "Нет данных - контекст устройства не получен диалогом APLY\n\nВнутренняя ошибка программы";

}  // namespace

ApplyCommand::ApplyCommand(Device* link, ObjectWithParameters* network, BaseDevice::CBaseDevice* model)
    : link_(link), network_(network), model_(model) {}

std::string ApplyCommand::Summary() const {
  using resources::LoadString;
  if (!link_) return kNoLink;
  if (!network_) return LoadString(kStrNoNetworkElement);
  if (NothingTaken()) return kNothingTaken;
  const bool dataLength = !model_ || model_->HasDataLengthParameter();
  std::string text;
  // Only what the module confirmed is new; a value typed but not written, or one it
  // refused, is not followed.
  const std::vector<Followed> followed = SettingsToFollow(*network_, &link_->Settings());
  auto line = [&](int title, const char* name) {
    const std::string held = network_->GetParameterValue(name);
    const Parameter* known = network_->GetParameterByName(name);
    const bool neverRead = known == nullptr || known->value.HasNoData();
    std::string shown = neverRead ? held : kNotTaken;
    for (const Followed& f : followed)
      if (f.name == name) shown = f.followed ? f.value : f.value + kNotFollowed;
    text += LoadString(title) + ": " + shown + "\n";
  };
  line(kStrSpeed, "bPS");
  if (dataLength) line(kStrDataLength, "LEn");
  line(kStrParity, "PrtY");
  line(kStrStopBits, "Sbit");
  line(kStrAddressLength, "A.Len");
  line(kStrAddress, "Addr");
  return text;
}

bool ApplyCommand::NothingTaken() const {
  if (!network_) return false;
  bool offered = false;
  for (const char* name : kNetworkNames) {
    if (Elements::ConfirmedSetting(*network_, name)) return false;
    const Parameter* p = network_->GetParameterByName(name);
    offered |= p != nullptr && !p->value.HasNoData();
  }
  return offered;
}

std::vector<ApplyCommand::Followed> ApplyCommand::SettingsToFollow(const ObjectWithParameters& network,
                                                                   const ObjectWithParameters* program) {
  std::vector<Followed> settings;
  for (const char* name : kNetworkNames)
    if (const std::optional<std::string> value = Elements::ConfirmedSetting(network, name))
      settings.push_back({name, *value, true});
  // The program's settings afterwards: what it follows, else what it holds.
  auto after = [&](const char* name) {
    for (const Followed& f : settings)
      if (f.name == name) return f.value;
    return ProgramValue(program, name);
  };
  auto touches = [&](std::initializer_list<const char*> names) {
    for (const Followed& f : settings)
      for (const char* n : names)
        if (f.name == n) return true;
    return false;
  };
  auto refuse = [&](std::initializer_list<const char*> names) {
    for (Followed& f : settings)
      for (const char* n : names)
        if (f.name == n) f.followed = false;
  };
  // The rules of the write gate: a frame the settings rules forbid and an address no
  // module may have are not followed.
  if (touches({"PrtY", "LEn", "Sbit"}) &&
      !exchange::NetworkSettingsRefusal(after("PrtY"), after("LEn"), after("Sbit"), "", "", &network).empty())
    refuse({"PrtY", "LEn", "Sbit"});
  if (touches({"A.Len", "Addr"}) &&
      !exchange::NetworkSettingsRefusal("", "", "", after("A.Len"), after("Addr"), &network,
                                        ProgramValue(&network, "Prot"))
           .empty())
    refuse({"A.Len", "Addr"});
  return settings;
}

void ApplyCommand::CopyConfirmedSettings(const ObjectWithParameters& network, ObjectWithParameters& program) {
  for (const Followed& f : SettingsToFollow(network, &program))
    if (f.followed) program.SetParameterValue(f.name, f.value);
}

bool ApplyCommand::Send(bool broadcast) {
  if (!link_) return false;
  if (NothingTaken()) {
    platform::ShowMessage(kNothingTaken, resources::LoadString(kStrAppTitle), platform::MessageIcon::Error);
    return false;
  }
  // An address the frames cannot carry: the module must not switch to it.
  if (network_ && !Elements::HeldAddressFits(*network_)) {
    platform::ShowMessage(resources::LoadString(kStrForbiddenCombination), resources::LoadString(kStrAppTitle),
                          platform::MessageIcon::Error);
    return false;
  }
  Parameter* apply = model_ ? model_->GetApplyParameter() : nullptr;
  // The broadcast goes past the link's single writes: the gate is asked here.
  if (apply && !exchange::PassWriteGate(exchange::WriteTaskOf(*apply, apply->value))) return false;
  int result = -1;
  if (apply) result = broadcast ? SendApplyBroadcast(*link_, *apply, broadcastPauseMs) : link_->WriteParameter(*apply, 1);
  if (result != 0) {
    const std::string name = apply ? apply->name : std::string("APLY");
    std::string text = platform::Format(resources::LoadString(kStrNotWritten).c_str(), name.c_str());
    // The link's error text tells a module that refused from a line without answer.
    std::string why = apply ? apply->note : std::string();
    while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
    if (!why.empty()) text += "\n" + why;
    platform::ShowMessage(text, resources::LoadString(kStrAppTitle), platform::MessageIcon::Error);
    return false;
  }
  return true;
}

int ApplyCommand::SendApplyBroadcast(DeviceIO& link, Parameter& apply, int pauseMs) {
  const int saved = apply.requestIndex;
  apply.requestIndex = -1;
  if (pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
  int result;
  {
    std::lock_guard lock(App().exchangeLock);
    result = link.ExchangeParameter(0, &apply, nullptr, false);
  }
  apply.requestIndex = saved;
  return result;
}

}  // namespace Dialogs
