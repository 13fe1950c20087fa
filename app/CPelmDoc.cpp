#include "app/CPelmDoc.h"

#include <filesystem>
#include <chrono>
#include <new>
#include <optional>
#include <thread>

#include "app/ApplyCommand.h"
#include "app/CmyCommandLineInfo.h"
#include "app/DocumentViews.h"
#include "devices/CBaseDevice.h"
#include "devices/CreateDeviceModel.h"
#include "devices/SplashWindow.h"
#include "link/AppState.h"
#include "link/Device.h"
#include "link/ExchangeFrame.h"
#include "link/ResultFlags.h"
#include "link/NetworkChecks.h"
#include "model/DescriptionStore.h"
#include "platform/Archive.h"
#include "platform/CFormat.h"
#include "platform/FileBytes.h"
#include "platform/Prompter.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

using platform::MessageIcon;

namespace {

constexpr const char* kStoreFileName = "zt580.dat";
constexpr const char* kBranchNotDefined = "Ветвь не определена";
// The network settings an APLY copies into the program's port settings, in order.

}  // namespace

CPelmDoc::CPelmDoc() = default;

CPelmDoc::CPelmDoc(DocumentViews* views, bool connect) : views_(views) {
  link_ = std::make_unique<Device>();
  InitServiceElements();
  WriteRegistryString("devices", "Zt580", Elements::CommonParams::kRegistrationKey);
  const exchange::BatchSettings batch = App().Batch();
  const bool batchRun = (batch.runFlags & exchange::kRunBatch) != 0;
  if (batchRun && !ApplyCommandLineLinkSettings()) {
    // An address no request may go to: nothing is sent, the run ends.
    linkRefused = true;
    return;
  }
  const bool linked = connect && link_->EstablishLink();
  // The command line's link values are kept only when a module answered with them:
  // a value the port refused, or one no module answered, would fail every later run.
  if (!linked) ForgetCommandLineLinkSettings();
  if (connect && !linked && !link_->StoppedForExit() && !batchRun && views_ != nullptr) {
    if (BaseDevice::SplashWindow* splash = BaseDevice::CurrentSplashWindow()) splash->Destroy();
    if (!views_->RunConnectionSetup(*link_)) quitFlag = true;
  }
  // A run asked to end while it connected asks nobody anything more.
  if ((batch.modeFlags & exchange::kModeTest) || link_->StoppedForExit()) quitFlag = true;
}

CPelmDoc::~CPelmDoc() {
  // The windows are gone (or going) by now: nothing of them is touched from here on.
  views_ = nullptr;
  if (link_) link_->StopThreads();
  ClearContents();
}

void CPelmDoc::DropDeviceModel() {
  // Only this document's: a parser's document never takes the program's model.
  if (auto* model = dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel());
      model != nullptr && model->GetDocument() == this)
    App().SetDeviceModel(nullptr);
}

// ---------------------------------------------------------------- the document

namespace {

void ShowFileMessage(int textId) {
  platform::ShowMessage(resources::LoadString(textId), resources::LoadString(kStrOpenFileCaption),
                        MessageIcon::Warning, platform::MessageButtons::Ok, true);
}

// A schema-5 header whose model byte names no row of the model table.
bool HasBadModelByte(const std::vector<uint8_t>& bytes) {
  platform::Archive archive = platform::Archive::Loading(bytes);
  try {
    if (archive.ReadClassTag(CPelmDoc::kClassName) != CPelmDoc::kSchema) return false;
    return DescriptionStreamName(static_cast<int8_t>(archive.ReadByte())) == nullptr;
  } catch (const platform::ArchiveError&) {
    return false;
  }
}

}  // namespace

model::LinkOps* CPelmDoc::GetLink() { return link_.get(); }

void CPelmDoc::UpdateAllViews() {
  if (views_) views_->UpdateAllViews();
}

void CPelmDoc::BeginWaitCursor() {
  if (views_) views_->BeginWaitCursor();
}

void CPelmDoc::EndWaitCursor() {
  if (views_) views_->EndWaitCursor();
}

int CPelmDoc::StartInitTask() {
  if (!link_ || !rootBranch) return 0;
  return link_->StartInitTask(*rootBranch);
}

