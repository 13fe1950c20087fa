#include "app/ui/CPelmApp.h"

#include <QAction>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "app/CPelmDoc.h"
#include "app/DocumentFiles.h"
#include "app/HtmlExport.h"
#include "app/MainFrameRules.h"
#include "app/ProgramFiles.h"
#include "app/ui/CAboutDlg.h"
#include "app/ui/CDrawMenuInstall.h"
#include "app/ui/QtTranslations.h"
#include "app/ui/CommandImages.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CPelmTreeListView.h"
#include "app/ui/CSetupCarrier.h"
#include "app/ui/ServiceDialogs.h"
#include "devices/CBaseDevice.h"
#include "devices/CBrand.h"
#include "calibration/ui/CalibrationLauncherQt.h"
#include "devices/CalibrationLauncher.h"
#include "devices/SplashWindow.h"
#include "link/AppState.h"
#include "link/Device.h"
#include "link/ModelTable.h"
#include "link/ResultFlags.h"
#include "platform/Archive.h"
#include "platform/CFormat.h"
#include "platform/FileBytes.h"
#include "platform/Prompter.h"
#include "platform/StopSignals.h"
#include "resources/StringTable.h"

namespace {

constexpr const char* kWindowsFailed = "Не удалось выполнить создание окон.\nПрограмме не хватает ресурсов!";
constexpr const char* kFileFilter = "Файлы конфигураций (*.z580)";
constexpr const char* kNewFileName = "Zt580";
constexpr const char* kSaveChanges = "Сохранить изменения в %s?";

void Warn(const std::string& text) {
  std::fprintf(stderr, "zt580: %s\n", text.c_str());
  std::fflush(stderr);
}

BaseDevice::CBaseDevice* CurrentModel() { return dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel()); }

// The model byte of a configuration file, none when it has none (old schemas) or
// cannot be read.
std::optional<uint8_t> FileModelByte(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!platform::ReadWholeFile(path, bytes, error)) return std::nullopt;
  platform::Archive archive = platform::Archive::Loading(bytes);
  try {
    if (archive.ReadClassTag(CPelmDoc::kClassName) != CPelmDoc::kSchema) return std::nullopt;
    return archive.ReadByte();
  } catch (const platform::ArchiveError&) {
    return std::nullopt;
  }
}

// What an exit code says, for a run whose fault no step named.
std::string ExitCodeMeaning(int code) {
  switch (code) {
    case 200: return "the run ends with exit code 200: the configuration file could not be used";
    case 201: return "the run ends with exit code 201: the serial port could not be opened";
    case 202: return "the run ends with exit code 202: the module did not answer in time";
    case 203: return "the run ends with exit code 203: no usable reply after the retries";
    case 204: return "the run ends with exit code 204: the module answered with a device error";
    case 205: return "the run ends with exit code 205: the run was aborted";
    default: return platform::Format("the run ends with exit code %i: no module was connected or identified", code);
  }
}

}  // namespace

CPelmApp::CPelmApp(int& argc, char** argv, CmyCommandLineInfo commandLine)
    : QApplication(argc, argv),
      commandLine_(std::move(commandLine)),
      silentRun_((commandLine_.batch.modeFlags & exchange::kModeSilent) != 0),
      prompter_(silentRun_) {
  setApplicationName(QStringLiteral("zt580"));
  setWindowIcon(ProgramIcon());
  InstallMenuStyle(*this);
  LoadQtTranslations(*this);
}

CPelmApp::~CPelmApp() {
  StopServiceThreads();
  BaseDevice::SetSplashWindow(nullptr);
  frame_.reset();
  document_.reset();
  BaseDevice::SetCalibrationLauncher(nullptr);
  DeleteDeviceBrand();
}

// ---------------------------------------------------------------- start-up

