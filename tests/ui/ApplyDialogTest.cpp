// The network-settings change dialog through the document's APLY command, offscreen,
// against the simulated module that answers "APLY" and switches its line.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <mutex>
#include <set>

#include "ServiceDialogTestSupport.h"
#include "app/ApplyCommand.h"
#include "app/DocumentFiles.h"
#include "app/ui/CApply.h"
#include "devices/CBaseDevice.h"
#include "link/DeviceErrors.h"
#include "resources/StringTable.h"

namespace {

using resources::LoadString;

class NoDataLengthModel : public BaseDevice::CBaseDevice {
 public:
  NoDataLengthModel() : CBaseDevice(nullptr) {}
  bool HasDataLengthParameter() const override { return false; }
};

void Click(QDialog* dialog, const QString& text) {
  for (QPushButton* button : dialog->findChildren<QPushButton*>())
    if (button->text() == text) return QTest::mouseClick(button, Qt::LeftButton);
  ADD_FAILURE() << "no button " << text.toStdString();
}

class ApplyDialogTest : public ServiceDialogTest {
 protected:
  void SetUp() override {
    ServiceDialogTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(StartModule(20));
    ASSERT_NO_FATAL_FAILURE(OpenDocument());
    ASSERT_TRUE(doc_->OnTreeTask(CPelmDoc::kCmdReadTree));
    { std::lock_guard lock(App().exchangeLock); }
    ASSERT_NE(doc_->networkBranch, nullptr);
  }

  // Writes a new network value into the module (it takes effect on APLY).
  void WriteModuleSetting(const char* name, const std::string& value) {
    Parameter* p = doc_->networkBranch->GetParameterByName(name);
    ASSERT_NE(p, nullptr) << name;
    p->SetValue(value);
    ASSERT_EQ(doc_->GetDevice()->WriteParameter(*p, 1), 0) << p->note;
  }

  Elements::NetRS485prg& Settings() { return doc_->GetDevice()->Settings(); }

