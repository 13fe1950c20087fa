// Every wizard and dialog that writes, swept against the simulated module: its
// successful path once, counting the writes the module received; then once per
// write with that write refused (an "n.Err" reply), and once with the module
// silent from its first write. A refused run shows no success, shows the link's
// text, and nothing is written after the refused frame.
#include <gtest/gtest.h>

#include <QPushButton>
#include <functional>

#include "CalibrationTestSupport.h"
#include "app/ApplyCommand.h"
#include "app/SinglePointCommand.h"
#include "app/StateInOutLogic.h"
#include "calibration/AccessCodes.h"
#include "calibration/AnalogInput.h"
#include "calibration/AnalogOutput.h"
#include "calibration/Inductance.h"
#include "calibration/SharedReading.h"
#include "calibration/StrainGauge.h"
#include "calibration/ui/CCalibrate1.h"
#include "calibration/ui/CSheetPH.h"
#include "calibration/ui/CSheetPW.h"
#include "calibration/ui/CSheetTD.h"
#include "calibration/ui/CSheetVI.h"
#include "calibration/ui/CWeightTDDlg.h"
#include "calibration/ui/CommonWizardPages.h"
#include "devices/CBaseDevice.h"
#include "devices/CDevicePW.h"
#include "link/Device.h"
#include "resources/StringTable.h"

namespace {

class WriteRefusalSweep;

// What one run of a path ends with: the success it shows, and every text shown
// on the way (boxes, trace lines, the messages a sequence returns).
struct RunResult {
  bool success = false;
  std::string shown;
};

struct SweepCase {
  const char* name;
  int model;
  std::vector<std::string> setup;  // sim commands before every run
  std::function<RunResult(WriteRefusalSweep&)> path;
  // The command that ends the module's calibration mode may follow a refusal
  // (the dialog sends it when the user gives up).
  std::string endCommand = {};
  // Writes at the end sent when the window goes, after its result was shown
  // (the dialog's last "CLB.A"): not refused in turn.
  size_t closingWrites = 0;
  // A refusal at this write names the values of its step written before it.
  size_t refusedInStep = 0;
  std::string namedWritten = {};
};

void PrintTo(const SweepCase& c, std::ostream* os) { *os << c.name; }

// The link's texts for the refusal the sweep makes and for a silent module.
const std::string kRefusedText = "Значение мантиссы превышает ограничения дескриптора";  // n.Err 6

class WriteRefusalSweep : public CalibrationSimTest, public ::testing::WithParamInterface<SweepCase> {
 public:
  // Clicks a sheet button and reports whether a box came up meanwhile.
  bool ClickShowsBox(CmySheet& sheet, int id) {
    const size_t before = prompter_.texts.size();
    sheet.Button(id)->click();
    return prompter_.texts.size() > before;
  }
  // Waits until done() or a box came up (false then, or on time-out).
  bool WaitOrBox(const std::function<bool()>& done, int ms) {
    const size_t before = prompter_.texts.size();
    return WaitUntil([&] { return done() || prompter_.texts.size() > before; }, ms) &&
           prompter_.texts.size() == before;
  }
  RunResult Finish(bool success) {
    RunResult r;
    r.success = success;
    for (const std::string& t : prompter_.texts) r.shown += t + "\n";
    return r;
  }
  CPelmDoc& doc() { return *doc_; }
  std::vector<std::string>& texts() { return prompter_.texts; }
  calibration::CalibrationLink& link() { return *link_; }
  z580sim::Simulator& sim() { return *sim_; }

  static std::vector<z580sim::RequestRecord> Writes(const std::vector<z580sim::RequestRecord>& log) {
    std::vector<z580sim::RequestRecord> out;
    for (const auto& r : log)
      if (r.decoded && !r.read) out.push_back(r);
    return out;
  }