bool CPelmApp::InitInstance() {
  if (!silentRun_) splash_.Create(QString::fromStdString(resources::LoadString(kStrInitialising)), nullptr);
  BaseDevice::SetSplashWindow(&splash_);
  App().accessLevel = 2;
  recent_.Load();
  App().ClearBatch();
  ApplyCommandLine();
  App().SetProgramDirectory(FindDataDirectory(GetProgramDirectory("")));

  const exchange::BatchSettings batch = App().Batch();
  const bool batchRun = (batch.runFlags & exchange::kRunBatch) != 0;
  // A value the run cannot go on with: nothing is sent.
  if (!commandLine_.refusals.empty()) {
    for (const std::string& refusal : commandLine_.refusals) Fail(exchange::kResultConnectFailed, refusal);
    return EndStartUp();
  }
  // A run that asked for an exit event must be one that can be stopped by it.
  if (externalExit_ && !externalExit_->IsValid()) {
    Fail(exchange::kResultConnectFailed,
         platform::Format("cannot create the exit event \"%s\" (%s): %s", commandLine_.exitEventName.c_str(),
                          externalExit_->SystemName().c_str(),
                          std::error_code(externalExit_->Error(), std::generic_category()).message().c_str()));
    externalExit_.reset();
    return EndStartUp();
  }
  // From here on the exit event and the stop signals end the run at any step.
  exitWatch_ = std::thread([this] { ExitWatchThread(); });
  // Nothing to write from, or nowhere to read into: no connection, no window.
  if (const std::string problem = BatchFileProblem(batch, commandLineFile_); !problem.empty()) {
    Fail(exchange::kResultMissingConfigFile, problem);
    return EndStartUp();
  }
  bool openFile = false;
  std::string rememberedName;
  if (!commandLineFile_.empty() && !(batch.runFlags & exchange::kRunRead)) {
    if (FileHasContent(commandLineFile_))
      openFile = true;
    else
      rememberedName = commandLineFile_;
  }

  // The document connects to the module as it is made.
  document_ = std::make_unique<CPelmDoc>(this, true);
  if (document_->linkRefused || stopped_) return EndStartUp();
  if (batchRun && App().modelIndex < 0) ReportConnectionFailure();
  if (document_->quitFlag) return EndStartUp();
  // A batch run without its module has nothing to do; the result flags say why.
  if (batchRun && App().modelIndex < 0) return EndStartUp();

  CreateMainFrame();
  if (!frame_) {
    platform::ShowMessage(kWindowsFailed, std::string(), platform::MessageIcon::Error);
    return EndStartUp();
  }
  const bool ready = openFile ? OpenCommandLineFile(batchRun) : NewDocument();
  if (!ready && batchRun && !openFile) ReportDescriptionStoreFailure();
  if (!ready) {
    frame_.reset();
    return EndStartUp();
  }
  ShowNewTree();
  ShowRecentFiles();

  StartBatch();
  frame_->setAcceptDrops(true);
  if (!rememberedName.empty()) {
    document_->SetPathName(rememberedName);
    recent_.Add(rememberedName);
    ShowRecentFiles();
    frame_->UpdateFrameTitle();
  }
  splash_.Destroy();
  return true;
}

void CPelmApp::Fail(uint32_t flag, const std::string& reason) {
  App().resultFlags |= flag;
  App().ReportFailureLine(reason);
}

void CPelmApp::ReportConnectionFailure() {
  Device* link = document_->GetDevice();
  if (App().silent) {
    Fail(exchange::kResultConnectFailed, "a silent run does not open the port: no module is read or written");
    return;
  }
  if (link == nullptr) return;
  const uint32_t flags = App().resultFlags;
  if (flags & exchange::kResultPortOpenFailed) {
    std::string reason = link->OpenFailureReason();
    if (reason.empty()) reason = "the system gave no reason";
    Fail(exchange::kResultPortOpenFailed, "cannot open the port " + link->Port().portName + ": " + reason);
    return;
  }
  std::string reason = exchange::ConnectFailureReason({link->LastAttempt()});
  if (reason.empty()) reason = "no module was recognised";
  // Without a flag of its own the failed connection gives 206.
  Fail(App().ExitCode() ? 0 : exchange::kResultConnectFailed, "no connection to the module: " + reason);
}

