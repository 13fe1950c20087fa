#include "link/Device.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <system_error>

#include "link/AlternateFraming.h"
#include "link/AppState.h"
#include "link/ModelTable.h"
#include "link/ResultFlags.h"
#include "link/TaskWindow.h"
#include "model/DescBranch.h"
#include "model/DeviceModelHooks.h"
#include "model/ObjectWithParameters.h"
#include "model/Parameter.h"
#include "model/WalkScope.h"
#include "platform/CFormat.h"
#include "platform/PortOpenReason.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

using platform::Format;
using resources::LoadString;

namespace {

// Results of the exchange for a value that never went out: refused by its
// conversion, or not encodable in a frame.
constexpr int kValueRefused = 3;
constexpr int kValueNotEncodable = 4;

constexpr int kTimeOutLimit = 5;
constexpr int kListedDifferences = 10;
constexpr size_t kLineCharacters = 255;

std::atomic<Device*> gDevice{nullptr};

int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The first `limit` characters of a UTF-8 text.
std::string CutToCharacters(const std::string& text, size_t limit) {
  size_t characters = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (characters++ == limit) return text.substr(0, i);
  }
  return text;
}

// "name" or "name:index" for the progress lines.
std::string NameWithIndex(const Parameter& p, const char* separator = ":") {
  return p.indexed ? Format("%s%s%i", p.name.c_str(), separator, p.linearIndex) : p.name;
}

bool IsTimeOutNote(const std::string& note) { return platform::EqualsNoCase(note, LoadString(kStrTimeOut)); }

const std::string& EditableText(const Parameter& p) {
  return LoadString(p.editable != 0 ? kStrEditable : kStrNotEditable);
}
const std::string& OwnerText(const Parameter& p) { return LoadString(p.owner == 1 ? kStrMaker : kStrUser); }

// The number of parameters a task on the element handles (its done count runs up
// to it): mode > 0 all, 0 the changed ones, < 0 those with an initial value.
int CountTaskParameters(const ObjectWithParameters& element, int mode) {
  if (const auto* branch = dynamic_cast<const DescBranch*>(&element)) return branch->CountParametersToWrite(mode);
  int count = 0;
  for (const auto& p : element.parameters) {
    if (mode > 0 || (mode == 0 && p->AnyChangeFlag()) || (mode < 0 && !p->initialValue.empty())) ++count;
  }
  return count;
}

// The first two pieces of a version text split at '.', C's "%i" each; a missing,
// empty or unreadable piece is -1 (".5" is no version 5).
void ParseFirmwareVersion(const std::string& text, int& major, int& minor) {
  int pieces[2] = {-1, -1};
  std::string_view rest = text;
  for (size_t piece = 0; piece < 2 && !rest.empty(); ++piece) {
    const size_t dot = rest.find('.');
    pieces[piece] = platform::ScanInt(rest.substr(0, dot)).value_or(-1);
    rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
  }
  major = pieces[0];
  minor = pieces[1];
}

// Leaves the protocol selector at the own frame however connecting ends.
struct OwnFrameOnExit {
  ~OwnFrameOnExit() { exchange::SetProtocolSelector(exchange::kSelectorOwnFrame); }
};

}  // namespace

int Device::TaskCaptionId(int taskCode) {
  switch (taskCode) {
    case kTaskReadAll: return kStrProgressReadAll;
    case kTaskReadOne: return kStrProgressReadOne;
    case kTaskWriteAll: return kStrProgressWriteAll;
    case kTaskWriteChanged: return kStrProgressWriteChanged;
    case kTaskCompare: return kStrProgressCompare;
    case kTaskInit: return kStrProgressInit;
    case kTaskWriteOne: return kStrProgressWriteOne;
    default: return 0;
  }
}

Device::Device() {
  gDevice.store(this);
  // A run asked to end before its link was made (StopLinkForExit looked for it first).
  if (App().runStopping) StopForExit();
}

