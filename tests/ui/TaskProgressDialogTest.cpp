// The progress dialog of the link's tasks, offscreen, running real tasks against
// the simulated module.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>

#include "SimLinkSettings.h"
#include "Simulator.h"
#include "app/ui/TaskProgressDialog.h"
#include "app/ui/TaskWindowQt.h"
#include "link/AppState.h"
#include "link/Device.h"
#include "link/ResultFlags.h"
#include "model/InvisibleElement.h"
#include "model/Parameter.h"
#include "resources/StringTable.h"
#include "support/SimModule.h"

namespace {

// One application for the whole run, gone before the program's exit handlers run.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { application_ = std::make_unique<QApplication>(argc_, argv_); }
  void TearDown() override { application_.reset(); }

 private:
  int argc_ = 1;
  char name_[9] = "tests_ui";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

class TaskProgressDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App().Reset();
    ASSERT_NO_FATAL_FAILURE(testsupport::StartSimModule(sim_, Config()));
    mainWindow_ = std::make_unique<QWidget>();
    window_.SetMainWindow(mainWindow_.get());
    device_ = std::make_unique<Device>();
    device_->finishPauseMs = 0;
    z580sim::MatchPortSettings(device_->Settings(), *sim_);
    ASSERT_EQ(device_->OpenPort(false), 0);
  }
  void TearDown() override {
    device_.reset();
    if (sim_) sim_->Stop();
    App().Reset();
  }
  static z580sim::SimConfig Config() {
    z580sim::SimConfig config;
    config.model = 2;
    config.line.baud = 115200;
    return config;
  }
  static std::unique_ptr<Elements::InvisibleElement> Tree(int copies) {
    auto e = std::make_unique<Elements::InvisibleElement>();
    e->elementName = "Tree";
    for (int i = 0; i < copies; ++i) {
      Parameter& type = e->AddParameter(std::make_unique<Parameter>("tYPE"));
      type.type = "a:b:c:d";
      Parameter& serial = e->AddParameter(std::make_unique<Parameter>("SEr.n"));
      serial.type = "int";
    }
    return e;
  }

  std::unique_ptr<QWidget> mainWindow_;
  TaskWindowQt window_;
  std::unique_ptr<z580sim::Simulator> sim_;
  std::unique_ptr<Device> device_;
};

TEST_F(TaskProgressDialogTest, ShowsTheLinesOfAReadTaskAndClosesAtItsEnd) {
  auto tree = Tree(1);
  QStringList lines;
  QString counts, title;
  int progress = -1;
  QObject::connect(&window_, &TaskWindowQt::dialogEnding, [&](Dialogs::TaskProgressDialog* dialog) {
    lines = dialog->Lines();
    counts = dialog->CountsText();
    progress = dialog->ProgressValue();
    title = dialog->windowTitle();
  });
  ASSERT_TRUE(device_->StartReadTask(*tree));
  { std::lock_guard lock(App().exchangeLock); }

  EXPECT_EQ(tree->parameters[0]->value, "a");
  EXPECT_EQ(tree->parameters[1]->value, "12345");
  EXPECT_EQ(title, QString::fromStdString(resources::LoadString(kStrProgressReadAll)));
  EXPECT_EQ(lines, (QStringList{"Читаем ветвь 'Tree'", "  Чтение: tYPE = a", "  Чтение: SEr.n = 12345", "",
                                QString::fromStdString(resources::LoadString(kStrTaskDone))}));
  EXPECT_EQ(counts, "2 из 2");
  EXPECT_EQ(progress, 2);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(TaskProgressDialogTest, TheAbortButtonStopsTheTaskAndTheDialogClosesAtOnce) {
  device_->finishPauseMs = 2000;
  sim_->SetReplyDelay(20);
  auto tree = Tree(20);
  QTimer clicker;
  QObject::connect(&clicker, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<Dialogs::TaskProgressDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || dialog->Lines().size() < 3) return;
    clicker.stop();
    QTest::mouseClick(dialog->findChild<QPushButton*>(), Qt::LeftButton);
  });
  clicker.start(5);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(device_->StartReadTask(*tree));
  { std::lock_guard lock(App().exchangeLock); }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1800));
  EXPECT_EQ(App().resultFlags.load(), exchange::kResultAborted);
  EXPECT_LT(sim_->Requests().size(), 40u);
  EXPECT_EQ(tree->parameters[39]->value, resources::LoadString(kStrNoData));  // never read
}

}  // namespace