void CPelmApp::ReportDescriptionStoreFailure() {
  const std::string store = App().ProgramDirectory() + "zt580.dat";
  std::error_code error;
  const std::string reason =
      std::filesystem::is_regular_file(store, error)
          ? "the model descriptions \"" + store + "\" hold no readable description of " +
                exchange::ModelDisplayName(App().modelIndex)
          : "the model descriptions \"" + store + "\" do not exist";
  Fail(exchange::kResultConnectFailed, reason);
}

void CPelmApp::ApplyCommandLine() {
  App().SetBatch(commandLine_.batch);
  // Every run tells its failures on standard error as well: a window run's exit
  // code has its reason too.
  App().failuresToStandardError = true;
  for (const std::string& warning : commandLine_.warnings) Warn(warning);
  std::string logError;
  if (!commandLine_.errorLogPath.empty() && !App().CreateErrorLog(commandLine_.errorLogPath, logError))
    Warn(logError);
  if (!commandLine_.exitEventName.empty())
    externalExit_ = std::make_unique<NamedExitEvent>(commandLine_.exitEventName);
  commandLineFile_ = commandLine_.fileName;
}

bool CPelmApp::OpenCommandLineFile(bool batchRun) {
  if (!batchRun) {
    // The user is asked about another model's file; declined or unreadable, the
    // program starts with a new configuration instead.
    const OpenOutcome outcome = ::OpenDocumentFile(*document_, commandLineFile_);
    if (outcome.becameDocument) {
      recent_.Add(commandLineFile_);
      return true;
    }
    return NewDocument();
  }
  // Nobody is there to answer: a file of another model than the module's is refused.
  const std::optional<uint8_t> modelByte = FileModelByte(commandLineFile_);
  const int fileModel = modelByte ? static_cast<int8_t>(*modelByte) : -1;
  // -1: saved without a model (the load refuses it below).
  if (fileModel >= exchange::kModelCount || fileModel < -1) {
    Fail(exchange::kResultMissingConfigFile, platform::Format("the file \"%s\" names model number %u, which no model has",
                                                              commandLineFile_.c_str(), unsigned{*modelByte}));
    return false;
  }
  if (fileModel >= 0 && fileModel != App().modelIndex) {
    Fail(exchange::kResultConnectFailed, "the file \"" + commandLineFile_ + "\" holds the configuration of " +
                                             exchange::ModelDisplayName(fileModel) + ", the module is " +
                                             exchange::ModelDisplayName(App().modelIndex));
    return false;
  }
  const DocumentLoad load = document_->OnOpenDocument(commandLineFile_);
  const std::string file = "the file \"" + commandLineFile_ + "\"";
  switch (load) {
    case DocumentLoad::Loaded:
      break;
    case DocumentLoad::Truncated:
      // A module is never left half configured: a file that ends early is refused
      // before anything is written.
      Fail(exchange::kResultMissingConfigFile, TruncatedFileLine(commandLineFile_, document_->truncatedAfter));
      return false;
    case DocumentLoad::Refused:
      Fail(exchange::kResultMissingConfigFile, file + " is of an old or unknown version, or names no known model");
      return false;
    case DocumentLoad::Broken:
      Fail(exchange::kResultMissingConfigFile, file + " is damaged: a record of it cannot be read");
      return false;
    case DocumentLoad::Unreadable: {
      std::vector<uint8_t> bytes;
      std::string error;
      platform::ReadWholeFile(commandLineFile_, bytes, error);
      Fail(exchange::kResultMissingConfigFile, file + " cannot be read: " + error);
      return false;
    }
    case DocumentLoad::NoTree:
      ReportDescriptionStoreFailure();
      return false;
  }
  // A write never leaves the module half configured: every value is checked
  // before the first frame.
  if ((App().Batch().runFlags & exchange::kRunWrite) && document_->rootBranch != nullptr) {
    const std::vector<std::string> problems = BatchWriteValueProblems(*document_->rootBranch, commandLineFile_);
    for (const std::string& problem : problems) Fail(exchange::kResultMissingConfigFile, problem);
    if (!problems.empty()) return false;
    // Bytes after the last record the tree takes are no part of a configuration
    // the program saved: something was appended, or files were joined.
    if (document_->trailingBytes > 0) {
      Fail(exchange::kResultMissingConfigFile,
           platform::Format("%s holds %zu bytes after its last record: it is not one configuration", file.c_str(),
                            document_->trailingBytes));
      return false;
    }
  }
  document_->SetPathName(commandLineFile_);
  recent_.Add(commandLineFile_);
  return true;
}