void CPelmDoc::InitServiceElements() {
  // The link's own settings element read the stored port settings (and listed the
  // computer's ports) as the link was made, just before: reading them again would
  // only repeat the same file reads and the same port scan.
  serviceElement_.InitParameters();
}

bool CPelmDoc::ApplyCommandLineLinkSettings() {
  const exchange::BatchSettings b = App().Batch();
  if (!link_ || !(b.runFlags & exchange::kRunLinkSettings)) return true;
  Elements::NetRS485prg& settings = link_->Settings();
  if (!b.address.empty()) {
    const std::string refusal = CommandLineAddressRefusal(b, settings.GetParameterValue("A.Len"));
    if (!refusal.empty()) {
      App().resultFlags |= exchange::kResultConnectFailed;
      App().ReportFailureLine(refusal);
      return false;
    }
  }
  bool any = false;
  commandLineHeld_.clear();
  auto set = [&](const char* name, const std::string& text) {
    if (const Parameter* held = settings.GetParameterByName(name)) commandLineHeld_.emplace_back(name, held->value);
    any |= settings.SetParameterValue(name, text) != 0;
  };
  if (b.addressLength != 0) set("A.Len", platform::Format("%i", b.addressLength));
  // The address as the number it was typed as (hexadecimal and octal forms too).
  if (!b.address.empty()) set("Addr", platform::Format("%i", CommandLineAddressNumber(b.address).value_or(0)));
  if (b.baudRate != 0) set("bPS", platform::Format("%i", static_cast<int>(b.baudRate)));
  if (b.dataLength != 0) set("LEn", platform::Format("%i", b.dataLength));
  if (!b.stopBits.empty()) set("Sbit", b.stopBits);
  static const char* const kParity[] = {"Четность", "Нечетность", "Отсутствует"};
  if (b.parity >= 1 && b.parity <= 3) set("PrtY", kParity[b.parity - 1]);
  if (b.portNumber != 0) set("Port", platform::Format("COM%i", b.portNumber));
  if (any) link_->OpenPort(true);
  return true;
}

void CPelmDoc::ForgetCommandLineLinkSettings() {
  if (!link_) return;
  for (const auto& [name, value] : commandLineHeld_) link_->Settings().SetParameterValue(name, value);
  commandLineHeld_.clear();
}

std::string CommandLineAddressRefusal(const exchange::BatchSettings& batch, const std::string& heldAddressLength) {
  const std::optional<int> address = CommandLineAddressNumber(batch.address);
  if (!address) return platform::Format("\"/addr:%s\": not a number", batch.address.c_str());
  const int addressLength = batch.addressLength != 0 ? batch.addressLength : platform::Atoi(heldAddressLength);
  const exchange::FrameAddressing addressing{addressLength == 11 ? 11 : 8, *address, 0};
  switch (exchange::CheckRequestAddress(addressing)) {
    case exchange::AddressFault::None: return {};
    case exchange::AddressFault::Negative:
      return platform::Format("\"/addr:%s\": an address is not negative", batch.address.c_str());
    case exchange::AddressFault::BeyondAddressing:
      // The rule of the network settings: above 255 only with 11 address bits.
      return addressing.addressLength == 8
                 ? platform::Format("\"/addr:%s\": an address above 255 needs an address length of 11 bits",
                                    batch.address.c_str())
                 : platform::Format("\"/addr:%s\": an address is at most 2047", batch.address.c_str());
    case exchange::AddressFault::Broadcast:
      return platform::Format("\"/addr:%s\": 255 is the broadcast address, which no module answers",
                              batch.address.c_str());
  }
  return {};
}

void CPelmDoc::RegisterBranch(DescBranch* branch) {
  if (!branch) return;
  for (auto& child : branch->children) RegisterBranch(child.get());
  treeList.push_back(branch);
}

void CPelmDoc::ClearContents() {
  // The polling thread and the queued poll records point into the tree that goes.
  if (link_) link_->StopScanThread();
  App().pollResults.NewGeneration();
  // The device-model object belongs to the tree: it caches the tree's parameters
  // and its commands act on them. Whatever replaces the tree makes a new one; a
  // load that fails leaves none, so no command of the old model stays enabled.
  DropDeviceModel();
  selected = nullptr;
  treeList.clear();
  ClearDescriptions();
  if (link_) link_->moduleNetwork = nullptr;
  if (views_) views_->DeleteTreeRows();
}

