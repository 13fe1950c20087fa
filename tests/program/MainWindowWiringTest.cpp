// The application object in this process with its real main window: every
// command of the menu reaches its dialog or action, the model-dependent items
// follow the model, and an offline start through the connection-setup dialog
// starts with automatic reading off.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Simulator.h"
#include "app/CPelmDoc.h"
#include "app/DocumentTestSupport.h"
#include "app/MainFrameRules.h"
#include "app/ui/CApply.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CPelmApp.h"
#include "app/ui/CSelectDeviceDlg.h"
#include "app/ui/CSetupCarrier.h"
#include "app/ui/CSinglePoint.h"
#include "app/ui/CStateInOutDlg.h"
#include "app/ui/CPelmTreeListCtrl.h"
#include "app/ui/CPelmTreeListView.h"
#include "calibration/ui/CCalibration.h"
#include "calibration/ui/CWeightTDDlg.h"
#include "controls/CSetupTableCtrl.h"
#include "devices/CalibrationLauncher.h"
#include "link/ModelTable.h"
#include "link/TaskWindow.h"
#include "support/SimModule.h"

namespace fs = std::filesystem;

namespace {

using Step = std::function<bool()>;

// Acts on the modal windows while a command runs: the front step is tried every
// 10 ms until it returns true. Message boxes that show meanwhile are answered and
// their texts kept; whatever is still open at the limit is closed, so that a
// failing test never hangs.
class ModalDriver {
 public:
  explicit ModalDriver(std::deque<Step> steps, int limitMs = 30000) : steps_(std::move(steps)) {
    clock_.start();
    QObject::connect(&timer_, &QTimer::timeout, [this, limitMs] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* box = dynamic_cast<QMessageBox*>(modal)) {
        messages.push_back(box->text().toStdString());
        box->done(QMessageBox::Ok);
        return;
      }
      if (!steps_.empty() && steps_.front()()) steps_.pop_front();
      if (clock_.elapsed() > limitMs) {
        if (modal != nullptr) stuckOn = modal->metaObject()->className();
        if (auto* dialog = dynamic_cast<QDialog*>(modal)) dialog->done(QDialog::Rejected);
        timedOut = true;
      }
    });
    timer_.start(10);
  }
  bool Done() const { return steps_.empty() && !timedOut; }

  std::vector<std::string> messages;
  bool timedOut = false;
  std::string stuckOn;  // the modal window closed at the limit

 private:
  std::deque<Step> steps_;
  QTimer timer_;
  QElapsedTimer clock_;
};

template <class Dialog>
Dialog* ModalOf() {
  return dynamic_cast<Dialog*>(QApplication::activeModalWidget());
}

// Closes the first modal dialog of the class once it shows (a dialog that stops a
// worker first closes when the worker has stopped).
template <class Dialog>
Step Close() {
  return [] {
    auto* dialog = ModalOf<Dialog>();
    if (dialog == nullptr) return false;
    dialog->reject();
    return true;
  };
}

// The two steps of the connection-setup dialog's offline choice of a model.
std::deque<Step> ChooseOffline(int model) {
  return {[] {
            auto* setup = ModalOf<PreStart::CSetupCarrier>();
            if (setup == nullptr) return false;
            // The choice runs its own loop: clicked from the event loop, not from here.
            QTimer::singleShot(0, setup->Button(PreStart::CSetupCarrier::kOffline), &QPushButton::click);
            return true;
          },
          [model] {
            auto* choice = ModalOf<CSelectDeviceDlg>();
            if (choice == nullptr) return false;
            choice->Table()->selectRow(model);
            choice->accept();
            return true;
          }};
}

class MainWindowWiringTest : public DocumentTestBase {
 protected:
  void TearDown() override {
    app_.reset();
    if (sim_) sim_->Stop();
    if (home_) ::setenv("HOME", home_->c_str(), 1);
    DocumentTestBase::TearDown();
  }

  void StartModule(int model) { ASSERT_NO_FATAL_FAILURE(testsupport::StartModuleForProgram(sim_, model)); }

  void MakeApp() {
    CmyCommandLineInfo commandLine(root_);
    app_ = std::make_unique<CPelmApp>(argc_, argv_, std::move(commandLine));
  }

  CMainFrame& Frame() { return *app_->MainFrame(); }