Device::~Device() {
  StopThreads();
  Device* self = this;
  gDevice.compare_exchange_strong(self, nullptr);
}

Device* CurrentDevice() { return gDevice.load(); }

void StopLinkForExit() {
  App().runStopping = true;
  if (Device* device = CurrentDevice()) device->StopForExit();
}

void Device::StopForExit() {
  stoppedForExit_ = true;
  abort_.Set();
  Port().CancelEvent().Set();
}

// ---------------------------------------------------------------- threads

bool Device::StartTransmitThread() {
  if (transmit_.joinable()) return true;
  try {
    transmit_ = std::thread([this] { TransmitThread(); });
  } catch (const std::system_error&) {
    platform::ShowMessage("Не могу запустить поток (TransmitThread), необходимый для коммуникации с прибором",
                          "Error", platform::MessageIcon::Error);
    return false;
  }
  return true;
}

void Device::TransmitThread() {
  for (;;) {
    platform::Event& cancel = Port().CancelEvent();
    // The order decides which task runs first when several are set.
    platform::Event* const events[] = {&readAll_, &writeAll_, &writeChanged_, &compare_, &init_,
                                       &cancel,   &readOne_,  &writeOne_};
    const int index = platform::Event::WaitAny(events, platform::Event::kInfinite);
    if (index < 0) continue;
    if (events[index] == &cancel) return;

    std::lock_guard lock(App().exchangeLock);
    bool opened = false;
    if (!Port().IsOpen()) opened = OpenSerialPort() == 0;
    ObjectWithParameters* element = pending_.exchange(nullptr);
    platform::Event* woke = events[index];

    if (woke == &readOne_ || woke == &writeOne_) {
      if (woke == &readOne_) readOne_.Reset();
      bool sendInit = false;
      if (Parameter* parameter = single_.exchange(nullptr)) {
        App().doneCount = 0;
        if (woke == &readOne_) {
          ReadParameter(*parameter, 1);
        } else {
          const model::DeviceModelHooks* model = model::CurrentDeviceModel();
          sendInit = WriteParameter(*parameter, 1) == 0 && model != nullptr && model->NeedsInitAfterWrite();
        }
      }
      FinishTask(sendInit);
    } else {
      woke->Reset();
      const int code = woke == &readAll_       ? kTaskReadAll
                       : woke == &writeAll_    ? kTaskWriteAll
                       : woke == &writeChanged_ ? kTaskWriteChanged
                       : woke == &compare_     ? kTaskCompare
                                               : kTaskInit;
      RunWalkTask(code, element);
    }
    if (opened) CloseSerialPort();
  }
}

void Device::RunWalkTask(int taskCode, ObjectWithParameters* element) {
  if (element == nullptr) {
    FinishTask(false);
    return;
  }
  switch (taskCode) {
    case kTaskReadAll:
      element->ReadFromDevice(*this);
      FinishTask(false);
      return;
    case kTaskCompare:
      element->CompareWithDevice(*this);
      FinishTask(false);
      return;
    default: {
      const model::WalkResult result = element->WriteToDevice(*this, WalkMode(taskCode));
      const model::DeviceModelHooks* model = model::CurrentDeviceModel();
      FinishTask(result.failed == 0 && model != nullptr && model->NeedsInitAfterWrite());
      return;
    }
  }
}

int Device::StopThreads() {
  platform::Event& cancel = Port().CancelEvent();
  cancel.Set();
  abort_.Set();
  if (scanThread_.joinable()) scanThread_.join();
  if (transmit_.joinable()) transmit_.join();
  cancel.Reset();
  // The abort stopped the walk that ran; it must not stop the next one.
  abort_.Reset();
  // Unless the run is ending (looked at after the reset, which may have undone it).
  if (stoppedForExit_) StopForExit();
  return 1;
}

// ---------------------------------------------------------------- tasks