  // Runs the dialog and presses OK (ticking "broadcast" first if asked); a dialog
  // that stays open after OK is cancelled. Says whether it stayed.
  bool ApplyPressingOk(bool broadcast = false) {
    bool stillOpen = false;
    WhenModal([&](QDialog* dialog) {
      if (broadcast) dialog->findChild<QCheckBox*>("broadcast")->setChecked(true);
      Click(dialog, "OK");
      stillOpen = dialog->isVisible();
      if (stillOpen) Click(dialog, "Отмена");
    });
    doc_->OnApply();
    return stillOpen;
  }
};

TEST_F(ApplyDialogTest, SummaryHasFiveOrSixLinesOrSaysWhatIsMissing) {
  Dialogs::ApplyCommand full(doc_->GetDevice(), doc_->networkBranch, nullptr);
  const std::string six = full.Summary();
  EXPECT_EQ(six, "Скорость: 115200\nДлина слова данных: " + doc_->networkBranch->GetParameterValue("LEn") +
                     "\nЧетность: " + doc_->networkBranch->GetParameterValue("PrtY") +
                     "\nКол-во стоп-бит: " + doc_->networkBranch->GetParameterValue("Sbit") +
                     "\nДлина адреса: " + doc_->networkBranch->GetParameterValue("A.Len") + "\nАдрес: 16\n");
  NoDataLengthModel model;
  const std::string five = Dialogs::ApplyCommand(doc_->GetDevice(), doc_->networkBranch, &model).Summary();
  EXPECT_EQ(std::count(five.begin(), five.end(), '\n'), 5);
  EXPECT_EQ(five.find(LoadString(kStrDataLength)), std::string::npos);
  EXPECT_EQ(Dialogs::ApplyCommand(doc_->GetDevice(), nullptr, &model).Summary(), LoadString(kStrNoNetworkElement));
  Dialogs::ApplyCommand noLink(nullptr, doc_->networkBranch, &model);
  EXPECT_EQ(noLink.Summary().rfind("Нет данных - контекст устройства не получен диалогом APLY", 0), 0u);
  sim_->ClearRequests();
  EXPECT_FALSE(noLink.Send(false));
  EXPECT_TRUE(prompter_.requests.empty());
  EXPECT_FALSE(sim_->WaitForRequests(1, 200));
}

TEST_F(ApplyDialogTest, ModuleSwitchesAndTheProgramFollows) {
  ASSERT_NO_FATAL_FAILURE(WriteModuleSetting("bPS", "57600"));
  ASSERT_NO_FATAL_FAILURE(WriteModuleSetting("Addr", "17"));
  QString summary, title;
  bool ticked = false;
  WhenModal([&](QDialog* dialog) {
    title = dialog->windowTitle();
    summary = dialog->findChild<QLabel*>("summary")->text();
    ticked = dialog->findChild<QCheckBox*>("changeSettings")->isChecked();
    Click(dialog, "OK");
  });
  sim_->ClearRequests();
  doc_->OnApply();
  EXPECT_EQ(views_.applyDialogs, 1);
  EXPECT_EQ(title, "Перевод прибора на новый режим работы");
  EXPECT_TRUE(summary.startsWith("Скорость: 57600\n")) << summary.toStdString();
  EXPECT_TRUE(summary.endsWith("Адрес: 17\n")) << summary.toStdString();
  EXPECT_TRUE(ticked);
  ASSERT_FALSE(sim_->Requests().empty());
  EXPECT_EQ(sim_->Requests()[0].name, "APLY");
  EXPECT_EQ(sim_->Requests()[0].address, 16u);
  EXPECT_EQ(sim_->CurrentLine().baud, 57600u);
  EXPECT_EQ(sim_->CurrentAddress(), 17u);
  EXPECT_EQ(Settings().GetParameterValue("bPS"), "57600");
  EXPECT_EQ(Settings().GetParameterValue("Addr"), "17");
  // The reopened port talks to the module at its new settings.
  Parameter* addr = doc_->networkBranch->GetParameterByName("Addr");
  EXPECT_EQ(doc_->GetDevice()->ReadParameter(*addr, 0), 0) << addr->note;
  EXPECT_EQ(addr->value, "17");
  EXPECT_TRUE(prompter_.requests.empty());
}

TEST_F(ApplyDialogTest, FailureKeepsTheDialogUntickedKeepsTheProgram) {
  // A port that is closed: the message, the dialog stays, nothing changes.
  doc_->GetDevice()->Port().Close();
  Settings().SetParameterValue("Sbit", "2");
  EXPECT_TRUE(ApplyPressingOk());
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(prompter_.requests[0].text, "Не удалось записать параметр APLY!\n" + LoadString(kStrPortOpenError));
  EXPECT_EQ(prompter_.requests[0].icon, platform::MessageIcon::Error);
  EXPECT_EQ(Settings().GetParameterValue("Sbit"), "2");
  Settings().SetParameterValue("Sbit", "1");
  ASSERT_EQ(doc_->GetDevice()->OpenPort(false), 0);

  // Unticked: the module switches, the program keeps its own settings.
  ASSERT_NO_FATAL_FAILURE(WriteModuleSetting("Addr", "18"));
  WhenModal([&](QDialog* dialog) {
    dialog->findChild<QCheckBox*>("changeSettings")->setChecked(false);
    Click(dialog, "OK");
  });
  sim_->ClearRequests();
  doc_->OnApply();
  ASSERT_FALSE(sim_->Requests().empty());
  EXPECT_EQ(sim_->Requests()[0].name, "APLY");
  EXPECT_EQ(sim_->CurrentAddress(), 18u);
  EXPECT_EQ(Settings().GetParameterValue("Addr"), "16");
}

// A module that refuses "APLY" is told from a line that does not answer: message
// 193 with the link's error text; the dialog stays for another try.
TEST_F(ApplyDialogTest, ARefusalIsToldFromNoAnswer) {
  constexpr uint8_t kRefused = 0x37;
  std::string refusal;
  ASSERT_TRUE(DeviceErrorText(&kRefused, 1, refusal));
  struct Case {
    z580sim::Fault fault;
    std::string why;
  } cases[] = {{z580sim::Fault::DeviceError, refusal}, {z580sim::Fault::Silence, LoadString(kStrTimeOut)}};
  for (const Case& c : cases) {
    sim_->SetFault(c.fault, -1, kRefused);
    prompter_.requests.clear();
    EXPECT_TRUE(ApplyPressingOk());
    sim_->ClearFaults();
    ASSERT_EQ(prompter_.requests.size(), 1u);
    EXPECT_EQ(prompter_.requests[0].text, "Не удалось записать параметр APLY!\n" + c.why);
    EXPECT_EQ(prompter_.requests[0].icon, platform::MessageIcon::Error);
  }
  EXPECT_EQ(sim_->CurrentAddress(), 16u);
}

TEST_F(ApplyDialogTest, BroadcastGoesOutOnceAndTheProgramFollows) {
  // Model 20 answers "APLY" to its own address; nobody answers a broadcast.
  ASSERT_NO_FATAL_FAILURE(WriteModuleSetting("bPS", "57600"));
  // The broadcast leaves the parameter's own request index as it was.
  auto* model = dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel());
  ASSERT_NE(model, nullptr);
  model->GetApplyParameter()->requestIndex = 3;
  sim_->ClearRequests();
  EXPECT_FALSE(ApplyPressingOk(true));
  EXPECT_EQ(model->GetApplyParameter()->requestIndex, 3);
  model->GetApplyParameter()->requestIndex = 0;
  ASSERT_EQ(sim_->Requests().size(), 1u);  // no retries
  EXPECT_EQ(sim_->Requests()[0].name, "APLY");
  EXPECT_EQ(sim_->Requests()[0].address, 255u);
  EXPECT_FALSE(sim_->Requests()[0].answered);
  EXPECT_TRUE(prompter_.requests.empty());
  EXPECT_EQ(sim_->CurrentLine().baud, 57600u);
  EXPECT_EQ(Settings().GetParameterValue("bPS"), "57600");
  Parameter* addr = doc_->networkBranch->GetParameterByName("Addr");
  EXPECT_EQ(doc_->GetDevice()->ReadParameter(*addr, 0), 0) << addr->note;
}

