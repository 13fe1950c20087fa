#pragma once
// The application: start-up in its fixed order, the one document and its
// manager (new, open, save, recent files, drops), the main window, the batch run
// with its threads, and the process's exit code. The process-wide state itself
// stays in App() (link/AppState.h), which the core reads; this object owns the
// windows, the threads and the events of the run.
#include <QApplication>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "app/CmyCommandLineInfo.h"
#include "app/DocumentViews.h"
#include "app/HtmlExport.h"
#include "app/NamedExitEvent.h"
#include "app/RecentFileList.h"
#include "app/ui/CHeadBandDlg.h"
#include "app/ui/QtPrompter.h"
#include "app/ui/TaskWindowQt.h"
#include "platform/Event.h"

class CMainFrame;
class CPelmDoc;

class CPelmApp : public QApplication, public DocumentViews {
  Q_OBJECT

 public:
  CPelmApp(int& argc, char** argv, CmyCommandLineInfo commandLine);
  ~CPelmApp() override;

  // True: run the event loop; false: end at once (ExitInstance gives the code).
  bool InitInstance();
  // The process's exit code; saves the recent-file list in every case.
  int ExitInstance();
  // Whether the program already asked to end (the loop must not start then).
  bool QuitRequested() const { return quitRequested_; }

  CPelmDoc* Document() const { return document_.get(); }
  CMainFrame* MainFrame() const { return frame_.get(); }

  // The document manager.
  void OnFileNew();
  void OnFileOpen();
  bool OnFileSave();
  bool OnFileSaveAs();
  // Opens a file by name (menu, recent list, drop) after the model check.
  bool OpenDocumentFile(const std::string& path);
  // Asks to save a modified document: false when the user cancelled.
  bool SaveModified();
  // The end of a batch read: the document into the command line's file.
  void SaveToCommandLineFile();

  // Runs a step of the continuation after a task on the window thread, in the
  // order asked, once no command is running.
  void Continue(std::function<void()> step);

  // DocumentViews.
  void UpdateAllViews() override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void DeleteTreeRows() override;
  bool RunConnectionSetup(Device& link) override;
  void SaveModifiedBeforeModelChange(CPelmDoc& document) override;
  bool RunApplyDialog(CPelmDoc& document) override;

  // How command 32804 opens the exported page (tests replace the desktop's opener).
  htmlexport::FileOpener htmlOpener = htmlexport::OpenWithDefaultHandler;

 private:
  void ApplyCommandLine();
  // A new, empty configuration with the default title.
  bool NewDocument();
  bool OpenCommandLineFile(bool batchRun);
  bool EndStartUp();
  // A failure of the run: the flag, and the reason on standard error and in the
  // error log.
  void Fail(uint32_t flag, const std::string& reason);
  // Why a batch run found no module: the port's reason, or what the connection
  // tried and what came back.
  void ReportConnectionFailure();
  // The description store that could not give the model's tree.
  void ReportDescriptionStoreFailure();
  void CreateMainFrame();
  void WireCommands();
  void Wire(int command, std::function<void()> handler);
  void RunTreeTask(int command);
  void UpdateStateWindowTooltip();
  // The view, the model's menu items and the title after the tree was replaced.
  void ShowNewTree();
  // Runs a command that may change the model, and shows the new model's tree.
  void FollowModel(const std::function<void()>& command);
  void StartBatch();
  void BatchDoneThread();
  void ExitWatchThread();
  void OnBatchDone();
  void OnFrameClosing();
  void StopServiceThreads();
  void DrainContinuations();
  void ShowRecentFiles();

  CmyCommandLineInfo commandLine_;
  bool silentRun_ = false;
  QtPrompter prompter_;
  TaskWindowQt taskWindow_;
  CHeadBandDlg splash_;
  RecentFileList recent_;

  platform::Event exitEvent_{true, false};
  std::unique_ptr<NamedExitEvent> externalExit_;
  std::unique_ptr<platform::Event> batchDone_;
  std::thread exitWatch_;
  std::thread batchDoneThread_;
  // The exit event or a stop signal ended the run.
  std::atomic<bool> stopped_{false};

  std::string commandLineFile_;
  std::unique_ptr<CPelmDoc> document_;
  std::unique_ptr<CMainFrame> frame_;

  int commandDepth_ = 0;
  std::deque<std::function<void()>> continuations_;
  bool closing_ = false;
  bool quitRequested_ = false;
};