void Device::EndEditing() {
  if (exchange::TaskWindow* window = exchange::CurrentTaskWindow()) window->EndEditing();
}

int Device::WalkMode(int taskCode) {
  return taskCode == kTaskWriteChanged ? 0 : taskCode == kTaskInit ? -1 : 1;
}

bool Device::StartTask(int taskCode, ObjectWithParameters* element, Parameter* parameter) {
  EndEditing();
  const bool write = taskCode == kTaskWriteAll || taskCode == kTaskWriteChanged || taskCode == kTaskWriteOne;
  if (write && !PassesWriteGate(element != nullptr ? exchange::WriteTaskOf(*element, WalkMode(taskCode))
                                                   : exchange::WriteTaskOf(*parameter, parameter->value, moduleNetwork)))
    return false;
  pending_ = element;
  single_ = parameter;
  App().totalCount = element != nullptr ? CountTaskParameters(*element, WalkMode(taskCode)) : 0;
  App().doneCount = 0;
  // Time-outs of an earlier task or a single write do not shorten this one.
  App().consecutiveTimeOuts = 0;
  exchange::TaskWindow* window = exchange::CurrentTaskWindow();
  const bool ran = window != nullptr && StartTransmitThread() &&
                   window->RunTaskDialog(*this, taskCode, TaskCaptionId(taskCode), App().totalCount);
  if (!ran) {
    pending_ = nullptr;
    single_ = nullptr;
  }
  return ran;
}

bool Device::StartReadTask(ObjectWithParameters& element) { return StartTask(kTaskReadAll, &element, nullptr); }

bool Device::PassesWriteGate(const exchange::WriteTask& task) {
  if (exchange::PassWriteGate(task)) return true;
  // A batch run ends with the refusal; nothing waits for a task that never ran.
  if (App().batchRun)
    if (platform::Event* done = App().batchDoneEvent.load()) done->Set();
  return false;
}

bool Device::StartWriteTask(ObjectWithParameters& element) { return StartTask(kTaskWriteAll, &element, nullptr); }

bool Device::StartWriteChangedTask(ObjectWithParameters& element) {
  return StartTask(kTaskWriteChanged, &element, nullptr);
}

bool Device::StartCompareTask(ObjectWithParameters& element) {
  {
    std::lock_guard lock(differencesLock_);
    differenceCount_ = 0;
    differencesText_.clear();
  }
  if (!StartTask(kTaskCompare, &element, nullptr)) return false;

  std::string text;
  {
    std::lock_guard lock(differencesLock_);
    if (differenceCount_ > 0) {
      text = Format("%s: %i", LoadString(kStrDifferences).c_str(), differenceCount_);
      if (differenceCount_ > kListedDifferences) text += LoadString(kStrFirstTenOnly);
      text += ":\n" + differencesText_;
    } else {
      text = LoadString(kStrNoDifferences);
    }
  }
  platform::ShowMessage(text, LoadString(kStrCompareCaption), platform::MessageIcon::Information);
  return true;
}

int Device::StartInitTask(ObjectWithParameters& element) {
  if (fullAccess) return StartTask(kTaskInit, &element, nullptr) ? 1 : 0;
  EndEditing();
  ShowAccessLevelNotice();
  return 1;
}

bool Device::StartReadOneTask(Parameter& parameter) { return StartTask(kTaskReadOne, nullptr, &parameter); }

bool Device::StartWriteOneTask(Parameter& parameter) { return StartTask(kTaskWriteOne, nullptr, &parameter); }

void Device::OnTaskDialogCreated(int taskCode) {
  abort_.Reset();
  taskStart_ = NowSeconds();
  linesShown_ = 0;
  dialogOpen_ = true;
  switch (taskCode) {
    case kTaskReadAll: readAll_.Set(); break;
    case kTaskReadOne: readOne_.Set(); break;
    case kTaskWriteAll: writeAll_.Set(); break;
    case kTaskWriteChanged: writeChanged_.Set(); break;
    case kTaskCompare: compare_.Set(); break;
    case kTaskInit: init_.Set(); break;
    case kTaskWriteOne: writeOne_.Set(); break;
    default: break;
  }
}