// The module refused "Addr" = 20, or 20 was typed and never written: the summary
// does not list it as new and the program keeps talking to 16, where the module
// stays; what the module did take is followed. When it took nothing, "APLY" says so
// and is not sent.
TEST_F(ApplyDialogTest, OnlyWhatTheModuleConfirmedIsListedAndFollowed) {
  for (const std::string how : {"refused", "typed", "loaded from a file"}) {
    SCOPED_TRACE(how);
    const bool refused = how == "refused";
    Parameter* addr = doc_->networkBranch->GetParameterByName("Addr");
    if (how == "loaded from a file") {
      // A file says nothing about what the module holds.
      addr->value = "20";
      const std::string path = testing::TempDir() + "/addr20.z580";
      ASSERT_TRUE(SaveDocumentFile(*doc_, path));
      ASSERT_TRUE(OpenDocumentFile(*doc_, path).becameDocument);
      addr = doc_->networkBranch->GetParameterByName("Addr");
      ASSERT_EQ(addr->value, "20");
      ASSERT_FALSE(addr->valueChanged);
    }
    ASSERT_NO_FATAL_FAILURE(WriteModuleSetting("bPS", "57600"));
    if (how == "typed" || refused) {
      ASSERT_EQ(addr->CheckAndSetValue("20", false), 1);
    }
    if (refused) {
      std::string error;
      ASSERT_TRUE(z580sim::ApplyFaultCommand(*sim_, "error 55 on Addr", &error)) << error;
      EXPECT_NE(doc_->GetDevice()->WriteParameter(*addr, 1), 0);
      EXPECT_FALSE(addr->note.empty());
    }
    QString summary;
    WhenModal([&](QDialog* dialog) {
      summary = dialog->findChild<QLabel*>("summary")->text();
      Click(dialog, "OK");
    });
    sim_->ClearRequests();
    doc_->OnApply();
    EXPECT_TRUE(summary.startsWith("Скорость: 57600\n")) << summary.toStdString();
    EXPECT_TRUE(summary.endsWith("Адрес: не записано в прибор - остается прежним\n")) << summary.toStdString();
    EXPECT_FALSE(summary.contains("20")) << summary.toStdString();
    ASSERT_FALSE(sim_->Requests().empty());
    EXPECT_EQ(sim_->Requests()[0].name, "APLY");
    EXPECT_EQ(sim_->CurrentAddress(), 16u);
    EXPECT_EQ(Settings().GetParameterValue("Addr"), "16");
    EXPECT_EQ(Settings().GetParameterValue("bPS"), "57600");
    EXPECT_EQ(doc_->GetDevice()->ReadParameter(*addr, 0), 0) << addr->note;
    EXPECT_EQ(addr->value, "16");
    EXPECT_TRUE(prompter_.requests.empty());
    sim_->ClearFaults();
  }

  for (const char* name : {"bPS", "LEn", "PrtY", "Sbit", "A.Len", "Addr"})
    if (Parameter* p = doc_->networkBranch->GetParameterByName(name)) p->valueChanged = true;
  EXPECT_EQ(Dialogs::ApplyCommand(doc_->GetDevice(), doc_->networkBranch, nullptr).Summary(), Dialogs::kNothingTaken);
  sim_->ClearRequests();
  EXPECT_TRUE(ApplyPressingOk());
  EXPECT_EQ(prompter_.Texts(), Dialogs::kNothingTaken);
  EXPECT_FALSE(sim_->WaitForRequests(1, 200));
}