  // Every row's first column, depth first: what the tree shows.
  QString TreeText() {
    QString text;
    std::function<void(QTreeWidgetItem*)> add = [&](QTreeWidgetItem* item) {
      text += item->text(0) + '\n';
      for (int i = 0; i < item->childCount(); ++i) add(item->child(i));
    };
    CPelmTreeListCtrl* tree = Frame().View()->PelmTree();
    for (int i = 0; i < tree->topLevelItemCount(); ++i) add(tree->topLevelItem(i));
    return text;
  }

  bool Enabled(int command) {
    Frame().UpdateCommandStates();
    QAction* action = Frame().Action(command);
    return action != nullptr && action->isEnabled();
  }
  // How often the tare item is in the service menu, and whether it stands before
  // the calibration item.
  int TareItems() {
    int count = 0;
    const QList<QAction*> items = Frame().SubMenu(3)->actions();
    for (qsizetype i = 0; i < items.size(); ++i) {
      if (items[i]->data().toInt() != mainframe::kCmdTareWeight) continue;
      ++count;
      const int next = i + 1 < items.size() ? items[i + 1]->data().toInt() : 0;
      EXPECT_EQ(next, mainframe::kCmdCalibrate);
    }
    return count;
  }
  // Runs the command from the menu while the driver acts on its windows.
  void RunDriven(int command, std::deque<Step> steps) {
    ModalDriver driver(std::move(steps));
    ASSERT_TRUE(Enabled(command)) << command;
    Frame().Action(command)->trigger();
    std::string messages;
    for (const std::string& m : driver.messages) messages += "\n" + m;
    EXPECT_TRUE(driver.Done()) << command << " " << driver.stuckOn << messages;
  }

  int argc_ = 1;
  char name_[6] = "zt580";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<CPelmApp> app_;
  std::unique_ptr<z580sim::Simulator> sim_;
  std::optional<std::string> home_;
};

// No module: the start-up dialog's offline choice, then the connection setup of
// the menu switching between models with and without the tare item.
TEST_F(MainWindowWiringTest, OfflineStartAndPortSetupFollowTheChosenModel) {
  MakeApp();
  {
    ModalDriver driver(ChooseOffline(13));
    ASSERT_TRUE(app_->InitInstance());
    EXPECT_TRUE(driver.Done());
  }
  ASSERT_NE(app_->MainFrame(), nullptr);
  EXPECT_EQ(App().modelIndex.load(), 13);
  // The offline choice leaves automatic reading off.
  EXPECT_FALSE(App().automaticReading.load());
  EXPECT_FALSE(Frame().Action(CPelmDoc::kCmdAutomaticReading)->isChecked());
  EXPECT_NE(BaseDevice::GetCalibrationLauncher(), nullptr);
  EXPECT_EQ(TareItems(), 1);
  EXPECT_TRUE(Enabled(mainframe::kCmdCalibrate));
  EXPECT_FALSE(Enabled(mainframe::kCmdStateInOut));  // its values are polled in the view
  const QString model13Tree = TreeText();
  EXPECT_FALSE(model13Tree.isEmpty());

  // 111 opens the tare-weight dialog over the main window.
  ASSERT_NO_FATAL_FAILURE(RunDriven(mainframe::kCmdTareWeight, {Close<CWeightTDDlg>()}));

  // Another model without the item: its tree, its title, no tare item.
  ASSERT_NO_FATAL_FAILURE(RunDriven(mainframe::kCmdPortSetup, ChooseOffline(5)));
  EXPECT_EQ(App().modelIndex.load(), 5);
  EXPECT_EQ(TareItems(), 0);
  EXPECT_NE(TreeText(), model13Tree);
  EXPECT_NE(Frame().windowTitle().toStdString().find(exchange::ModelDisplayName(5)), std::string::npos);
  EXPECT_TRUE(Enabled(mainframe::kCmdStateInOut));  // outputs, nothing polled

  // The four-channel scale gets the item once, also after a second setup that
  // keeps the model.
  ASSERT_NO_FATAL_FAILURE(RunDriven(mainframe::kCmdPortSetup, ChooseOffline(14)));
  EXPECT_EQ(TareItems(), 1);
  ASSERT_NO_FATAL_FAILURE(RunDriven(mainframe::kCmdPortSetup, ChooseOffline(14)));
  EXPECT_EQ(TareItems(), 1);
  Frame().CloseFromProgram();
  // A run that never reached a module ends with a code, and says why.
  testing::internal::CaptureStderr();
  EXPECT_NE(app_->ExitInstance(), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("zt580: the run ends with exit code"), std::string::npos);
}