void Device::OnAbortPressed() {
  abort_.Set();
  App().resultFlags = exchange::kResultAborted;
}

void Device::FinishTask(bool sendInit) {
  AddLine(std::string(), false);
  AddLine(LoadString(kStrTaskDone), true);

  // The user may close the dialog at once with the abort button.
  platform::Event& cancel = Port().CancelEvent();
  platform::Event::WaitAny({&abort_, &cancel}, finishPauseMs);

  exchange::TaskWindow* window = exchange::CurrentTaskWindow();
  if (dialogOpen_.exchange(false) && window != nullptr) window->PostEndDialog();

  if (App().networkSettingsWritten.exchange(false)) {
    if (!cancel.IsSet() && window != nullptr) window->PostApply();
  } else if (sendInit && !cancel.IsSet()) {
    // A stopping link sends nothing more: the INIT would only fail and report that.
    std::string error;
    if (!SendInitCommand(error)) PostMessageBox(LoadString(kStrInitFailed) + error);
  }

  if (App().batchRun) {
    // The save is queued before anything the done event starts.
    if (App().batchRead && window != nullptr) window->PostBatchSave();
    if (platform::Event* done = App().batchDoneEvent.load()) done->Set();
  }
  abort_.Reset();
}

bool Device::SendInitCommand(std::string& errorText) {
  Parameter init("INIT");
  init.type = "void";
  init.value.clear();
  const int result = WriteParameter(init, 1);
  errorText = init.note;
  return result == 0;
}

// ---------------------------------------------------------------- progress

void Device::AddProgressLine(const std::string& text) { AddLine(text, false); }