bool CPelmApp::EndStartUp() {
  splash_.Destroy();
  const exchange::BatchSettings batch = App().Batch();
  const bool batchRun = (batch.runFlags & exchange::kRunBatch) != 0;
  const bool testedWell = (batch.modeFlags & exchange::kModeTest) && App().modelIndex >= 0;
  // A batch run that did nothing never reports success.
  if (batchRun && !App().ExitCode() && !testedWell) Fail(exchange::kResultConnectFailed, "the run ended before its task");
  return false;
}

void CPelmApp::CreateMainFrame() {
  CMainFrame::Hooks hooks;
  hooks.canClose = [this] { return SaveModified(); };
  hooks.closing = [this] { OnFrameClosing(); };
  hooks.openDropped = [this](const std::string& path) {
    if (SaveModified()) OpenDocumentFile(path);
  };
  hooks.busy = [this] { return commandDepth_ > 0; };
  hooks.documentTitle = [this] { return document_ ? document_->title : std::string(); };
  frame_ = std::make_unique<CMainFrame>(std::move(hooks));
  frame_->SetView(new CPelmTreeListView(*document_, frame_.get()));
  prompter_.SetMainWindow(frame_.get());
  taskWindow_.SetMainWindow(frame_.get());
  taskWindow_.onApply = [this] { Continue([this] { document_->OnApply(); }); };
  taskWindow_.onBatchSave = [this] { Continue([this] { SaveToCommandLineFile(); }); };
  // The models' calibration windows open over the main window.
  RegisterCalibrationLauncher(frame_.get());
  WireCommands();
  ShowRecentFiles();
}

// ---------------------------------------------------------------- commands

void CPelmApp::Wire(int command, std::function<void()> handler) {
  frame_->SetCommandHandler(command, [this, handler = std::move(handler)] {
    ++commandDepth_;
    handler();
    --commandDepth_;
    DrainContinuations();
  });
}

