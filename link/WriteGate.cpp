#include "link/WriteGate.h"

#include <optional>

#include "link/AppState.h"
#include "link/ModelTable.h"
#include "link/NetworkChecks.h"
#include "link/NetworkName.h"
#include "link/ResultFlags.h"
#include "model/DescBranch.h"
#include "model/DeviceModelHooks.h"
#include "model/ObjectWithParameters.h"
#include "model/Parameter.h"
#include "model/TypedNumber.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

namespace exchange {
namespace {

using platform::EqualsNoCase;
using platform::Format;

// The name of the refusal of the module's network settings as a whole.
constexpr const char* kNetworkSettings = "сетевые параметры";

bool IsNetworkSetting(const std::string& name) {
  const model::DeviceModelHooks* model = model::CurrentDeviceModel();
  return model != nullptr ? model->IsNetworkParameter(name) : model::IsBaseNetworkParameter(name);
}

std::string NameOf(const Parameter& p) { return p.indexed ? Format("%s:%d", p.name.c_str(), p.linearIndex) : p.name; }

bool IsSent(const Parameter& p, const ValueText& text) {
  return p.linearIndex >= 0 && !text.HasNoData();
}

void CollectWrite(const ObjectWithParameters& element, int mode, WriteTask& task) {
  for (const auto& p : element.parameters) {
    if (!ObjectWithParameters::TakesPartInWrite(*p, mode)) continue;
    const ValueText& text = mode < 0 ? p->initialValue : p->value;
    if (!IsSent(*p, text)) continue;
    task.values.push_back({p.get(), text});
    if (task.network == nullptr && IsNetworkSetting(p->name)) task.network = &element;
  }
  if (const auto* branch = dynamic_cast<const DescBranch*>(&element))
    for (const auto& child : branch->children) CollectWrite(*child, mode, task);
}

// The setting as the module holds it after the task: the task's value, else the held one.
std::string After(const WriteTask& task, const char* name, bool& touched) {
  for (const WriteValue& v : task.values) {
    // The protocol is no network setting of its own, but goes with the address.
    if (v.parameter != nullptr && EqualsNoCase(v.parameter->name, name) &&
        (IsNetworkSetting(v.parameter->name) || EqualsNoCase(name, "Prot"))) {
      touched = true;
      return v.text;
    }
  }
  if (task.network != nullptr)
    if (const Parameter* held = task.network->GetParameterByName(name))
      if (!held->value.HasNoData()) return held->value;
  return {};
}

}  // namespace

WriteTask WriteTaskOf(const ObjectWithParameters& element, int mode) {
  WriteTask task;
  CollectWrite(element, mode, task);
  return task;
}

WriteTask WriteTaskOf(const Parameter& parameter, const ValueText& text, const ObjectWithParameters* network) {
  WriteTask task;
  if (IsSent(parameter, text)) task.values.push_back({&parameter, text});
  if (IsNetworkSetting(parameter.name)) task.network = network;
  return task;
}

std::string ValueRefusal(const Parameter& parameter, const std::string& text) {
  if (EqualsNoCase(parameter.name, "CHAr*")) {
    const NetworkNameCodes codes = EncodeNetworkName(text);
    return codes.result == 0 ? std::string() : NetworkNameErrorText(codes.textId);
  }
  if (!parameter.TextReadsAsType(text)) return "не читается как значение типа \"" + parameter.type + "\"";
  Parameter typed(parameter.name);
  typed.type = parameter.type;
  typed.dot = parameter.dot;
  typed.min = parameter.min;
  typed.max = parameter.max;
  ValueBytes data;
  std::string encoded = text;
  const int converted = typed.ConvertTextToData(encoded, data);
  // A command carries no value: there is nothing to judge.
  if (converted == MyConverter::kConverted && data.empty()) return {};
  // A refusal of the encoder may carry its own text (a network name's).
  if (converted == MyConverter::kRefused && encoded != text && !encoded.empty()) return encoded;
  // The rules of a value typed into its cell. A value shown in hexadecimal ("CodP"
  // rows) writes back as the number it is.
  const std::string first = parameter.type.substr(0, parameter.type.find(':'));
  const bool integer = EqualsNoCase(first, "int") || EqualsNoCase(first, "int16");
  const std::string ruled = integer ? Format("%lld", MyConverter::IntegerOfText(text)) : text;
  if (typed.CheckAndSetValue(ruled, true) == 0) {
    if (!parameter.LimitsInForce()) return "не допустимо для типа \"" + parameter.type + "\"";
    return Format("вне допустимых значений (от %g до %g)", parameter.min, parameter.max);
  }
  return converted == MyConverter::kConverted ? std::string() : resources::LoadString(kStrNotEncodable);
}

std::string NetworkSettingsRefusal(const std::string& parity, const std::string& dataBits,
                                   const std::string& stopBits, const std::string& addressLength,
                                   const std::string& address, const ObjectWithParameters* network,
                                   const std::string& protocol) {
  std::string refused;
  if (!address.empty()) {
    const std::optional<int> number = model::ReadAddressText(address);
    // Addresses above 255 travel only in the first protocol's frames.
    const Parameter* prot = network != nullptr ? network->GetParameterByName("Prot") : nullptr;
    int protocolIndex = 0;
    if (number && *number > 255 && prot != nullptr && !protocol.empty() &&
        (!prot->FindEnumIndex(protocol, protocolIndex) || protocolIndex != 0))
      return Format("адрес %s больше 255 при протоколе \"%s\"", address.c_str(), protocol.c_str());
    // An address length not known is the widest: only what no addressing carries is refused.
    const int bits = addressLength == "8" ? 8 : 11;
    const model::DeviceModelHooks* model = model::CurrentDeviceModel();
    if (!number || !Elements::ModuleAddressAllowed(*number, bits) ||
        (model != nullptr && !addressLength.empty() && !model->IsValidAddress(*number, addressLength)))
      refused = Format("адрес %s не может быть у прибора сети при длине адреса %i бит", address.c_str(), bits);
  }
  if (!parity.empty() && !dataBits.empty() && !stopBits.empty()) {
    if (!Elements::FrameAllowed(network, parity, platform::Atoi(dataBits), platform::Atoi(stopBits))) {
      if (!refused.empty()) refused += "; ";
      refused += Format("запрещенная комбинация: четность \"%s\", длина слова данных %s, стоп-бит %s",
                        parity.c_str(), dataBits.c_str(), stopBits.c_str());
    }
  }
  return refused;
}

std::string OtherModelRefusal() {
  const int module = App().identifiedModel;
  const int tree = App().modelIndex;
  if (module < 0 || tree < 0 || module == tree) return {};
  return Format("Параметры относятся к прибору \"%s\", а на линии прибор \"%s\": они не записываются в него.",
                ModelDisplayName(tree).c_str(), ModelDisplayName(module).c_str());
}

std::vector<WriteRefusal> CheckWrite(const WriteTask& task) {
  std::vector<WriteRefusal> refusals;
  if (task.values.empty()) return refusals;
  if (std::string models = OtherModelRefusal(); !models.empty()) refusals.push_back({"", "", std::move(models)});
  for (const WriteValue& v : task.values) {
    if (v.parameter == nullptr) continue;
    if (std::string why = ValueRefusal(*v.parameter, v.text); !why.empty())
      refusals.push_back({NameOf(*v.parameter), v.text, std::move(why)});
  }
  // The module's settings after the task: judged only when the task changes them.
  bool frame = false, addressing = false;
  const std::string parity = After(task, "PrtY", frame);
  const std::string dataBits = After(task, "LEn", frame);
  const std::string stopBits = After(task, "Sbit", frame);
  const std::string length = After(task, "A.Len", addressing);
  const std::string address = After(task, "Addr", addressing);
  const std::string protocol = After(task, "Prot", addressing);
  // A length the tree does not know is the narrower one: the module may well have it.
  const std::string bits = length.empty() && task.network != nullptr ? "8" : length;
  const std::string refused = NetworkSettingsRefusal(frame ? parity : std::string(), dataBits, stopBits, bits,
                                                     addressing ? address : std::string(), task.network, protocol);
  if (!refused.empty()) {
    const std::string values = Format("PrtY \"%s\", LEn %s, Sbit %s, A.Len %s, Addr %s", parity.c_str(),
                                      dataBits.c_str(), stopBits.c_str(), length.c_str(), address.c_str());
    refusals.push_back({kNetworkSettings, values, refused});
  }
  return refusals;
}

std::string RefusalLine(const WriteRefusal& r) {
  return r.name.empty() ? r.reason : r.name + " = \"" + r.text + "\": " + r.reason;
}

std::string WriteRefusalMessage(const std::vector<WriteRefusal>& refusals) {
  std::string text = "Запись не выполнена, в прибор ничего не передано:\n";
  bool network = false;
  for (const WriteRefusal& r : refusals) {
    text += RefusalLine(r) + "\n";
    network |= r.name == kNetworkSettings;
  }
  if (network) text += "\n" + resources::LoadString(kStrForbiddenCombination);
  return text;
}

bool PassWriteGate(const WriteTask& task) {
  const std::vector<WriteRefusal> refusals = CheckWrite(task);
  if (refusals.empty()) return true;
  if (App().batchRun) {
    for (const WriteRefusal& r : refusals) {
      App().ReportFailureLine(RefusalLine(r) + "; nothing is written");
      App().resultFlags |= r.name.empty() ? kResultConnectFailed : kResultMissingConfigFile;
    }
    return false;
  }
  platform::ShowMessage(WriteRefusalMessage(refusals), resources::LoadString(kStrAppTitle),
                        platform::MessageIcon::Error);
  return false;
}

}  // namespace exchange