void Device::AddLine(const std::string& text, bool scrollToEnd) {
  if (!dialogOpen_) return;
  exchange::TaskWindow* window = exchange::CurrentTaskWindow();
  if (window == nullptr) return;
  exchange::ProgressLine line;
  line.text = CutToCharacters(text, kLineCharacters);
  line.scrollToEnd = scrollToEnd || ++linesShown_ % 5 == 0;
  const int64_t seconds = std::max<int64_t>(NowSeconds() - taskStart_.load(), 0);
  line.elapsed = Format("%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                        static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  const int total = App().totalCount;
  if (total != 0) {
    line.done = App().doneCount;
    line.counts = Format(LoadString(kStrCounts).c_str(), line.done, total);
  }
  window->PostProgressLine(std::move(line));
}

void Device::StepProgress() { ++App().doneCount; }

bool Device::IsAbortSet() {
  return abort_.IsSet() || Port().CancelEvent().IsSet() || model::WalkScope::CurrentWalkStopped();
}

void Device::PostMessageBox(const std::string& text) {
  platform::MessageRequest request;
  request.text = text;
  request.icon = platform::MessageIcon::Error;
  request.ownedByMainWindow = true;
  if (exchange::TaskWindow* window = exchange::CurrentTaskWindow())
    window->PostMessageBox(std::move(request));
  else
    platform::CurrentPrompter().Show(request);
}

// ---------------------------------------------------------------- one parameter

void Device::LogFailure(const Parameter& parameter, bool write, int result) {
  if (parameter.note.empty()) return;
  App().ReportFailureLine(NameWithIndex(parameter) + " - " + parameter.note);
  // A failure the run logs never lets it end as a success. The frame sets the
  // flags for what came back on the line; what it left to the exchange (a reply it
  // could not decode, a value of the configuration it could not encode) is set here.
  if (App().ExitCode()) return;
  const bool valueNotSent = write && (result == kValueRefused || result == kValueNotEncodable);
  App().resultFlags |= valueNotSent ? exchange::kResultMissingConfigFile : exchange::kResultNoUsableReply;
}

int Device::ReadParameter(Parameter& parameter, int countTimeouts) {
  std::lock_guard lock(App().exchangeLock);
  ++App().doneCount;
  if (parameter.linearIndex < 0) return kNoIndex;
  const std::string text = LoadString(kStrReading) + NameWithIndex(parameter);

  const int result = ExchangeParameter(1, &parameter, nullptr, false);
  bool timeOut = false;
  if (result != 0) {
    LogFailure(parameter, false, result);
    timeOut = IsTimeOutNote(parameter.note);
  }
  if (result == 0) parameter.confirmedOnLink = App().linkSession;
  if (!timeOut) {
    App().consecutiveTimeOuts = 0;
    if (platform::EqualsNoCase(parameter.name, "Log")) {
      if (model::DeviceModelHooks* model = model::CurrentDeviceModel()) model->OnParameterEdited(parameter);
    }
  } else if (countTimeouts != 0) {
    CountTimeOut(true);
  }
  AddProgressLine(text + " = " + parameter.value);
  return result;
}

void Device::CountTimeOut(bool read) {
  const int count = ++App().consecutiveTimeOuts;
  if (count < kTimeOutLimit) return;
  App().consecutiveTimeOuts = 0;
  // The walk this runs in stops, in a task or outside one (a branch read on the
  // window thread). The abort event also ends the task's closing pause; outside a
  // task nothing would reset it, and a stale abort would end the next connection
  // attempt at once.
  model::WalkScope::StopCurrentWalk();
  const bool inTask = dialogOpen_;
  if (inTask) abort_.Set();
  std::string text;
  if (read) {
    text = Format(LoadString(kStrTimeOutLimit).c_str(), count, exchange::ModelDisplayName(App().modelIndex).c_str());
  } else {
    AddProgressLine(LoadString(kStrWriteLimit));
    App().resultFlags |= exchange::kResultExchangeError;
    text = LoadString(kStrWriteLimit) + "\n";
  }
  if (App().automaticReading.exchange(false)) text += LoadString(kStrAutoReadingOff);
  text += LoadString(kStrExchangeSuspended);
  // What the stopped task leaves undone: the values it never tried and the ones
  // that timed out. Outside a task there is no count to give.
  const int total = App().totalCount;
  if (inTask && total > 0) {
    const int undone = std::clamp(total - App().doneCount + count, 0, total);
    text += '\n';
    text += Format(LoadString(read ? kStrNotRead : kStrNotWrittenCount).c_str(), undone, total);
  }
  PostMessageBox(text);
}

int Device::WriteParameter(Parameter& parameter, int mode) {
  std::lock_guard lock(App().exchangeLock);
  ++App().doneCount;
  const std::string text = "  " + LoadString(kStrWriting) + " " + NameWithIndex(parameter);
  parameter.answerNotDecoded = false;

  const ValueText& toWrite = mode < 0 ? parameter.initialValue : parameter.value;
  if (toWrite.HasNoData()) {
    parameter.note = LoadString(kStrNotInitialised);
    return kNotInitialised;
  }
  if (parameter.linearIndex < 0) return kNoIndex;
  // Nothing is sent that the write gate refuses: a value that does not read as its
  // type, breaks its rule or cannot be encoded, an address no module may have, a
  // tree of another model than the module's.
  const std::vector<exchange::WriteRefusal> refusals =
      exchange::CheckWrite(exchange::WriteTaskOf(parameter, toWrite, moduleNetwork));
  if (!refusals.empty()) {
    parameter.note = exchange::RefusalLine(refusals.front());
    LogFailure(parameter, true, kValueRefused);
    AddProgressLine(text + " = " + toWrite + " - " + parameter.note);
    return kValueRefused;
  }
  if (mode < 0) {
    // The maker's coefficient pairs start from the full range.
    if (platform::EqualsNoCase(parameter.name, "clb.k"))
      parameter.value = parameter.linearIndex % 2 == 0 ? "0" : "4095";
    else
      parameter.value = parameter.initialValue;
  }
  const std::string written = parameter.value;

  const int result = ExchangeParameter(0, &parameter, nullptr, false);
  if (result != 0) {
    LogFailure(parameter, true, result);
  } else {
    parameter.confirmedOnLink = App().linkSession;
    const model::DeviceModelHooks* model = model::CurrentDeviceModel();
    if (model != nullptr ? model->IsNetworkParameter(parameter.name) : model::IsBaseNetworkParameter(parameter.name))
      App().networkSettingsWritten = true;
    App().consecutiveTimeOuts = 0;
  }
  AddProgressLine(text + " = " + written + " " + LoadString(kStrNewValue));
  if (result < 0 || (result != 0 && IsTimeOutNote(parameter.note))) CountTimeOut(false);
  return result;
}

int Device::CompareParameter(Parameter& parameter) {
  if (IsAbortSet()) return kAborted;
  std::lock_guard lock(App().exchangeLock);
  Parameter device(parameter.name);
  device.type = parameter.type;
  device.dot = parameter.dot;
  device.min = parameter.min;
  device.max = parameter.max;
  device.indexed = parameter.indexed;
  device.linearIndex = parameter.linearIndex;
  device.attributes = parameter.attributes;
  // A polled parameter's channel; 0 for every other.
  device.requestIndex = parameter.requestIndex;
  if (parameter.linearIndex < 0) return kNoIndex;

  const std::string text = LoadString(kStrComparing) + NameWithIndex(parameter) + "=" + parameter.value;
  const int result = ExchangeParameter(1, &device, nullptr, false);
  AddProgressLine(text + "<>" + device.value);

  if (device.value != parameter.value || device.owner != parameter.owner || device.editable != parameter.editable) {
    std::lock_guard differences(differencesLock_);
    if (++differenceCount_ <= kListedDifferences) {
      differencesText_ += Format(LoadString(kStrDifferenceEntry).c_str(), differenceCount_, parameter.name.c_str(),
                                 parameter.description.c_str(), parameter.value.c_str(),
                                 EditableText(parameter).c_str(), OwnerText(parameter).c_str(), device.value.c_str(),
                                 EditableText(device).c_str(), OwnerText(device).c_str());
    }
    parameter.note =
        LoadString(kStrDeviceValue) + " '" + device.value + "'," + EditableText(device) + OwnerText(device);
  }
  return result;
}

int Device::DifferenceCount() const {
  std::lock_guard lock(differencesLock_);
  return differenceCount_;
}

// ---------------------------------------------------------------- connecting

int Device::OpenPort(bool showMessage) {
  std::lock_guard lock(App().exchangeLock);
  const bool silent = App().silent;
  const int result = ReopenSerialPort(!silent);
  // A new connection: what the module confirmed before is no longer known to hold.
  ++App().linkSession;
  // A new line: what came back before says nothing about it.
  ResetTally();
  lastIdentify_ = -1;
  unknownDeviceId_.clear();
  if (silent) return -1;
  if (result != 0)
    App().resultFlags |= exchange::kResultPortOpenFailed;
  else
    App().resultFlags &= ~exchange::kResultPortOpenFailed;
  if (result != 0 && showMessage && !App().batchRun) {
    std::string text = Format(LoadString(kStrCannotOpenPort).c_str(), Port().portName.c_str());
    if (const std::string reason = OpenFailureReason(); !reason.empty()) text += "\n" + reason;
    platform::ShowMessage(text, LoadString(kStrPortDriverCaption), platform::MessageIcon::Error);
  }
  return result;
}

int Device::IdentifyDevice(bool showMessages) {
  std::lock_guard lock(App().exchangeLock);
  if (abort_.IsSet()) return 0;
  std::string errorText, infoText;
  int result = 0;
  const exchange::ReplyTally before = Tally();

  Parameter dev("dev");
  if (ExchangeParameter(1, &dev, nullptr, false) != 0) {
    errorText = Format("%s 'dev': \n%s\n", LoadString(kStrParameterError).c_str(), dev.note.c_str());
  } else {
    infoText = LoadString(kStrDeviceInfo) + dev.value + "\n";
    result = 2;
    const int row = exchange::FindModelByDeviceId(dev.value);
    if (row >= 0) {
      result = 3;
      int model = row;
      if (row == exchange::kVariantModelRow && !abort_.IsSet()) {
        Parameter variant("tdev");
        variant.type = "1 канал:4 канала";
        int item = 0;
        if (ReadParameter(variant, 0) == 0 && variant.FindEnumIndex(variant.value, item)) model += item;
      }
      App().modelIndex = model;
    }
  }
  lastIdentify_ = result;
  App().identifiedModel = result == 3 ? App().modelIndex.load() : -1;
  if (result == 2) unknownDeviceId_ = dev.value;
  if (abort_.IsSet()) return result;

  Parameter ver("ver");
  if (ExchangeParameter(1, &ver, nullptr, false) != 0) {
    errorText += Format("%s 'ver':\n%s\n", LoadString(kStrParameterError).c_str(), ver.note.c_str());
    App().firmwareMajor = -1;
    App().firmwareMinor = -1;
  } else {
    infoText += LoadString(kStrVersion) + ver.value + "\n";
    int major = -1, minor = -1;
    ParseFirmwareVersion(ver.value, major, minor);
    App().firmwareMajor = major;
    App().firmwareMinor = minor;
  }

  if (showMessages) {
    if (result == 0 && Port().IsOpen()) {
      // Which settings met the silence (or the garbled replies).
      exchange::ConnectAttempt attempt = AttemptWith(Tally().Since(before));
      attempt.failed = true;
      errorText += exchange::ConnectFailureReason({attempt}) + "\n";
    }
    if (!errorText.empty()) platform::ShowMessage(errorText, std::string(), platform::MessageIcon::Error);
    if (!infoText.empty()) platform::ShowMessage(infoText, std::string(), platform::MessageIcon::Information);
  }
  return result;
}

bool Device::TrySwitchBack(uint8_t selector) {
  SetConverterMode(1);
  exchange::SetProtocolSelector(selector);
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (abort_.IsSet()) return false;
    if (ExchangeParameter(1, nullptr, nullptr, false) == 0) return true;
    SetConverterMode(ConverterMode() ^ 1);
  }
  return false;
}

