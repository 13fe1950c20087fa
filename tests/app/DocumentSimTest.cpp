// The document end to end against the simulated module serving a model's real
// tree: connect and identify, build the tree, read, save and load back, write
// the changed values, compare, INIT, APLY in a batch run, and the closing exchange.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "SimDocumentTest.h"
#include "Simulator.h"
#include "app/ApplyCommand.h"
#include "app/DocumentFiles.h"
#include "app/SinglePointCommand.h"
#include "app/StateInOutLogic.h"
#include "app/TreeCommit.h"
#include "devices/CBaseDevice.h"
#include "link/Device.h"
#include "link/ModelTable.h"
#include "link/ResultFlags.h"
#include "model/DescriptionStore.h"
#include "resources/StringTable.h"
#include "platform/Prompter.h"
#include "support/FakeTaskWindow.h"

using resources::LoadString;

namespace {

class DocumentSimTest : public SimDocumentTest<FakeViews> {
 protected:
  // The transmit thread ends its task under the exchange lock.
  static void WaitTaskEnd() { std::lock_guard lock(App().exchangeLock); }

  bool RunTask(int command) {
    const bool ran = doc_->OnTreeTask(command);
    WaitTaskEnd();
    return ran;
  }

  std::vector<z580sim::RequestRecord> Writes() const {
    std::vector<z580sim::RequestRecord> writes;
    for (const auto& r : sim_->Requests())
      if (!r.read) writes.push_back(r);
    return writes;
  }