bool CPelmDoc::LoadTree() {
  const int index = App().modelIndex;
  const char* stream = DescriptionStreamName(index);
  if (!stream) return false;

  const bool loaded =
      LoadTreeFromStore(App().ProgramDirectory() + kStoreFileName, stream, App().firmwareMajor, App().firmwareMinor);
  // The write gate judges a task on the network branch of the tree the module's model has.
  if (link_) link_->moduleNetwork = networkBranch;
  if (!loaded) return false;

  BeginWaitCursor();
  App().SetDeviceModel(nullptr);
  App().SetDeviceModel(CreateDeviceModel(static_cast<signed char>(index), this));
  EndWaitCursor();
  return true;
}

bool CPelmDoc::OnNewDocument() {
  if (link_) link_->StopThreads();
  ClearContents();
  treeList.clear();
  if (quitFlag) return false;
  DeleteContents();
  pathName.clear();
  modified = false;
  if (!LoadTree()) return false;
  if (link_) {
    link_->Settings().ClearModifiedFlags();
    link_->OpenPort(true);
  }
  return true;
}

void CPelmDoc::DeleteContents() {
  if (!rootBranch) return;
  std::lock_guard lock(App().exchangeLock);
  rootBranch->ResetValues();
}

void CPelmDoc::SetTitle(const std::string& text) {
  if (text != title) title = text;
}

void CPelmDoc::SetPathName(const std::string& path) {
  pathName = path;
  SetTitle(std::filesystem::path(path).filename().string());
}

DocumentLoad CPelmDoc::OnOpenDocument(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!platform::ReadWholeFile(path, bytes, error)) {
    platform::ShowMessage(resources::LoadString(kStrReadError), std::string(), MessageIcon::Error);
    return DocumentLoad::Unreadable;
  }
  if (HasBadModelByte(bytes)) {
    // Refused before anything of the current document changes.
    ShowFileMessage(kStrDamagedData);
    return DocumentLoad::Refused;
  }
  DocumentLoad result = DocumentLoad::Unreadable;
  try {
    DeleteContents();
    modified = true;
    platform::Archive archive = platform::Archive::Loading(bytes);
    result = Serialize(archive);
    trailingBytes = result == DocumentLoad::Loaded ? bytes.size() - archive.Position() : 0;
    modified = false;
  } catch (const std::exception&) {
    platform::ShowMessage(resources::LoadString(kStrReadError), std::string(), MessageIcon::Error);
  }
  // The tree no longer holds the previous file's values: a save must not write
  // what it holds now under that file's name.
  if (!BecomesDocument(result)) {
    pathName.clear();
    title.clear();
  }
  return result;
}

bool CPelmDoc::OnSaveDocument(const std::string& path, std::string& error) {
  std::vector<uint8_t> bytes;
  {
    // The link's threads change values while they run.
    std::lock_guard lock(App().exchangeLock);
    platform::Archive archive = platform::Archive::Storing(bytes);
    Serialize(archive);
  }
  if (!platform::WriteFileAtomically(path, bytes, error)) return false;
  modified = false;
  return true;
}

DocumentLoad CPelmDoc::Serialize(platform::Archive& archive) {
  if (archive.IsStoring()) {
    archive.WriteClassTag(kClassName, kSchema);
    archive.WriteByte(static_cast<uint8_t>(static_cast<int8_t>(App().modelIndex.load())));
    if (rootBranch) rootBranch->Serialize(archive);
    return DocumentLoad::Loaded;
  }
  DocumentLoad result = DocumentLoad::Loaded;
  try {
    result = LoadFromArchive(archive);
  } catch (const platform::ArchiveError& e) {
    if (e.kind() == platform::ArchiveError::Kind::EndOfFile) {
      result = DocumentLoad::Truncated;
      truncatedAfter = archive.Position();
    } else {
      ShowFileMessage(kStrBadFormat);
      result = DocumentLoad::Broken;
    }
  } catch (const std::bad_alloc&) {
    ShowFileMessage(kStrBadFormat);
    result = DocumentLoad::Broken;
  }
  // A silent batch run never goes on with half-loaded values.
  if ((result == DocumentLoad::Truncated || result == DocumentLoad::Broken) &&
      (App().Batch().modeFlags & exchange::kModeSilent))
    RebuildFreshTree();
  return result;
}