std::string Device::OpenFailureReason() {
  if (Port().Vanished()) return resources::LoadString(kStrPortGone);
  if (Port().IsOpen()) return {};
  const std::string path = ResolvePortPath(Port().portName);
  // A setting the line did not take is the reason before the system's code for it.
  if (Port().lastOpenRefused != Sio::OpenRefusal::None) return platform::PortSettingsRefusalReason(Port(), path);
  return platform::PortOpenFailureReason(Port().lastOpenErrno, Port().portName, path);
}

exchange::ConnectAttempt Device::AttemptWith(const exchange::ReplyTally& tally) {
  exchange::ConnectAttempt attempt;
  Sio& port = Port();
  attempt.address = port.moduleAddress;
  attempt.addressLength = port.addressLength;
  attempt.baud = port.baudRate;
  attempt.dataBits = port.dataBits;
  attempt.parityCode = port.parityCode;
  attempt.stopBits = port.stopBits;
  attempt.tally = tally;
  return attempt;
}

exchange::ConnectAttempt Device::LastAttempt() {
  std::lock_guard lock(App().exchangeLock);
  exchange::ConnectAttempt attempt = AttemptWith(Tally());
  attempt.failed = Port().IsOpen() && (lastIdentify_ == 0 || lastIdentify_ == 2);
  attempt.deviceId = unknownDeviceId_;
  return attempt;
}