  // A writable enumeration parameter of the tree that the module serves, not a
  // network setting.
  Parameter* PickEnumeration() {
    Parameter* found = nullptr;
    ForEachParameter(*doc_->rootBranch, [&](Parameter& p) {
      if (found || !p.writable || p.type.find(':') == std::string::npos) return;
      if (model::IsBaseNetworkParameter(p.name) || p.note != "" || p.editable == 0) return;
      if (p.GetEnumName(1).empty()) return;
      found = &p;
    });
    return found;
  }

};

TEST_F(DocumentSimTest, WholeConfigurationCycleForModelsOfSeveralFamilies) {
  // A mains model, a discrete one, an analog-input one and the smallest tree.
  for (int model : {19, 5, 7, 22}) {
    SCOPED_TRACE(model);
    doc_.reset();
    if (sim_) sim_->Stop();
    App().Reset();
    App().SetProgramDirectory(BuiltProgramDirectory());
    ASSERT_NO_FATAL_FAILURE(StartModule(model));
    ASSERT_NO_FATAL_FAILURE(OpenDocument());
    EXPECT_EQ(App().modelIndex.load(), model);
    auto* modelObject = dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel());
    ASSERT_NE(modelObject, nullptr);
    EXPECT_EQ(modelObject->GetDocument(), doc_.get());
    EXPECT_EQ(model::CurrentDeviceModel(), App().DeviceModel());

    // Read all: every parameter of the tree gets the module's value.
    ASSERT_TRUE(RunTask(CPelmDoc::kCmdReadTree));
    int read = 0;
    ForEachParameter(*doc_->rootBranch, [&](Parameter& p) {
      EXPECT_EQ(p.note, "") << p.name;
      if (p.value != LoadString(kStrNoData)) ++read;
    });
    EXPECT_GT(read, 5);
    EXPECT_GE(views_.updates, 1);

    // Save, then load into a fresh tree of the same model.
    Parameter* changed = PickEnumeration();
    ASSERT_NE(changed, nullptr);
    if (!changed) {
      ForEachParameter(*doc_->rootBranch, [&](Parameter& p) {
        ADD_FAILURE() << p.name << " " << p.type << " w" << p.writable << " e" << int{p.editable} << " " << p.note;
      });
    }
    const std::string newValue = changed->value == changed->GetEnumName(1) ? changed->GetEnumName(0)
                                                                           : changed->GetEnumName(1);
    changed->value = newValue;
    changed->valueChanged = true;
    changed->note = "заметка";
    const std::string name = changed->name;
    const int index = changed->linearIndex;
    const std::vector<std::string> stored = Snapshot(*doc_->rootBranch);
    const std::string path = Path("module.z580");
    ASSERT_TRUE(SaveDocumentFile(*doc_, path));
    ASSERT_TRUE(doc_->OnNewDocument());
    EXPECT_NE(Snapshot(*doc_->rootBranch), stored);
    const OpenOutcome outcome = OpenDocumentFile(*doc_, path);
    ASSERT_TRUE(outcome.becameDocument);
    EXPECT_EQ(Snapshot(*doc_->rootBranch), stored);

    // Write changed: only the changed parameter reaches the module.
    changed = doc_->rootBranch->FindParameterAt(name, index);
    ASSERT_NE(changed, nullptr);
    changed->note.clear();
    sim_->ClearRequests();
    ASSERT_TRUE(RunTask(CPelmDoc::kCmdWriteChangedTree));
    std::set<std::string> written;
    for (const auto& r : Writes()) {
      // The attribute requests of a parameter carry its name after a prefix.
      const size_t colon = r.name.rfind(':');
      if (r.name != "INIT") written.insert(colon == std::string::npos ? r.name : r.name.substr(colon + 1));
    }
    EXPECT_EQ(written, std::set<std::string>{name});
    EXPECT_EQ(changed->note, "");
    EXPECT_FALSE(changed->valueChanged);

    // Compare: one value differs from the module's.
    changed->value = changed->value == changed->GetEnumName(0) ? changed->GetEnumName(1) : changed->GetEnumName(0);
    prompter_.requests.clear();
    ASSERT_TRUE(RunTask(CPelmDoc::kCmdCompareTree));
    EXPECT_EQ(doc_->GetDevice()->DifferenceCount(), 1);
    ASSERT_FALSE(prompter_.requests.empty());
    EXPECT_NE(prompter_.requests.back().text.find(name), std::string::npos);
    EXPECT_EQ(changed->note.rfind(LoadString(kStrDeviceValue), 0), 0u) << changed->note;

    // INIT after the question.
    prompter_.answer = platform::kAnswerYes;
    sim_->ClearRequests();
    doc_->OnSendInit();
    ASSERT_TRUE(sim_->WaitForRequests(1, 2000));
    EXPECT_EQ(Writes().size(), 1u);
    EXPECT_EQ(sim_->Requests()[0].name, "INIT");
    prompter_.answer = platform::kAnswerOk;

    // Closing: one read of "INIT", the result flags as they were, the model object gone.
    App().resultFlags = 0;
    sim_->ClearRequests();
    doc_->OnCloseDocument();
    ASSERT_TRUE(sim_->WaitForRequests(1, 2000));
    EXPECT_EQ(sim_->Requests()[0].name, "INIT");
    EXPECT_TRUE(sim_->Requests()[0].read);
    EXPECT_EQ(App().resultFlags.load(), 0u);
    EXPECT_EQ(App().DeviceModel(), nullptr);
    EXPECT_EQ(model::CurrentDeviceModel(), nullptr);
  }
}