void CPelmApp::WireCommands() {
  using namespace mainframe;
  CMainFrame& f = *frame_;
  Wire(kCmdNew, [this] { OnFileNew(); });
  Wire(kCmdOpen, [this] { OnFileOpen(); });
  Wire(kCmdSave, [this] { OnFileSave(); });
  Wire(kCmdSaveAs, [this] { OnFileSaveAs(); });
  for (int i = 0; i < kRecentFileCount; ++i) {
    Wire(kCmdRecentFile + i, [this, i] {
      if (i < static_cast<int>(recent_.Entries().size()) && SaveModified())
        OpenDocumentFile(recent_.Entries()[static_cast<size_t>(i)]);
    });
  }
  Wire(kCmdExit, [this] { QTimer::singleShot(0, frame_.get(), [this] { frame_->close(); }); });
  Wire(kCmdAbout, [this] {
    Dialogs::CAboutDlg about(frame_.get());
    about.exec();
  });
  for (int command : {CPelmDoc::kCmdReadTree, CPelmDoc::kCmdWriteTree, CPelmDoc::kCmdWriteChangedTree,
                      CPelmDoc::kCmdCompareTree, CPelmDoc::kCmdReadBranch, CPelmDoc::kCmdWriteBranch,
                      CPelmDoc::kCmdWriteChangedBranch, CPelmDoc::kCmdCompareBranch})
    Wire(command, [this, command] { RunTreeTask(command); });

  auto resettable = [] {
    const BaseDevice::CBaseDevice* model = CurrentModel();
    return model != nullptr && std::string(model->GetRuntimeClassName()) != "CZ580M07";
  };
  Wire(CPelmDoc::kCmdResetDevice, [this] { document_->OnResetDevice(); });
  f.SetCommandEnabler(CPelmDoc::kCmdResetDevice, resettable);
  Wire(CPelmDoc::kCmdSendInit, [this] { document_->OnSendInit(); });
  f.SetCommandEnabler(CPelmDoc::kCmdSendInit, resettable);
  Wire(CPelmDoc::kCmdApply, [this] { document_->OnApply(); });
  // The link check and the connection setup may find or pick another model.
  Wire(CPelmDoc::kCmdCheckLink, [this] { FollowModel([this] { document_->OnCheckLink(); }); });
  Wire(CPelmDoc::kCmdPortSetup, [this] { FollowModel([this] { document_->OnPortSetup(); }); });
  Wire(kCmdSinglePoint, [this] { RunSinglePointDialog(*document_, frame_.get()); });
  Wire(kCmdStateInOut, [this] {
    const BaseDevice::CBaseDevice* model = CurrentModel();
    if (model != nullptr && std::string(model->GetRuntimeClassName()) != "CZ580M07")
      RunStateDialog(*document_, frame_.get());
  });
  // Models with polled parameters show them in the view instead.
  f.SetCommandEnabler(kCmdStateInOut, [] {
    const BaseDevice::CBaseDevice* model = CurrentModel();
    return model != nullptr && !model->HasScanners();
  });
  Wire(kCmdExportHtml, [this] { htmlexport::ExportHtml(*document_, htmlOpener); });
  for (int command : {CPelmDoc::kCmdConverterAuto, CPelmDoc::kCmdConverterSemiAuto})
    Wire(command, [this, command] { document_->OnConverterMode(command); });
  f.SetCommandChecker(CPelmDoc::kCmdConverterAuto,
                      [this] { return document_->GetDevice() && document_->GetDevice()->ConverterMode() == 1; });
  f.SetCommandChecker(CPelmDoc::kCmdConverterSemiAuto,
                      [this] { return document_->GetDevice() && document_->GetDevice()->ConverterMode() == 0; });
  for (int command : {CPelmDoc::kCmdShowLinearIndexes, CPelmDoc::kCmdAutomaticReading, CPelmDoc::kCmdImmediateWriting,
                      CPelmDoc::kCmdNoAttributes})
    Wire(command, [this, command] { document_->OnModeCommand(command); });
  f.SetCommandChecker(CPelmDoc::kCmdShowLinearIndexes, [] { return App().showLinearIndexes.load(); });
  f.SetCommandChecker(CPelmDoc::kCmdAutomaticReading, [] { return App().automaticReading.load(); });
  f.SetCommandChecker(CPelmDoc::kCmdImmediateWriting, [] { return App().immediateWriting.load(); });
  f.SetCommandChecker(CPelmDoc::kCmdNoAttributes, [] { return App().noAttributeExchange.load(); });

  Wire(kCmdCalibrate, [this] {
    if (BaseDevice::CBaseDevice* model = CurrentModel()) model->Calibrate();
    UpdateAllViews();
  });
  f.SetCommandEnabler(kCmdCalibrate, [] { return CurrentModel() != nullptr && CurrentModel()->HasCalibration(); });
  // The model's own menu items (the tare weight of the strain-gauge models).
  Wire(kCmdTareWeight, [] {
    if (BaseDevice::CBaseDevice* model = CurrentModel()) model->OnModelCommand(kCmdTareWeight);
  });
  Wire(CPelmDoc::kCmdAccessLevel, [] { ShowAccessLevelNotice(); });
  // Problem navigation and the commands on the tree's selected branch belong to the view.
  for (int command : {kCmdPreviousProblem, kCmdNextProblem, kCmdReadBranchKey, kCmdWriteBranchKey,
                      kCmdWriteChangedBranchKey, kCmdCompareBranchKey})
    Wire(command, [this, command] { frame_->View()->OnCommand(command); });
}