bool Device::EstablishLink(bool showPortMessage) {
  std::lock_guard lock(App().exchangeLock);
  OwnFrameOnExit ownFrame;
  if (abort_.IsSet() || stoppedForExit_) return false;
  // A connection that succeeds leaves no flag of its own tries (a refused or
  // unanswered identification before the one that worked), nor of the failed
  // connections before it (the start-up's, before the user connected in the setup
  // dialog): the run's flags are those from before them.
  const uint32_t flagsBefore = App().resultFlags.load() & ~exchange::kResultPortOpenFailed;
  auto failed = [&] {
    failedTryFlags_ |= App().resultFlags.load() & ~flagsBefore;
    return false;
  };
  if (OpenPort(showPortMessage) == -1) return failed();

  int rounds = 0;
  bool keepMode = false;
  for (;;) {
    if (!keepMode) SetConverterMode(1);
    keepMode = false;
    exchange::SetProtocolSelector(exchange::kSelectorOwnFrame);
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (abort_.IsSet() || stoppedForExit_) return failed();
      const int identified = IdentifyDevice(false);
      if (identified == 3) {
        App().resultFlags = flagsBefore & ~failedTryFlags_;
        failedTryFlags_ = 0;
        return true;
      }
      if (identified == 2)
        App().resultFlags = exchange::kResultConnectFailed;  // the same converter mode once more
      else
        SetConverterMode(ConverterMode() ^ 1);
    }
    if (++rounds > 1) {
      SetConverterMode(0);
      return failed();
    }
    bool switched = false;
    for (uint8_t selector : {exchange::kSelectorModbusRtu, exchange::kSelectorModbusAscii, exchange::kSelectorPercent}) {
      if (abort_.IsSet()) return failed();
      if (TrySwitchBack(selector)) {
        switched = true;
        break;
      }
    }
    exchange::SetProtocolSelector(exchange::kSelectorOwnFrame);
    if (switched) {
      // The converter mode that reached the module stays in force.
      App().resultFlags &= ~(exchange::kResultExchangeError | exchange::kResultConnectFailed);
      keepMode = true;
    }
  }
}