// Every path that writes against every kind of value no module may get: the write
// gate refuses before the first frame (the module receives nothing at all, the
// attribute requests included) and what is shown names the value.
TEST_F(DocumentSimTest, EveryWritePathAsksTheWriteGateBeforeItsFirstFrame) {
  ASSERT_NO_FATAL_FAILURE(StartModule(19));
  ASSERT_NO_FATAL_FAILURE(OpenDocument());
  ASSERT_TRUE(RunTask(CPelmDoc::kCmdReadTree));
  std::vector<std::pair<Parameter*, std::string>> read;
  ForEachParameter(*doc_->rootBranch, [&](Parameter& p) { read.emplace_back(&p, p.value); });
  auto find = [&](const std::string& name) {
    for (auto& [p, value] : read)
      if (p->name == name) return p;
    return static_cast<Parameter*>(nullptr);
  };
  // The branch that holds a parameter.
  std::function<DescBranch*(DescBranch&, const Parameter*)> owner = [&](DescBranch& b, const Parameter* p) {
    for (const auto& q : b.parameters)
      if (q.get() == p) return &b;
    for (auto& child : b.children)
      if (DescBranch* found = owner(*child, p)) return found;
    return static_cast<DescBranch*>(nullptr);
  };
  struct Kind {
    const char* what;
    std::vector<std::pair<const char*, const char*>> values;  // the tree's; the last one is written alone
    std::string named;                                        // a piece of what is shown
    int identified = 19;                                      // the module on the line
    bool refused = true;
  } const kinds[] = {
      {"a value it takes", {{"Av.t", "30"}}, "", 19, false},
      {"another model's tree", {{"Av.t", "30"}}, exchange::ModelDisplayName(5), 5},
      {"junk", {{"Av.t", "x7q"}}, "x7q"},
      {"out of rule", {{"Av.t", "61"}}, "61"},
      {"beyond 16 bits", {{"Av.t", "65536"}}, "65536"},
      {"address 255", {{"Addr", "255"}}, "255"},
      {"address 300, 8 bits", {{"A.Len", "8"}, {"Addr", "300"}}, "300"},
      {"7N1", {{"PrtY", "Отсутствует"}, {"Sbit", "1"}, {"LEn", "7"}}, "Отсутствует"},
      {"8E2", {{"PrtY", "Четность"}, {"LEn", "8"}, {"Sbit", "2"}}, "Четность"},
  };
  DeviceEditLink cell(doc_->GetDevice());
  Dialogs::SinglePointCommand single(doc_->descParameters, doc_->GetDevice());
  struct Path {
    const char* what;
    std::function<std::string(Parameter&, const std::string&)> write;  // what is shown
  } const paths[] = {
      {"write all", [&](Parameter&, const std::string&) { RunTask(CPelmDoc::kCmdWriteTree); return prompter_.Texts(); }},
      {"write changed",
       [&](Parameter&, const std::string&) { RunTask(CPelmDoc::kCmdWriteChangedTree); return prompter_.Texts(); }},
      {"branch write",
       [&](Parameter& p, const std::string&) {
         doc_->selected = owner(*doc_->rootBranch, &p);
         RunTask(CPelmDoc::kCmdWriteBranch);
         return prompter_.Texts();
       }},
      {"write one",
       [&](Parameter& p, const std::string&) {
         doc_->GetDevice()->StartWriteOneTask(p);
         WaitTaskEnd();
         return prompter_.Texts();
       }},
      {"tree cell", [&](Parameter& p, const std::string&) { return cell.WriteParameter(p) != 0 ? p.note : ""; }},
      {"state window",
       [&](Parameter& p, const std::string& text) {
         Dialogs::WriteEditedOutput(p, text, *doc_->GetDevice(), nullptr, nullptr);
         return prompter_.Texts();
       }},
      {"single-parameter dialog",
       [&](Parameter& p, const std::string& text) {
         Dialogs::SinglePointFields fields;
         fields.command = p.name;
         fields.operation = 1;
         fields.valueText = text;
         std::string shown;
         for (const std::string& line : single.Execute(fields)) shown += line + "\n";
         return shown;
       }},
  };
  for (const Kind& kind : kinds) {
    for (const Path& path : paths) {
      SCOPED_TRACE(std::string(kind.what) + " / " + path.what);
      for (auto& [p, value] : read) {
        p->value = value;
        p->valueChanged = false;
      }
      Parameter* lone = nullptr;
      for (const auto& [name, value] : kind.values) {
        lone = find(name);
        ASSERT_NE(lone, nullptr) << name;
        lone->value = value;
        lone->valueChanged = true;
      }
      App().identifiedModel = kind.identified;
      prompter_.requests.clear();
      sim_->ClearRequests();
      const std::string shown = path.write(*lone, kind.values.back().second);
      App().identifiedModel = 19;
      if (!kind.refused) {
        EXPECT_FALSE(sim_->Requests().empty()) << shown;
        continue;
      }
      EXPECT_TRUE(sim_->Requests().empty()) << sim_->Requests().size() << " frames, the first " << sim_->Requests()[0].name;
      EXPECT_NE(shown.find(kind.named), std::string::npos) << shown;
    }
  }
  // Nor does "APLY" reach a module of another model, to its address or as a broadcast.
  App().identifiedModel = 5;
  auto* model = dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel());
  for (const bool broadcast : {false, true}) {
    sim_->ClearRequests();
    prompter_.requests.clear();
    EXPECT_FALSE(Dialogs::ApplyCommand(doc_->GetDevice(), doc_->networkBranch, model).Send(broadcast));
    EXPECT_TRUE(sim_->Requests().empty()) << broadcast;
    EXPECT_NE(prompter_.Texts().find(exchange::ModelDisplayName(5)), std::string::npos) << prompter_.Texts();
  }
  App().identifiedModel = 19;
  // The module holds what it had but the value it took, and the program talks to it where it was.
  for (auto& [p, value] : read) p->value = value;
  find("Av.t")->value = "30";
  ASSERT_TRUE(RunTask(CPelmDoc::kCmdCompareTree));
  EXPECT_EQ(doc_->GetDevice()->DifferenceCount(), 0);
  EXPECT_EQ(sim_->CurrentAddress(), 16u);
}