  void Sweep(const SweepCase& c) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(Open(c.model));
    auto run = [&](const std::string& arm) {
      Fault({"clear"});
      Fault(c.setup);
      if (!arm.empty()) Fault({arm});
      if (HasFatalFailure()) return RunResult{};
      sim_->ClearRequests();
      prompter_.texts.clear();
      return c.path(*this);
    };
    const RunResult good = run("");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(good.success) << good.shown;
    const std::vector<z580sim::RequestRecord> writes = Writes(sim_->Requests());
    ASSERT_FALSE(writes.empty());
    // Refused at each write in turn, then silent from the first.
    const size_t swept = writes.size() - std::min(c.closingWrites, writes.size());
    for (size_t n = 1; n <= swept + 1; ++n) {
      const bool silent = n > swept;
      const size_t at = silent ? 1 : n;
      SCOPED_TRACE(std::string(silent ? "silent at write " : "refused at write ") + std::to_string(at) + " (" +
                   writes[at - 1].name + ")");
      const RunResult refused = run((silent ? "silence at write " : "error 6 at write ") + std::to_string(at));
      ASSERT_FALSE(HasFatalFailure());
      const std::vector<z580sim::RequestRecord> log = sim_->Requests();
      EXPECT_FALSE(refused.success) << refused.shown;
      const std::string why = silent ? resources::LoadString(kStrTimeOut) : kRefusedText;
      EXPECT_NE(refused.shown.find(why), std::string::npos) << refused.shown;
      if (!silent && at == c.refusedInStep) {
        EXPECT_NE(refused.shown.find(c.namedWritten), std::string::npos) << refused.shown;
      }
      const std::vector<z580sim::RequestRecord> sent = Writes(log);
      ASSERT_GE(sent.size(), at);
      // The same frames up to the refused one, and after it only the link's repeat of it.
      for (size_t i = 0; i < at; ++i) EXPECT_EQ(sent[i].raw, writes[i].raw) << i;
      for (size_t i = at; i < sent.size(); ++i)
        EXPECT_TRUE((silent && sent[i].raw == sent[at - 1].raw) || (!c.endCommand.empty() && sent[i].name == c.endCommand))
            << "written after the refused frame: " << sent[i].name;
    }
    ASSERT_NO_FATAL_FAILURE(Fault({"clear"}));
  }
};

// ---------------------------------------------------------------- the paths

RunResult CommonWizard(WriteRefusalSweep& t) {
  std::unique_ptr<CmySheet> sheet = MakeCommonAnalogInputWizard(&t.link(), t.doc().rootBranch, false);
  sheet->Begin();
  auto* code = sheet->FindPageByClass<CCodeBasePage>();
  code->codeEdit()->setText("619");
  sheet->Button(CmySheet::kIdNext)->click();
  code->sensorCombo()->setCurrentIndex(0);
  if (t.ClickShowsBox(*sheet, CmySheet::kIdNext) || sheet->ActiveIndex() != 1) return t.Finish(false);
  for (int step = 1; step <= 2; ++step) {
    if (t.ClickShowsBox(*sheet, CmySheet::kIdNext)) return t.Finish(false);
    if (!t.WaitOrBox([&] { return sheet->ActiveIndex() != step; }, 8000) || sheet->ActiveIndex() != step + 1)
      return t.Finish(false);
  }
  sheet->Button(CmySheet::kIdFinish)->click();
  return t.Finish(sheet->result() == QDialog::Accepted);
}

// Answers No to every question (the user gives up instead of repeating) and OK
// to every other box, keeping the texts with the fixture's.
class GivingUpPrompter : public platform::Prompter {
 public:
  explicit GivingUpPrompter(std::vector<std::string>& texts) : texts_(texts), previous_(platform::SetPrompter(this)) {}
  ~GivingUpPrompter() override { platform::SetPrompter(previous_); }
  int Show(const platform::MessageRequest& r) override {
    texts_.push_back(r.text);
    return r.buttons == platform::MessageButtons::YesNo ? platform::kAnswerNo : platform::kAnswerOk;
  }

 private:
  std::vector<std::string>& texts_;
  platform::Prompter* previous_;
};

RunResult AnalogInput(WriteRefusalSweep& t) {
  GivingUpPrompter prompter(t.texts());
  calibration::ResetWrongCodeCount();
  Dialogs::CCalibrate1 first(t.link(), t.doc().rootBranch);
  first.show();
  first.typeCombo()->setCurrentIndex(1);
  first.sensorCombo()->setCurrentIndex(8);
  first.codeEdit()->setText(QString::number(calibration::kAccessCodeType1));
  first.accept();
  if (!first.choice()) return t.Finish(false);
  Dialogs::CCalibrate2 second(t.link(), *first.choice());
  second.show();
  QPushButton* go = second.continueButton();
  go->click();
  if (!WaitUntil([&] { return second.isHidden() || (second.machine().step() == 1 && !second.machine().Running()); },
                 15000) ||
      second.isHidden() || !go->isEnabled())
    return t.Finish(false);
  go->click();
  if (!WaitUntil([&] { return second.isHidden() || second.machine().step() == 2; }, 4000) || second.isHidden())
    return t.Finish(false);
  go->click();
  if (second.isHidden() || second.machine().step() != 4) return t.Finish(false);
  const bool success = second.MainText().toStdString() == resources::LoadString(kStrScaleCalibrationDone);
  go->click();
  return t.Finish(success && second.result() == QDialog::Accepted);
}