void CPelmApp::RunTreeTask(int command) {
  const bool ran = document_->OnTreeTask(command);
  // A batch run whose task could not start must still end, and not as a success.
  if (!ran && App().batchRun && batchDone_) {
    Fail(exchange::kResultConnectFailed, "the task could not start");
    batchDone_->Set();
  }
}

void CPelmApp::UpdateStateWindowTooltip() {
  if (!frame_) return;
  // The model's menu items come with the view's fill of its tree; the state
  // window's button tells the model's own title.
  if (QAction* state = frame_->Action(mainframe::kCmdStateInOut)) {
    const BaseDevice::CBaseDevice* model = CurrentModel();
    const std::string prompt = model ? model->GetStateWindowTitle() : mainframe::CommandPrompt(mainframe::kCmdStateInOut);
    state->setToolTip(QString::fromStdString(mainframe::TooltipText(prompt)));
  }
}

void CPelmApp::ShowNewTree() {
  if (!frame_) return;
  UpdateAllViews();
  UpdateStateWindowTooltip();
  frame_->UpdateFrameTitle();
}

void CPelmApp::FollowModel(const std::function<void()>& command) {
  const int before = App().modelIndex;
  command();
  // The document has loaded the other model's tree.
  if (App().modelIndex != before) ShowNewTree();
  frame_->UpdateFrameTitle();
}

void CPelmApp::Continue(std::function<void()> step) {
  continuations_.push_back(std::move(step));
  DrainContinuations();
}

void CPelmApp::DrainContinuations() {
  // Steps wait for the command on the stack (a task's progress dialog) to end.
  while (commandDepth_ == 0 && !continuations_.empty() && !closing_) {
    std::function<void()> step = std::move(continuations_.front());
    continuations_.pop_front();
    ++commandDepth_;
    step();
    --commandDepth_;
  }
}

// ---------------------------------------------------------------- the batch run

void CPelmApp::StartBatch() {
  const exchange::BatchSettings batch = App().Batch();
  frame_->ApplyPlacement(mainframe::WindowPlacement(batch));
  if (batch.converterMode != 0 && document_->GetDevice())
    document_->GetDevice()->SetConverterMode(batch.converterMode == 2 ? 1 : 0);
  // "autoread", and the connection setup's offline choice (mode byte 2).
  if (batch.modeFlags & exchange::kModeAutoReadOn) App().automaticReading = true;
  if (batch.modeFlags & exchange::kModeAutoReadOff) App().automaticReading = false;
  frame_->UpdateCommandStates();
  if (batch.runFlags & exchange::kRunBatch) {
    batchDone_ = std::make_unique<platform::Event>(false, true);
    App().batchDoneEvent = batchDone_.get();
    const int first = FirstBatchCommand(batch);
    // No handler runs "calibrate": its run ends at once, as "close" does; a run
    // asked to end starts no task.
    if (first != 0 && first != mainframe::kCmdCalibrateInputs && !stopped_) {
      batchDone_->Reset();
      frame_->PostCommand(first);
    }
    batchDoneThread_ = std::thread([this] { BatchDoneThread(); });
  }
}