// The program follows what the module confirmed only as far as the settings rules
// allow (a module with factory settings may hold 7N1): the summary names the rest.
TEST_F(ApplyDialogTest, TheProgramFollowsOnlyWhatTheSettingsRulesAllow) {
  struct Case {
    std::vector<std::pair<const char*, const char*>> module;  // confirmed by the module
    std::set<std::string> notFollowed;
  } const cases[] = {
      {{{"LEn", "7"}, {"PrtY", "Отсутствует"}, {"Sbit", "1"}}, {"LEn", "PrtY", "Sbit"}},
      {{{"LEn", "8"}, {"PrtY", "Четность"}, {"Sbit", "2"}}, {"LEn", "PrtY", "Sbit"}},
      {{{"Addr", "255"}}, {"A.Len", "Addr"}},  // the address length the module reported goes with it
      {{{"A.Len", "8"}, {"Addr", "300"}}, {"A.Len", "Addr"}},
      {{{"LEn", "7"}, {"PrtY", "Четность"}, {"Addr", "20"}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.module.back().first + std::string(" ") + c.module.back().second);
    for (const auto& [name, value] : c.module) {
      Parameter* p = doc_->networkBranch->GetParameterByName(name);
      ASSERT_NE(p, nullptr) << name;
      p->value = value;
      p->confirmedOnLink = App().linkSession;
    }
    std::set<std::string> notFollowed;
    for (const auto& f : Dialogs::ApplyCommand::SettingsToFollow(*doc_->networkBranch, &Settings()))
      if (!f.followed) notFollowed.insert(f.name);
    EXPECT_EQ(notFollowed, c.notFollowed);
    const std::string summary = Dialogs::ApplyCommand(doc_->GetDevice(), doc_->networkBranch, nullptr).Summary();
    EXPECT_EQ(summary.find("запрещено правилами сетевых параметров") != std::string::npos, !c.notFollowed.empty())
        << summary;
    ASSERT_TRUE(doc_->OnTreeTask(CPelmDoc::kCmdReadTree));
    { std::lock_guard lock(App().exchangeLock); }
  }
}

TEST_F(ApplyDialogTest, AnAddressTheFramesCannotCarryIsNotApplied) {
  // The module's settings hold 300 with 8-bit addresses (loaded from a file, say).
  doc_->networkBranch->GetParameterByName("Addr")->value = "300";
  sim_->ClearRequests();
  EXPECT_TRUE(ApplyPressingOk());
  EXPECT_EQ(prompter_.Texts(), LoadString(kStrForbiddenCombination));
  EXPECT_FALSE(sim_->WaitForRequests(1, 200));
  EXPECT_EQ(Settings().GetParameterValue("Addr"), "16");
}

}  // namespace