RunResult StrainGaugeFactory(WriteRefusalSweep& t) {
  CalibrationTD::CSheetTD sheet(&t.link(), t.doc().rootBranch, t.doc().scannersBranch, false);
  sheet.Begin();
  auto* first = sheet.FindPageByClass<CalibrationTD::CPage1VI>();
  first->codeEdit()->setText("961");
  sheet.Button(CmySheet::kIdNext)->click();
  first->typeCombo()->setCurrentIndex(0);
  first->sensitivityCombo()->setCurrentIndex(1);
  if (t.ClickShowsBox(sheet, CmySheet::kIdNext) || sheet.ActiveIndex() != 1) return t.Finish(false);
  if (t.ClickShowsBox(sheet, CmySheet::kIdNext) || !t.WaitOrBox([&] { return sheet.ActiveIndex() == 2; }, 3000))
    return t.Finish(false);
  if (t.ClickShowsBox(sheet, CmySheet::kIdNext) || sheet.ActiveIndex() != 3) return t.Finish(false);
  sheet.Button(CmySheet::kIdFinish)->click();
  return t.Finish(sheet.result() == QDialog::Accepted);
}

RunResult StrainGaugeUserSave(WriteRefusalSweep& t) {
  const calibration::UserSaveOutcome out = calibration::SaveUser(
      t.link(), t.doc().scannersBranch, t.doc().rootBranch, 0, false, {20, 10, 2.0f}, {80, 40, 8.0f});
  RunResult r = t.Finish(out.done);
  r.shown += out.message;
  return r;
}

RunResult PhOnePoint(WriteRefusalSweep& t) {
  CalibrationPH::CSheetPH sheet(&t.link(), t.doc().rootBranch, t.doc().scannersBranch);
  sheet.mode = 0;
  sheet.temperatureSource = 2;
  sheet.Begin();
  auto* step1 = sheet.FindPageByClass<CalibrationPH::CStep1Page>();
  sheet.SetActivePage(step1);
  step1->edit1354()->setText("6.86");
  auto* save = sheet.FindPageByClass<CalibrationPH::CSavePHPage>();
  if (t.ClickShowsBox(sheet, CmySheet::kIdNext) || !t.WaitOrBox([&] { return sheet.ActivePage() == save; }, 5000))
    return t.Finish(false);
  sheet.Button(CmySheet::kIdFinish)->click();
  return t.Finish(sheet.result() == QDialog::Accepted);
}

RunResult Mains(WriteRefusalSweep& t) {
  auto* model = dynamic_cast<BaseDevice::CDevicePW*>(App().DeviceModel());
  if (model == nullptr) return t.Finish(false);
  CalibrationPW::CSheetPW sheet(&t.link(), *model, 19);
  sheet.Begin();
  if (t.ClickShowsBox(sheet, CmySheet::kIdNext)) return t.Finish(false);
  // The start write taken, the module's "Mode" word moves the first step on.
  return t.Finish(t.WaitOrBox([&] { return sheet.ActiveIndex() == 1; }, 5000));
}

RunResult InductanceFactory(WriteRefusalSweep& t) {
  CalibrationVI::CSheetVI sheet(&t.link(), t.doc().rootBranch, t.doc().scannersBranch);
  sheet.Begin();
  auto* first = sheet.FindPageByClass<CalibrationVI::CPage1VI>();
  first->codeEdit()->setText("846");
  sheet.Button(CmySheet::kIdNext)->click();
  first->kindCombo()->setCurrentIndex(0);
  sheet.Button(CmySheet::kIdNext)->click();
  for (int page = 1; page <= 2; ++page)
    if (t.ClickShowsBox(sheet, CmySheet::kIdNext) || sheet.ActiveIndex() != page + 1) return t.Finish(false);
  sheet.Button(CmySheet::kIdFinish)->click();
  return t.Finish(sheet.result() == QDialog::Accepted);
}

RunResult InductanceUserTable(WriteRefusalSweep& t) {
  std::vector<std::unique_ptr<Parameter>> cells;
  std::vector<calibration::TablePoint> points;
  for (const auto& [x, y] : {std::pair{"0.000000", "0"}, {"1.000000", "1"}, {"2.000000", "0"}}) {
    cells.push_back(std::make_unique<Parameter>("uU.Pn"));
    calibration::MakeTemporary(*cells.back(), "float", x, static_cast<int>(cells.size() - 1));
    points.push_back({cells.back().get(), y});
  }
  const calibration::UserTableOutcome out =
      calibration::SaveUserTable(t.link(), t.doc().scannersBranch, t.doc().rootBranch, points);
  RunResult r = t.Finish(out.done);
  r.shown += out.text;
  return r;
}