// ---------------------------------------------------------------- free functions

int ReadParameter(Parameter& parameter, int countTimeouts) {
  if (Device* device = CurrentDevice()) return device->ReadParameter(parameter, countTimeouts);
  parameter.note = LoadString(kStrPortOpenError);
  return -1;
}

int WriteParameter(Parameter& parameter, int mode) {
  if (Device* device = CurrentDevice()) return device->WriteParameter(parameter, mode);
  parameter.note = LoadString(kStrPortOpenError);
  return -1;
}

int CompareParameter(Parameter& parameter) {
  if (Device* device = CurrentDevice()) return device->CompareParameter(parameter);
  parameter.note = LoadString(kStrPortOpenError);
  return -1;
}

int WriteParameterIfImmediate(Parameter& parameter) {
  const exchange::TaskWindow* window = exchange::CurrentTaskWindow();
  if (!parameter.valueChanged || window == nullptr || !window->MainWindowExists() || !App().immediateWriting)
    return Device::kNotWritten;
  parameter.note.clear();
  return WriteParameter(parameter, 1);
}

void AddProgressLine(const std::string& text) {
  if (Device* device = CurrentDevice()) device->AddProgressLine(text);
}

bool SendInitCommand(std::string& errorText) {
  if (Device* device = CurrentDevice()) return device->SendInitCommand(errorText);
  errorText = LoadString(kStrPortOpenError);
  return false;
}

void ShowAccessLevelNotice() {
  platform::ShowMessage(
      "Авторизация относится к устаревшим функциям.\nВ этой версии конфигуратора 'опасные операции'\n"
      "(инициализация прибора и доступ к специальным атрибутам)\nавтоматически доступны на максимальном уровне "
      "доступа.",
      std::string(), platform::MessageIcon::Information);
}