// A module silent at start-up, then connected in the setup dialog that follows:
// the failed start leaves no fault, and the run ends 0.
TEST_F(MainWindowWiringTest, AConnectionMadeInTheSetupDialogClearsTheFailedStart) {
  ASSERT_NO_FATAL_FAILURE(StartModule(19));
  std::string error;
  ASSERT_TRUE(z580sim::ApplyFaultCommand(*sim_, "silence", &error)) << error;
  MakeApp();
  {
    ModalDriver driver({[this] {
      auto* setup = ModalOf<PreStart::CSetupCarrier>();
      if (setup == nullptr) return false;
      sim_->ClearFaults();
      QTimer::singleShot(0, setup->Button(PreStart::CSetupCarrier::kConnect), &QPushButton::click);
      return true;
    }});
    ASSERT_TRUE(app_->InitInstance());
    EXPECT_TRUE(driver.Done());
  }
  EXPECT_EQ(App().modelIndex.load(), 19);
  Frame().CloseFromProgram();
  EXPECT_EQ(app_->ExitInstance(), 0);
}

// A module of model 2 (outputs, analog-output calibration): each service
// command opens its window, the page export writes its file and opens it.
TEST_F(MainWindowWiringTest, ServiceCommandsReachTheirWindows) {
  ASSERT_NO_FATAL_FAILURE(StartModule(2));
  MakeApp();
  ASSERT_TRUE(app_->InitInstance());
  ASSERT_EQ(App().modelIndex.load(), 2);
  EXPECT_EQ(TareItems(), 0);

  ASSERT_NO_FATAL_FAILURE(RunDriven(mainframe::kCmdSinglePoint, {Close<Dialogs::CSinglePoint>()}));
  ASSERT_NO_FATAL_FAILURE(RunDriven(mainframe::kCmdStateInOut, {Close<Dialogs::CStateInOutDlg>()}));
  ASSERT_NO_FATAL_FAILURE(RunDriven(CPelmDoc::kCmdApply, {Close<Dialogs::CApply>()}));
  ASSERT_NO_FATAL_FAILURE(RunDriven(mainframe::kCmdCalibrate, {Close<Dialogs::CCalibration>()}));
  {
    // The link's notice that network settings were written opens the same dialog.
    ModalDriver driver({Close<Dialogs::CApply>()});
    exchange::CurrentTaskWindow()->PostApply();
    QElapsedTimer clock;
    clock.start();
    while (!driver.Done() && clock.elapsed() < 20000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(driver.Done()) << driver.stuckOn;
  }

  // The link check finds the same model: the tree stays.
  sim_->ClearRequests();
  const QString tree = TreeText();
  {
    ModalDriver driver({});
    ASSERT_TRUE(Frame().RunCommand(CPelmDoc::kCmdCheckLink));
    ASSERT_EQ(driver.messages.size(), 1u);  // what was found
    EXPECT_EQ(driver.messages[0].rfind("Прибор: ", 0), 0u) << driver.messages[0];
  }
  bool identified = false;
  for (const auto& r : sim_->Requests()) identified = identified || r.name == "dev";
  EXPECT_TRUE(identified);
  EXPECT_EQ(TreeText(), tree);

  home_ = std::getenv("HOME") ? std::getenv("HOME") : "";
  ::setenv("HOME", root_.c_str(), 1);
  fs::path opened;
  app_->htmlOpener = [&](const fs::path& path, std::string&) {
    opened = path;
    return true;
  };
  ASSERT_TRUE(Frame().RunCommand(mainframe::kCmdExportHtml));
  EXPECT_EQ(opened, fs::path(root_) / "Documents" / "Zt580" / "parlist.html");
  EXPECT_GT(fs::exists(opened) ? fs::file_size(opened) : 0u, 100u);
  // A page that cannot be opened is said so.
  app_->htmlOpener = [](const fs::path&, std::string& error) {
    error = "no opener";
    return false;
  };
  ModalDriver driver({});
  ASSERT_TRUE(Frame().RunCommand(mainframe::kCmdExportHtml));
  ASSERT_EQ(driver.messages.size(), 1u);
  EXPECT_NE(driver.messages[0].find("no opener"), std::string::npos);
  Frame().CloseFromProgram();
}

}  // namespace