DocumentLoad CPelmDoc::LoadFromArchive(platform::Archive& archive) {
  const uint16_t schema = archive.ReadClassTag(kClassName);
  switch (schema) {
    case 3:
      break;
    case 4:
      archive.ReadDword();
      break;
    case 5: {
      const int model = static_cast<int8_t>(archive.ReadByte());
      // Only a row of the model table can name the tree to build.
      if (DescriptionStreamName(model) == nullptr) {
        ShowFileMessage(kStrDamagedData);
        return DocumentLoad::Refused;
      }
      App().modelIndex = model;
      break;
    }
    case 1:
    case 0xFFFF:
      ShowFileMessage(kStrOldFileVersion);
      return DocumentLoad::Refused;
    default:
      ShowFileMessage(kStrDamagedData);
      return DocumentLoad::Refused;
  }
  if (link_) link_->StopThreads();
  ClearContents();
  treeList.clear();
  if (!LoadTree()) return DocumentLoad::NoTree;
  if (rootBranch) rootBranch->Serialize(archive);
  return DocumentLoad::Loaded;
}

void CPelmDoc::RebuildFreshTree() {
  if (link_) link_->StopThreads();
  ClearContents();
  treeList.clear();
  LoadTree();
}

void CPelmDoc::OnCloseDocument() {
  if (link_) {
    // No thread may still ask the device model that goes below.
    link_->StopThreads();
    if (link_->Port().IsOpen()) {
      // The closing exchange tells nothing about the run: its outcome stays out of
      // the result flags and out of the error log (its failure is no failure of the
      // run, which has ended by now).
      std::lock_guard lock(App().exchangeLock);
      const uint32_t flags = App().resultFlags;
      Parameter init("INIT");
      init.type = "void";
      init.value.clear();
      link_->ExchangeParameter(1, &init, nullptr, false);
      App().resultFlags = flags;
    }
  }
  App().SetDeviceModel(nullptr);
  DeleteContents();
}

// ---------------------------------------------------------------- commands

bool CPelmDoc::OnTreeTask(int command) {
  const bool branchCommand = command >= kCmdReadBranch && command <= kCmdCompareBranch;
  DescBranch* target = branchCommand ? dynamic_cast<DescBranch*>(selected) : rootBranch;
  if (!target) {
    platform::ShowMessage(branchCommand ? std::string(kBranchNotDefined) : resources::LoadString(kStrNoTree),
                          resources::LoadString(kStrAppTitle), MessageIcon::Error);
    return false;
  }
  if (!link_) return false;
  BeginWaitCursor();
  bool ran = false;
  switch (command) {
    case kCmdReadTree:
    case kCmdReadBranch: ran = link_->StartReadTask(*target); break;
    case kCmdWriteTree:
    case kCmdWriteBranch: ran = link_->StartWriteTask(*target); break;
    case kCmdWriteChangedTree:
    case kCmdWriteChangedBranch: ran = link_->StartWriteChangedTask(*target); break;
    case kCmdCompareTree:
    case kCmdCompareBranch: ran = link_->StartCompareTask(*target); break;
    default: break;
  }
  EndWaitCursor();
  if (ran) UpdateAllViews();
  return ran;
}

bool CPelmDoc::SendInitCommand(std::string& errorText) {
  if (!link_) return ::SendInitCommand(errorText);
  return link_->SendInitCommand(errorText);
}

void CPelmDoc::OnSendInit() {
  if (platform::ShowMessage(resources::LoadString(kStrInitQuestion), std::string(), MessageIcon::Question,
                            platform::MessageButtons::YesNo) != platform::kAnswerYes)
    return;
  std::string error;
  if (SendInitCommand(error)) {
    // The module restarts; give it the time before the next request.
    std::this_thread::sleep_for(std::chrono::milliseconds(initPauseMs));
  } else {
    platform::ShowMessage(resources::LoadString(kStrInitFailed) + error, std::string(), MessageIcon::Error);
  }
}