RunResult TareWeight(WriteRefusalSweep& t) {
  CWeightTDDlg dialog(t.link(), t.doc().rootBranch, false);
  dialog.show();
  dialog.accept();
  const bool closed = dialog.result() == QDialog::Accepted && !dialog.isVisible();
  dialog.done(QDialog::Rejected);
  return t.Finish(closed);
}

RunResult AnalogOutput(WriteRefusalSweep& t) {
  calibration::AnalogOutputCalibration c(t.link());
  using Selection = calibration::AnalogOutputCalibration::Selection;
  bool ok = c.SelectPoint(1, "") == Selection::Chosen && c.WriteValue(2050) &&
            c.SelectPoint(0, "2052") == Selection::Chosen;
  return t.Finish(ok);
}

RunResult StateDialog(WriteRefusalSweep& t) {
  Device& device = *t.doc().GetDevice();
  std::vector<Parameter*> outputs;
  for (int i = 0; i < 4; ++i)
    outputs.push_back(calibration::FindPolledFirst(t.doc().scannersBranch, t.doc().rootBranch, "r.oe", i));
  Parameter* counter = calibration::FindPolledFirst(t.doc().scannersBranch, t.doc().rootBranch, "r.Cou", 0);
  if (counter == nullptr || outputs[0] == nullptr) return t.Finish(false);
  for (Parameter* p : outputs) p->value = "0";
  bool ok = Dialogs::ResetCounter(*counter, device, nullptr) &&
            Dialogs::WriteEditedOutput(*outputs[0], "0", device, nullptr, nullptr) == Dialogs::OutputEdit::Written;
  // The switch has no result of its own: every output holds its value when it went through.
  if (ok) {
    Dialogs::SwitchAllOutputs(outputs, device);
    for (int i = 0; i < 4; ++i) {
      z580sim::Bytes b;
      ok = ok && t.sim().GetValue("r.oe", i, b) && !b.empty() && b[0] == 0x3F;  // 1.0
    }
  }
  return t.Finish(ok);
}

RunResult SingleParameter(WriteRefusalSweep& t) {
  Dialogs::SinglePointCommand command(t.doc().descParameters, t.doc().GetDevice());
  Dialogs::SinglePointFields fields;
  fields.command = "F.NOM";
  fields.operation = 1;
  fields.valueText = "60 Гц";
  RunResult r = t.Finish(false);
  bool written = false;
  for (const std::string& line : command.Execute(fields)) {
    r.shown += line + "\n";
    if (line.rfind(resources::LoadString(kStrWritten), 0) == 0) written = true;
  }
  r.success = written;
  return r;
}

RunResult Apply(WriteRefusalSweep& t) {
  Dialogs::ApplyCommand apply(t.doc().GetDevice(), t.doc().networkBranch,
                              dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel()));
  apply.broadcastPauseMs = 0;
  return t.Finish(apply.Send(false));
}

TEST_P(WriteRefusalSweep, EveryWriteStopsWhereItIsRefused) { Sweep(GetParam()); }

const SweepCase kCases[] = {
    {"common_wizard", 7, {}, CommonWizard},
    {"analog_input_dialogs", 0, {"clbs-busy 1"}, AnalogInput, "CLB.A", 1},
    {"strain_gauge_factory_path", 13, {}, StrainGaugeFactory},
    {"strain_gauge_user_save", 13, {}, StrainGaugeUserSave, {}, 0, 2, "Записано в прибор: zu.fn."},
    {"ph_one_point", 18, {"rdst-busy 1"}, PhOnePoint},
    {"mains_start", 19, {}, Mains},
    {"inductance_factory_path", 12, {}, InductanceFactory},
    {"inductance_user_table", 12, {}, InductanceUserTable, {}, 0, 4, "Записано в прибор: uU.Pn:0, uU.Pn:1, uU.Pn:2."},
    {"tare_weight", 13, {}, TareWeight},
    {"analog_outputs", 2, {}, AnalogOutput},
    {"state_dialog", 3, {"set r.oe 0 0", "set r.oe 1 0", "set r.oe 2 0", "set r.oe 3 0"}, StateDialog},
    {"single_parameter_dialog", 22, {}, SingleParameter},
    {"aply", 20, {}, Apply},
};

INSTANTIATE_TEST_SUITE_P(WizardsAndDialogs, WriteRefusalSweep, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SweepCase>& info) { return std::string(info.param.name); });

}  // namespace