TEST_F(DocumentSimTest, ClosingExchangeKeepsTheResultFlagsAndNeedsAnOpenPort) {
  ASSERT_NO_FATAL_FAILURE(StartModule(22));
  ASSERT_NO_FATAL_FAILURE(OpenDocument());
  // A module that stopped answering: the closing read fails, the run's outcome stays.
  sim_->SetFault(z580sim::Fault::Silence, -1);
  App().resultFlags = 0;
  doc_->OnCloseDocument();
  EXPECT_EQ(App().resultFlags.load(), 0u);
  EXPECT_EQ(App().DeviceModel(), nullptr);

  ASSERT_TRUE(doc_->OnNewDocument());
  sim_->ClearFaults();
  doc_->GetDevice()->Port().Close();
  sim_->ClearRequests();
  doc_->OnCloseDocument();
  EXPECT_FALSE(sim_->WaitForRequests(1, 300));
}

TEST_F(DocumentSimTest, ResetToDefaultsAndCheckLink) {
  ASSERT_NO_FATAL_FAILURE(StartModule(5));
  ASSERT_NO_FATAL_FAILURE(OpenDocument());
  prompter_.answer = platform::kAnswerYes;
  sim_->ClearRequests();
  doc_->OnResetDevice();
  WaitTaskEnd();
  // Every parameter with an initial value, then INIT.
  std::set<std::string> expected;
  ForEachParameter(*doc_->rootBranch, [&](Parameter& p) {
    if (!p.initialValue.empty()) expected.insert(p.name);
  });
  ASSERT_FALSE(expected.empty());
  const std::vector<z580sim::RequestRecord> writes = Writes();
  ASSERT_FALSE(writes.empty());
  EXPECT_EQ(writes.back().name, "INIT");
  std::set<std::string> written;
  for (const auto& r : writes)
    if (r.name != "INIT" && r.name.find(':') == std::string::npos) written.insert(r.name);
  EXPECT_EQ(written, expected);

  // The check of the link identifies the module again and says what it found.
  prompter_.requests.clear();
  doc_->OnCheckLink();
  ASSERT_FALSE(prompter_.requests.empty());
  EXPECT_EQ(prompter_.requests.back().icon, platform::MessageIcon::Information);
  EXPECT_EQ(App().modelIndex.load(), 5);
}