void CPelmApp::BatchDoneThread() {
  if (platform::Event::WaitAny({batchDone_.get(), &exitEvent_}, platform::Event::kInfinite) != 0) return;
  // The rest runs on the window thread after the task's own continuation.
  QMetaObject::invokeMethod(this, [this] { Continue([this] { OnBatchDone(); }); }, Qt::QueuedConnection);
}

void CPelmApp::OnBatchDone() {
  const exchange::BatchSettings batch = App().Batch();
  if (frame_) frame_->SetPlacementLock(false);
  App().batchDoneEvent = nullptr;
  App().ClearBatch();
  if (frame_ && (batch.runFlags & (exchange::kRunClose | exchange::kRunCalibrate))) frame_->CloseFromProgram();
}

void CPelmApp::ExitWatchThread() {
  std::string why;
  while (!exitEvent_.IsSet() && why.empty()) {
    // The named event is a semaphore, which nothing can poll: it is looked at
    // every 100 ms, the signals and the program's own end at once.
    if (const int signal = platform::WaitForStopSignal(exitEvent_, 100); signal != 0)
      why = platform::Format("%s was received: the run is aborted", signal == SIGTERM ? "SIGTERM" : "SIGINT");
    else if (externalExit_ && externalExit_->IsSet())
      why = "the exit event \"" + commandLine_.exitEventName + "\" was set: the run is aborted";
  }
  App().FlushPollResultQueue();
  if (why.empty()) return;  // the program ends on its own
  stopped_ = true;
  App().resultFlags = exchange::kResultAborted;
  App().ReportFailureLine(why);
  // Whatever the link waits for ends now: connecting, identifying, a task's exchange.
  StopLinkForExit();
  QMetaObject::invokeMethod(
      this,
      [this] {
        // At start-up no main window is there yet, but the connection setup may be.
        if (!frame_) {
          if (QWidget* modal = activeModalWidget()) modal->close();
          return;
        }
        // The window closes once its command (a task's progress dialog) has returned.
        Continue([this] {
          if (frame_) frame_->CloseFromProgram();
        });
      },
      Qt::QueuedConnection);
}

void CPelmApp::SaveToCommandLineFile() {
  const std::string file = "\"" + commandLineFile_ + "\"";
  // An aborted read keeps the file as it was rather than overwrite it with a part.
  if (stopped_ || (App().resultFlags & exchange::kResultAborted)) {
    App().ReportFailureLine("the read was aborted: " + file + " was not written");
    return;
  }
  // A read that failed never replaces the user's file with values it lacks; a new
  // file still gets what was read.
  std::error_code error;
  if (App().ExitCode() && std::filesystem::exists(commandLineFile_, error)) {
    App().ReportFailureLine(platform::Format("the read failed (exit code %i): %s was left as it was",
                                             *App().ExitCode(), file.c_str()));
    return;
  }
  std::string reason;
  if (!::SaveToCommandLineFile(*document_, commandLineFile_, &reason))
    App().ReportFailureLine("cannot save " + file + ": " + reason);
}

// ---------------------------------------------------------------- the end

void CPelmApp::OnFrameClosing() {
  if (closing_) return;
  if (document_) document_->OnCloseDocument();
  StopServiceThreads();
  closing_ = true;
  quitRequested_ = true;
  QTimer::singleShot(0, this, &QApplication::quit);
}

void CPelmApp::StopServiceThreads() {
  if (document_ && document_->GetDevice()) document_->GetDevice()->StopThreads();
  exitEvent_.Set();
  if (exitWatch_.joinable()) exitWatch_.join();
  if (batchDoneThread_.joinable()) batchDoneThread_.join();
  App().batchDoneEvent = nullptr;
}

int CPelmApp::ExitInstance() {
  StopServiceThreads();
  recent_.Save();
  if (stopped_) return *exchange::ExitCodeForResultFlags(exchange::kResultAborted);
  const std::optional<int> code = App().ExitCode();
  // A script is never left with a code and no reason (a fault no step reported).
  if (code && App().failureLines == 0) App().ReportFailureLine(ExitCodeMeaning(*code));
  return code.value_or(0);
}