void CPelmDoc::CopyNetworkSettingsToProgram() {
  if (!link_ || !networkBranch) return;
  // Only what the module confirmed: a refused or unwritten value would leave the
  // program talking to another address than the module's.
  Dialogs::ApplyCommand::CopyConfirmedSettings(*networkBranch, link_->Settings());
}

void CPelmDoc::OnApply() {
  const exchange::BatchSettings batch = App().Batch();
  if (!(batch.runFlags & exchange::kRunBatch)) {
    if (views_ && views_->RunApplyDialog(*this) && networkBranch) {
      CopyNetworkSettingsToProgram();
      if (link_) link_->OpenPort(true);
    }
  } else if (batch.runFlags & exchange::kRunAply) {
    auto* model = dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel());
    Parameter* aply = model ? model->GetApplyParameter() : nullptr;
    if (aply && link_) {
      if (Dialogs::ApplyCommand(link_.get(), networkBranch, model).NothingTaken()) {
        platform::ShowMessage(Dialogs::kNothingTaken, resources::LoadString(kStrAppTitle), MessageIcon::Error);
        return;
      }
      // An address the frames cannot carry: the module must not switch to it.
      if (networkBranch && !Elements::HeldAddressFits(*networkBranch)) {
        platform::ShowMessage(resources::LoadString(kStrForbiddenCombination), resources::LoadString(kStrAppTitle),
                              MessageIcon::Error);
        return;
      }
      if (link_->WriteParameter(*aply, 1) != 0) {
        platform::ShowMessage(aply->note, resources::LoadString(kStrAppTitle), MessageIcon::Error);
        return;
      }
      CopyNetworkSettingsToProgram();
      link_->OpenPort(true);
    }
  }
  UpdateAllViews();
}

void CPelmDoc::OnModeCommand(int command) {
  AppState& app = App();
  switch (command) {
    case kCmdShowLinearIndexes:
      app.showLinearIndexes = !app.showLinearIndexes;
      UpdateAllViews();
      break;
    case kCmdAutomaticReading: app.automaticReading = !app.automaticReading; break;
    case kCmdImmediateWriting: app.immediateWriting = !app.immediateWriting; break;
    case kCmdNoAttributes:
      app.noAttributeExchange = !app.noAttributeExchange;
      if (app.noAttributeExchange)
        platform::ShowMessage(resources::LoadString(kStrNoAttributesNotice), std::string(), MessageIcon::Information);
      break;
    default: break;
  }
}

void CPelmDoc::OnConverterMode(int command) {
  if (!link_) return;
  if (command == kCmdConverterAuto) link_->SetConverterMode(1);
  if (command == kCmdConverterSemiAuto) link_->SetConverterMode(0);
}

void CPelmDoc::OnResetDevice() {
  if (auto* model = dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel())) model->ResetToDefaults();
}

void CPelmDoc::OnCheckLink() {
  const int before = App().modelIndex;
  if (link_) link_->IdentifyDevice(true);
  FollowModelChange(before);
}

void CPelmDoc::OnPortSetup() {
  const int before = App().modelIndex;
  if (link_ && views_) views_->RunConnectionSetup(*link_);
  FollowModelChange(before);
}

bool CPelmDoc::FollowModelChange(int previousModel) {
  const int model = App().modelIndex;
  if (model == previousModel || DescriptionStreamName(model) == nullptr) return false;
  if (link_) link_->StopThreads();
  if (modified && views_) {
    // The tree still is the old model's: a save now must say so in its model
    // byte, or the file would load as the new model with the old one's records.
    App().modelIndex = previousModel;
    views_->SaveModifiedBeforeModelChange(*this);
    App().modelIndex = model;
  }
  ClearContents();
  // The old file holds another model's tree: a save must not write this one there.
  pathName.clear();
  title.clear();
  modified = false;
  LoadTree();
  if (views_) views_->UpdateAllViews();
  return true;
}