TEST_F(DocumentSimTest, ApplyInABatchRun) {
  // The model whose module answers "APLY", so that a failure can be seen.
  ASSERT_NO_FATAL_FAILURE(StartModule(20));
  exchange::BatchSettings batch;
  batch.runFlags = exchange::kRunBatch | exchange::kRunAply;
  App().SetBatch(batch);
  ASSERT_NO_FATAL_FAILURE(OpenDocument());
  ASSERT_TRUE(RunTask(CPelmDoc::kCmdReadTree));
  ASSERT_NE(doc_->networkBranch, nullptr);
  Elements::NetRS485prg& settings = doc_->GetDevice()->Settings();
  EXPECT_EQ(doc_->networkBranch->GetParameterValue("Addr"), "16");
  // The program's values that the module's take over, and one the module has no data for.
  settings.SetParameterValue("Addr", "99");
  settings.SetParameterValue("Sbit", "2");
  doc_->networkBranch->SetParameterValue("Sbit", LoadString(kStrNoData));

  sim_->ClearRequests();
  int updates = views_.updates;
  doc_->OnApply();
  ASSERT_TRUE(sim_->WaitForRequests(1, 2000));
  EXPECT_EQ(sim_->Requests()[0].name, "APLY");
  EXPECT_FALSE(sim_->Requests()[0].read);
  EXPECT_EQ(settings.GetParameterValue("Addr"), "16");
  EXPECT_EQ(settings.GetParameterValue("Sbit"), "2");
  EXPECT_EQ(views_.updates, updates + 1);
  // The port was reopened with the copied settings: the module still answers (at
  // the stop bits it holds, which the program did not follow). What it confirmed
  // before counts no more on the new connection: the tree is read again.
  settings.SetParameterValue("Sbit", "1");
  doc_->GetDevice()->OpenPort(false);
  ASSERT_TRUE(RunTask(CPelmDoc::kCmdReadTree));
  EXPECT_EQ(doc_->networkBranch->GetParameterValue("Addr"), "16");
  updates = views_.updates;

  // A failed APLY (the port is closed): its error, no update, the settings stay.
  doc_->GetDevice()->Port().Close();
  settings.SetParameterValue("Addr", "99");
  prompter_.requests.clear();
  doc_->OnApply();
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(prompter_.requests[0].icon, platform::MessageIcon::Error);
  EXPECT_EQ(prompter_.requests[0].caption, LoadString(kStrAppTitle));
  EXPECT_EQ(prompter_.requests[0].text, LoadString(kStrPortOpenError));
  EXPECT_EQ(views_.updates, updates);
  EXPECT_EQ(settings.GetParameterValue("Addr"), "99");

  // Without the switch a batch run sends nothing.
  batch.runFlags = exchange::kRunBatch;
  App().SetBatch(batch);
  sim_->ClearRequests();
  doc_->OnApply();
  EXPECT_FALSE(sim_->WaitForRequests(1, 300));
  EXPECT_EQ(views_.updates, updates + 1);
}

TEST_F(DocumentSimTest, BatchLinkSettingsAndFailedConnection) {
  ASSERT_NO_FATAL_FAILURE(StartModule(22));
  // The stored settings name a wrong address; the command line's are right.
  WriteProgramDword("address", 99);
  exchange::BatchSettings batch;
  batch.runFlags = exchange::kRunBatch | exchange::kRunLinkSettings;
  batch.address = "16";
  batch.baudRate = 115200;
  batch.parity = 3;
  App().SetBatch(batch);
  ASSERT_NO_FATAL_FAILURE(OpenDocument());
  EXPECT_EQ(App().modelIndex.load(), 22);
  EXPECT_EQ(doc_->GetDevice()->Settings().GetParameterValue("Addr"), "16");
  EXPECT_EQ(views_.setupDialogs, 0);
  doc_.reset();

  // An interactive run that cannot connect offers the setup dialog; Cancel quits.
  App().ClearBatch();
  WriteProgramDword("address", 99);
  views_.setupResult = false;
  doc_ = std::make_unique<CPelmDoc>(&views_, true);
  EXPECT_EQ(views_.setupDialogs, 1);
  EXPECT_TRUE(doc_->quitFlag);
  EXPECT_FALSE(doc_->OnNewDocument());
}

}  // namespace