// ---------------------------------------------------------------- documents

void CPelmApp::ShowRecentFiles() {
  if (frame_) frame_->SetRecentFiles(recent_.Entries());
}

bool CPelmApp::SaveModified() {
  if (!document_ || !document_->modified) return true;
  const std::string name = document_->title.empty() ? kNewFileName : document_->title;
  switch (platform::ShowMessage(platform::Format(kSaveChanges, name.c_str()), std::string(),
                                platform::MessageIcon::Warning, platform::MessageButtons::YesNoCancel)) {
    case platform::kAnswerYes: return OnFileSave();
    case platform::kAnswerNo: return true;
    default: return false;
  }
}

bool CPelmApp::NewDocument() {
  if (!document_->OnNewDocument()) return false;
  // A new configuration is named as the document manager names it until it is saved.
  document_->SetTitle(kNewFileName);
  return true;
}

void CPelmApp::OnFileNew() {
  if (!SaveModified()) return;
  NewDocument();
  ShowNewTree();
}

void CPelmApp::OnFileOpen() {
  if (!SaveModified()) return;
  const QString path = QFileDialog::getOpenFileName(frame_.get(), QStringLiteral("Открыть"), QString(),
                                                    QString::fromUtf8(kFileFilter));
  if (!path.isEmpty()) OpenDocumentFile(path.toStdString());
}

bool CPelmApp::OpenDocumentFile(const std::string& path) {
  const OpenOutcome outcome = ::OpenDocumentFile(*document_, path);
  if (outcome.becameDocument) {
    recent_.Add(path);
  } else {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) recent_.Remove(path);
  }
  ShowRecentFiles();
  ShowNewTree();
  return outcome.becameDocument;
}

bool CPelmApp::OnFileSave() {
  if (document_->pathName.empty()) return OnFileSaveAs();
  return SaveDocumentFile(*document_, document_->pathName);
}

bool CPelmApp::OnFileSaveAs() {
  const std::string suggested = document_->pathName.empty() ? std::string(kNewFileName) + ".z580" : document_->pathName;
  QString path = QFileDialog::getSaveFileName(frame_.get(), QStringLiteral("Сохранить как"),
                                              QString::fromStdString(suggested), QString::fromUtf8(kFileFilter));
  if (path.isEmpty()) return false;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".z580");
  if (!SaveDocumentFile(*document_, path.toStdString())) return false;
  recent_.Add(path.toStdString());
  ShowRecentFiles();
  frame_->UpdateFrameTitle();
  return true;
}

// ---------------------------------------------------------------- DocumentViews

void CPelmApp::UpdateAllViews() {
  if (!frame_) return;
  frame_->View()->UpdateAllViews();
  frame_->UpdateCommandStates();
}

void CPelmApp::BeginWaitCursor() {
  if (QThread::currentThread() == thread()) setOverrideCursor(QCursor(Qt::WaitCursor));
}

void CPelmApp::EndWaitCursor() {
  if (QThread::currentThread() == thread() && overrideCursor() != nullptr) restoreOverrideCursor();
}

void CPelmApp::DeleteTreeRows() {
  if (frame_) frame_->View()->DeleteTreeRows();
}

bool CPelmApp::RunConnectionSetup(Device& link) {
  splash_.Destroy();
  // At start-up there is no main window yet; command 32819 opens it over the window.
  return RunConnectionSetupDialog(link, frame_.get());
}

void CPelmApp::SaveModifiedBeforeModelChange(CPelmDoc& /*document*/) {
  // The tree is replaced whatever the answer: Cancel only means "do not save".
  SaveModified();
}

bool CPelmApp::RunApplyDialog(CPelmDoc& document) { return ::RunApplyDialog(document, frame_.get()); }
