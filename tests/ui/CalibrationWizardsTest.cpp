// Each calibration window once end to end through its real pages, offscreen,
// against the simulated module serving the model's description: the frames the
// module received are compared with the sequence the wizard must send.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QMessageBox>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>

#include "CalibrationTestSupport.h"
#include "RealInput.h"
#include "Simulator.h"
#include "app/DocumentTestSupport.h"
#include "calibration/AccessCodes.h"
#include "calibration/AnalogInput.h"
#include "calibration/CalibrationLink.h"
#include "calibration/ui/CCalibrate1.h"
#include "calibration/ui/CCalibration.h"
#include "app/ui/QtPrompter.h"
#include "calibration/ui/CWeightTDDlg.h"
#include "calibration/ui/CalibrationLauncherQt.h"
#include "devices/CBaseDevice.h"
#include "link/ModelTable.h"
#include "calibration/ui/CommonWizardPages.h"
#include "link/Device.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"

using resources::LoadString;

namespace {

// The name hash's two bytes as the frames list them.
std::string HashBytes(const char* name) {
  const uint16_t h = Parameter::HashOfName(name);
  return std::to_string(h >> 8) + "," + std::to_string(h & 0xFF);
}

class CalibrationWizardsTest : public CalibrationSimTest {
 protected:
  // "R name [data]" / "W name [data]" of every request since the last call.
  std::vector<std::string> Frames() {
    std::vector<std::string> out;
    for (const z580sim::RequestRecord& r : sim_->Requests()) {
      std::string data;
      for (uint8_t b : r.data) data += (data.empty() ? "" : ",") + std::to_string(b);
      out.push_back(std::string(r.read ? "R " : "W ") + r.name + " [" + data + "]");
    }
    sim_->ClearRequests();
    return out;
  }
  // The same without the data.
  std::vector<std::string> Names() {
    std::vector<std::string> out;
    for (const std::string& f : Frames()) out.push_back(f.substr(0, f.find(" [")));
    return out;
  }
  // Type 3's dialog taken through the measurement to the coefficients it read.
  static void RunToCoefficients(Dialogs::CCalibrate2& dialog) {
    dialog.show();
    dialog.continueButton()->click();
    ASSERT_TRUE(WaitUntil([&] { return dialog.machine().step() == 1 && !dialog.machine().Running(); }, 8000));
    dialog.continueButton()->click();
    ASSERT_TRUE(WaitUntil([&] { return dialog.machine().step() == 2; }, 4000));
  }
};

TEST_F(CalibrationWizardsTest, CommonWizardRunsItsStepsAndRetriesFromTheErrorPage) {
  ASSERT_NO_FATAL_FAILURE(Open(17, {"jurd-busy 1"}));
  std::unique_ptr<CmySheet> sheet = MakeCommonAnalogInputWizard(link_.get(), doc_->rootBranch, true);
  sheet->Begin();
  auto* code = sheet->FindPageByClass<CCodeBasePage>();
  ASSERT_NE(code, nullptr);
  // The model without the fourth sensor type does not offer it.
  Parameter* inT = doc_->rootBranch->FindParameter("in-t");
  ASSERT_NE(inT, nullptr);
  EXPECT_EQ(code->sensorCombo()->count(), static_cast<int>(calibration::SensorChoices(inT->type, true).size()));
  QPushButton* next = sheet->Button(CmySheet::kIdNext);

  code->codeEdit()->setText("619 ");
  next->click();
  ASSERT_FALSE(prompter_.texts.empty());
  EXPECT_EQ(prompter_.texts.back(), "Код доступа не верен!");
  code->codeEdit()->setText("619");
  next->click();
  EXPECT_EQ(sheet->ActiveIndex(), 0);
  EXPECT_FALSE(code->sensorCombo()->isHidden());
  code->sensorCombo()->setCurrentIndex(0);
  next->click();
  ASSERT_EQ(sheet->ActiveIndex(), 1);
  next->click();  // offset
  EXPECT_FALSE(next->isEnabled());
  ASSERT_TRUE(WaitUntil([&] { return sheet->ActiveIndex() == 2; }, 8000));
  EXPECT_TRUE(next->isEnabled());
  next->click();  // scale
  ASSERT_TRUE(WaitUntil([&] { return sheet->ActiveIndex() == 3; }, 8000));
  EXPECT_EQ(sheet->Button(CmySheet::kIdFinish)->text(), "Сохранить");
  sheet->Button(CmySheet::kIdFinish)->click();
  EXPECT_EQ(sheet->result(), QDialog::Accepted);
  EXPECT_EQ(Names(), (std::vector<std::string>{"W M.s.t.r.:in-t", "W in-t", "W JuSh", "R JuRD", "R JuRD", "W JuSc",
                                               "R JuRD", "R JuRD", "W Prmn", "W UApl"}));

  // The module refuses the scale step: the error page, and "Повторить" starts again.
  std::string error;
  ASSERT_TRUE(z580sim::ApplyFaultCommand(*sim_, "jurd-busy 0", &error));
  ASSERT_TRUE(z580sim::ApplyFaultCommand(*sim_, "jurd 2", &error));
  sheet = MakeCommonAnalogInputWizard(link_.get(), doc_->rootBranch, true);
  sheet->Begin();
  sheet->SetActivePage(2);
  sheet->Button(CmySheet::kIdNext)->click();
  auto* errorPage = sheet->FindPageByClass<CErrorPage>();
  ASSERT_TRUE(WaitUntil([&] { return sheet->ActivePage() == errorPage; }, 8000));
  EXPECT_EQ(errorPage->Text().toStdString(),
            "Значение сигнала на входе выше нормы.\n\nДля того чтобы повторить операцию юстировки нажмите кнопку "
            "«Повторить».");
  EXPECT_EQ(sheet->Button(CmySheet::kIdCancel)->text(), "Выход");
  sheet->Button(CmySheet::kIdFinish)->click();
  EXPECT_EQ(sheet->ActiveIndex(), 0);
  EXPECT_TRUE(sheet->isVisible());
  EXPECT_EQ(sheet->Button(CmySheet::kIdCancel)->text(), "Отмена");
  EXPECT_EQ(Names(), (std::vector<std::string>{"W JuSc", "R JuRD"}));
}

TEST_F(CalibrationWizardsTest, AnalogInputDialogsRunTheModulesCalibrationTask) {
  ASSERT_NO_FATAL_FAILURE(Open(0, {"clbs-busy 1"}));
  calibration::ResetWrongCodeCount();
  Dialogs::CCalibrate1 first(*link_, doc_->rootBranch);
  first.show();
  first.typeCombo()->setCurrentIndex(1);
  first.sensorCombo()->setCurrentIndex(8);  // sensor code 1
  first.codeEdit()->setText(QString::number(calibration::kAccessCodeType1));
  first.accept();
  ASSERT_TRUE(first.choice().has_value());
  EXPECT_EQ(first.choice()->instruction, LoadString(kStrHookupCu100));  // instruction index 2 of code 1
  EXPECT_EQ(Frames(), (std::vector<std::string>{"W in-t [1,0,0]", "R M.s.t.r.:in-t [0,0," + HashBytes("in-t") + "]", "R in-t [0,0]"}));

  {
    Dialogs::CCalibrate2 second(*link_, *first.choice());
    second.show();
    QPushButton* go = second.continueButton();
    go->click();
    EXPECT_TRUE(go->isHidden());
    ASSERT_TRUE(WaitUntil([&] { return second.machine().step() == 1 && !second.machine().Running(); }, 8000));
    EXPECT_EQ(second.MainText().toStdString(), LoadString(kStrCoefficientsStored));
    go->click();
    ASSERT_TRUE(WaitUntil([&] { return second.machine().step() == 2; }, 4000));
    EXPECT_NE(second.MainText().indexOf("1.125000"), -1);
    go->click();
    ASSERT_EQ(second.machine().step(), 4);
    EXPECT_EQ(second.MainText().toStdString(), LoadString(kStrScaleCalibrationDone));
    go->click();
    EXPECT_EQ(second.result(), QDialog::Accepted);
  }
  EXPECT_EQ(Frames(), (std::vector<std::string>{"W CLB.I [1]", "R CLB.S []", "R CLB.S []", "R CLB.T []",
                                                "R CLB.G [1]", "W CLB.P []", "W CLB.A []", "W CLB.A []"}));

  // A write the module never answers: the error box, the retry question, No.
  std::string error;
  ASSERT_TRUE(z580sim::ApplyFaultCommand(*sim_, "clbp-silent all", &error));
  prompter_.answers = {platform::kAnswerOk, platform::kAnswerNo};
  {
    Dialogs::CCalibrate2 second(*link_, {3, "", 0});
    ASSERT_NO_FATAL_FAILURE(RunToCoefficients(second));
    second.continueButton()->click();
    EXPECT_EQ(second.result(), QDialog::Rejected);
  }
  EXPECT_EQ(Names(), (std::vector<std::string>{"W CLB.I", "R CLB.S", "R CLB.S", "R CLB.T", "R CLB.G", "R CLB.G",
                                               "R CLB.G", "R CLB.G", "W CLB.P", "W CLB.P", "W CLB.A", "W CLB.A"}));
  ASSERT_FALSE(prompter_.texts.empty());
  EXPECT_EQ(prompter_.texts.back(), LoadString(kStrRetryQuestion));

  // A module whose every reply comes again 2 ms later: each coefficient shown is the
  // module's own for its number, never the copy of the one read before.
  ASSERT_NO_FATAL_FAILURE(Open(8, {"twice all after 2"}));
  {
    Dialogs::CCalibrate2 second(*link_, {3, "", 0});
    ASSERT_NO_FATAL_FAILURE(RunToCoefficients(second));
    const QString shown = second.MainText();
    int at = 0;
    for (const char* k : {"1.125000", "1.250000", "1.375000", "1.500000"}) {
      at = shown.indexOf(k, at);
      EXPECT_NE(at, -1) << k << " in " << shown.toStdString();
    }
  }
}

TEST_F(CalibrationWizardsTest, AnalogOutputPointsAreAdjustedWithTheirAttributes) {
  ASSERT_NO_FATAL_FAILURE(Open(2));
  calibration::OutputTypes types{};
  for (size_t i = 0; i < types.size(); ++i) types[i] = doc_->outputTable[i];
  Dialogs::CCalibration dialog(*link_, types, 6);
  dialog.show();
  ASSERT_EQ(dialog.pointList()->count(), 12);  // six outputs, never 7 and 8
  EXPECT_EQ(dialog.pointList()->item(11)->text(), "K20 выхода №6");
  Frames();
  EXPECT_FALSE(dialog.valueEdit()->isEnabled());

  dialog.pointList()->setCurrentRow(1);
  EXPECT_EQ(dialog.valueEdit()->text(), "2048");
  dialog.StepButton(10)->click();
  const std::string k = HashBytes("CLB.K");
  EXPECT_EQ(Frames(), (std::vector<std::string>{
                          "R M.s.t.r.:CLB.K [0,1," + k + "]", "R CLB.K [0,1]", "W CLB.I [1]",
                          "R M.s.t.r.:CLB.K [0,1," + k + "]", "R CLB.K [0,1]", "W M.s.t.r.:CLB.K [3,0,1," + k + "]",
                          "W CLB.K [8,10,0,1]"}));
  // Typing: only a whole value in range is written, when the edit is finished;
  // another is shown as not written and the edit shows the module's value again.
  for (const char* typed : {"", "-5", "5000"}) {
    prompter_.texts.clear();
    dialog.valueEdit()->setText(typed);
    emit dialog.valueEdit()->returnPressed();
    EXPECT_EQ(prompter_.texts, std::vector<std::string>{calibration::kValueNotWrittenText}) << typed;
    EXPECT_EQ(dialog.valueEdit()->text(), "2058") << typed;
  }
  EXPECT_EQ(Frames(), std::vector<std::string>{});
  // A value the module refuses: its error, nothing sent after the refused frame (an
  // attribute restore would carry the new value again), and the edit back to what
  // the module holds.
  ASSERT_NO_FATAL_FAILURE(Fault({"error 6 at write 2"}));
  dialog.StepButton(5)->click();
  ASSERT_EQ(prompter_.texts.size(), 2u);
  EXPECT_EQ(prompter_.texts.back().rfind("Комманда записи CLB.K вернула ошибку:\n", 0), 0u);
  EXPECT_EQ(dialog.valueEdit()->text(), "2058");
  z580sim::Bytes held;
  ASSERT_TRUE(sim_->GetValue("CLB.K", 1, held));
  EXPECT_EQ(held, (z580sim::Bytes{0x08, 0x0A}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"R M.s.t.r.:CLB.K", "R CLB.K", "W M.s.t.r.:CLB.K", "W CLB.K"}));

  // The previous point's value goes first when another point is chosen.
  dialog.valueEdit()->setText("4094");
  dialog.pointList()->setCurrentRow(0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"R M.s.t.r.:CLB.K", "R CLB.K", "W M.s.t.r.:CLB.K", "W CLB.K",
                                               "R M.s.t.r.:CLB.K", "R CLB.K", "W CLB.I"}));

  // A point whose value cannot be read shows none and offers no step (the sixth
  // request reads it, after the previous point's value went out).
  ASSERT_NO_FATAL_FAILURE(Fault({"error 6 at 6"}));
  dialog.pointList()->setCurrentRow(3);
  ASSERT_FALSE(prompter_.texts.empty());
  EXPECT_EQ(prompter_.texts.back().rfind("Комманда чтения CLB.K вернула ошибку:\n", 0), 0u);
  EXPECT_EQ(dialog.valueEdit()->text(), "");
  EXPECT_FALSE(dialog.StepButton(10)->isEnabled());
  EXPECT_FALSE(dialog.valueEdit()->isEnabled());
  EXPECT_EQ(Names(), (std::vector<std::string>{"R M.s.t.r.:CLB.K", "R CLB.K", "W M.s.t.r.:CLB.K", "W CLB.K",
                                               "R M.s.t.r.:CLB.K", "R CLB.K"}));

  // A point the module marks not editable: asked, made editable, and set back after each write.
  std::string error;
  ASSERT_TRUE(z580sim::ApplyFaultCommand(*sim_, "locked CLB.K", &error));
  dialog.valueEdit()->clear();
  // After a refusal only a person chooses again: a click.
  QTest::mouseClick(dialog.pointList()->viewport(), Qt::LeftButton, {},
                    dialog.pointList()->visualItemRect(dialog.pointList()->item(2)).center());
  ASSERT_FALSE(prompter_.texts.empty());
  EXPECT_NE(prompter_.texts.back().find("'Нередактируемый'"), std::string::npos);
  dialog.StepButton(2)->click();  // 2048 + 2
  dialog.accept();
  ASSERT_TRUE(WaitUntil([&] { return !dialog.isVisible(); }, 3000));
  EXPECT_EQ(Names(), (std::vector<std::string>{
                         // the new point: read, the question, made editable, chosen
                         "R M.s.t.r.:CLB.K", "R CLB.K", "W M.s.t.r.:CLB.K", "W CLB.K", "W CLB.I",
                         // +2: editable again, the value, the module's attributes back
                         "R M.s.t.r.:CLB.K", "R CLB.K", "W M.s.t.r.:CLB.K", "W CLB.K", "W M.s.t.r.:CLB.K", "W CLB.K",
                         "W M.s.t.r.:CLB.K", "W CLB.K",
                         // "Закончить": the value once more, then the end
                         "R M.s.t.r.:CLB.K", "R CLB.K", "W M.s.t.r.:CLB.K", "W CLB.K", "W M.s.t.r.:CLB.K", "W CLB.K",
                         "W M.s.t.r.:CLB.K", "W CLB.K", "R CLB.A"}));
  z580sim::Bytes value;
  ASSERT_TRUE(sim_->GetValue("CLB.K", 1, value));
  EXPECT_EQ(value, (z580sim::Bytes{0x0F, 0xFE}));
  ASSERT_TRUE(sim_->GetValue("CLB.K", 2, value));
  EXPECT_EQ(value, (z580sim::Bytes{0x08, 0x02}));
}

// The analog-output dialog as a person meets it: shown, active, with the keyboard
// focus in its list.
class AnalogOutputDialogXvfb : public CalibrationWizardsTest {
 protected:
  void ChoosePointsAsAPersonDoes();
};

TEST_F(AnalogOutputDialogXvfb, NothingGoesOutUntilAPointIsClickedAndStepsGoToThePointShown) {
  ChoosePointsAsAPersonDoes();
}

// The same with a window manager placing and activating the windows.
class AnalogOutputDialogOpenbox : public AnalogOutputDialogXvfb {};

TEST_F(AnalogOutputDialogOpenbox, NothingGoesOutUntilAPointIsClickedAndStepsGoToThePointShown) {
  ChoosePointsAsAPersonDoes();
}

void AnalogOutputDialogXvfb::ChoosePointsAsAPersonDoes() {
  Z580_REQUIRE_XCB();
  ASSERT_NO_FATAL_FAILURE(Open(2));
  calibration::OutputTypes types{};
  for (size_t i = 0; i < types.size(); ++i) types[i] = doc_->outputTable[i];
  Dialogs::CCalibration dialog(*link_, types, 6);
  Frames();
  ASSERT_TRUE(realinput::ShowActive(dialog));
  QTest::qWait(100);
  QListWidget* list = dialog.pointList();
  ASSERT_TRUE(list->hasFocus());
  EXPECT_EQ(Frames(), std::vector<std::string>{});
  EXPECT_TRUE(list->selectedItems().isEmpty());
  EXPECT_FALSE(dialog.valueEdit()->isEnabled());
  for (int step : {-2, 2, -5, 5, -10, 10}) EXPECT_FALSE(dialog.StepButton(step)->isEnabled()) << step;

  // The user clicks the second point: it is chosen, and only now asked for.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(1)).center());
  EXPECT_EQ(Names(), (std::vector<std::string>{"R M.s.t.r.:CLB.K", "R CLB.K", "W CLB.I"}));
  EXPECT_TRUE(dialog.valueEdit()->isEnabled());
  EXPECT_TRUE(dialog.StepButton(10)->isEnabled());
  EXPECT_EQ(dialog.valueEdit()->text(), "2048");
  // Down moves to the next point and chooses it.
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(list->currentRow(), 2);
  const std::vector<std::string> names = Names();
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.back(), "W CLB.I");

  // The module refuses the read-back of the current point's value as the next one
  // is clicked: the clicked point is not chosen, the list shows the point still
  // current, and a step writes to that one.
  ASSERT_NO_FATAL_FAILURE(Fault({"error 4 1 on CLB.K"}));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(3)).center());
  ASSERT_FALSE(prompter_.texts.empty());
  EXPECT_EQ(prompter_.texts.back().rfind("Комманда чтения CLB.K вернула ошибку:\n", 0), 0u);
  ASSERT_EQ(list->selectedItems().size(), 1);
  EXPECT_EQ(list->selectedItems().front(), list->item(2));
  EXPECT_EQ(Names(), (std::vector<std::string>{"R M.s.t.r.:CLB.K", "R CLB.K"}));
  QTest::mouseClick(dialog.StepButton(10), Qt::LeftButton);
  const std::vector<std::string> frames = Frames();
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.back(), "W CLB.K [8,10,0,2]");

  // The same refusal by the keyboard, the program's own box closed by Return (a
  // refusal once, and one that lasts): nothing is sent after the box, no second box.
  for (const char* fault : {"error 4 1 on CLB.K", "error 4 99 on CLB.K"}) {
    SCOPED_TRACE(fault);
    ASSERT_NO_FATAL_FAILURE(Fault({"clear", fault}));
    QtPrompter boxes(false);
    int shown = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
      if (QWidget* box = QApplication::activeModalWidget(); box != nullptr && box != &dialog) {
        ++shown;
        Frames();
        QTest::keyClick(box, Qt::Key_Return);
      }
    });
    closer.start(50);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::qWait(500);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(Frames(), std::vector<std::string>{});
    EXPECT_EQ(list->selectedItems(), QList<QListWidgetItem*>{list->item(2)});
  }
  ASSERT_NO_FATAL_FAILURE(Fault({"clear"}));

  // A value typed and not confirmed stays typed while a message box comes and goes:
  // the output is not moved.
  QLineEdit* edit = dialog.valueEdit();
  ASSERT_TRUE(edit->isEnabled());
  ASSERT_TRUE(realinput::ShowActive(dialog));
  edit->setFocus();
  ASSERT_TRUE(realinput::Until([&] { return edit->hasFocus(); }));
  edit->selectAll();
  QTest::keyClicks(edit, "2100");
  Frames();
  {
    QMessageBox box(QMessageBox::Warning, "Z580", "message", QMessageBox::Ok, &dialog);
    box.setWindowModality(Qt::ApplicationModal);
    box.show();
    ASSERT_TRUE(realinput::Until([&] { return box.isActiveWindow(); }));
    QTest::keyClick(&box, Qt::Key_Escape);
    ASSERT_TRUE(realinput::Until([&] { return !box.isVisible(); }));
  }
  QTest::qWait(100);
  EXPECT_EQ(Frames(), std::vector<std::string>{});
  EXPECT_EQ(edit->text(), "2100");
  dialog.reject();
  ASSERT_TRUE(WaitUntil([&] { return !dialog.isVisible(); }, 3000));
}

TEST_F(CalibrationWizardsTest, TareWeightOfTheChosenChannel) {
  ASSERT_NO_FATAL_FAILURE(Open(14, {"weight 2 12.5"}));
  CWeightTDDlg dialog(*link_, doc_->rootBranch, true);
  dialog.show();
  ASSERT_FALSE(dialog.channelCombo()->isHidden());
  dialog.channelCombo()->setCurrentIndex(2);
  ASSERT_TRUE(WaitUntil([&] { return dialog.weightEdit()->text() == "12.500"; }, 3000));
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  const std::vector<std::string> frames = Frames();
  ASSERT_GE(frames.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(frames.end() - 3, frames.end()),
            (std::vector<std::string>{"W U.Wgh [0,2]", "R M.s.t.r.:p.wgh [0,2," + HashBytes("p.wgh") + "]",
                                      "R p.wgh [0,2]"}));
  for (size_t i = 0; i + 3 < frames.size(); ++i) EXPECT_EQ(frames[i].rfind("R Rd.fF [0,", 0), 0u) << frames[i];
  Parameter* tare = doc_->rootBranch->FindParameter("p.wgh", nullptr, nullptr, nullptr, 2);
  ASSERT_NE(tare, nullptr);
  EXPECT_EQ(platform::Atof(tare->value), 12.5);

  // A lost link shows the no-data text; an invalid reading shows as invalid, after
  // a good one (channel 2 read 12.5 above) as well as from the start.
  const struct {
    const char* what;
    int channel;
    const char* sim;
    int text;
  } rows[] = {
      {"lost link", 2, "silence", 194},
      {"invalid after a good reading", 2, "set Rd.fF 2 hex:FFFFFFFF", 400},
      {"invalid from the start", 3, "set Rd.fF 3 hex:FFFFFFFF", 400},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_NO_FATAL_FAILURE(Fault({"clear", row.sim}));
    CWeightTDDlg shown(*link_, doc_->rootBranch, true);
    shown.channelCombo()->setCurrentIndex(row.channel);
    shown.show();
    EXPECT_TRUE(WaitUntil([&] { return shown.weightEdit()->text().toStdString() == LoadString(row.text); }, 5000))
        << shown.weightEdit()->text().toStdString();
    // Whole: the text and the box's frame and margins fit.
    const QLineEdit* edit = shown.weightEdit();
    EXPECT_LE(edit->fontMetrics().horizontalAdvance(edit->text()) + 8, edit->width());
    shown.reject();
  }
  ASSERT_NO_FATAL_FAILURE(Fault({"clear"}));
}

TEST_F(CalibrationWizardsTest, AnalogInputLauncherRunsTheDialogsInTurn) {
  ASSERT_NO_FATAL_FAILURE(Open(8));
  calibration::ResetWrongCodeCount();
  auto* model = dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel());
  ASSERT_NE(model, nullptr);
  // Plays the user on whichever dialog is open: four wrong codes in the first run;
  // in the second a right code of type 3, then Cancel in the second dialog.
  int wrongCodes = 0;
  bool secondRun = false;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    QWidget* w = QApplication::activeModalWidget();
    if (auto* first = qobject_cast<Dialogs::CCalibrate1*>(w)) {
      first->typeCombo()->setCurrentIndex(secondRun ? 3 : 1);
      first->codeEdit()->setText(secondRun ? QString::number(calibration::kAccessCodeType3) : QStringLiteral("1"));
      if (!secondRun) ++wrongCodes;
      first->accept();
    } else if (auto* second = qobject_cast<Dialogs::CCalibrate2*>(w)) {
      second->reject();
    }
  });
  user.start(30);
  CalibrationLauncherQt launcher;
  launcher.Run(BaseDevice::CalibrationWizard::AnalogInputDialogs, *model);
  EXPECT_EQ(wrongCodes, 4);
  EXPECT_EQ(prompter_.texts, std::vector<std::string>(4, LoadString(kStrWrongCode)));
  EXPECT_EQ(Frames(), std::vector<std::string>{});

  secondRun = true;
  prompter_.texts.clear();
  launcher.Run(BaseDevice::CalibrationWizard::AnalogInputDialogs, *model);
  const std::string name = exchange::ModelDisplayName(8);
  EXPECT_EQ(prompter_.texts, (std::vector<std::string>{platform::Format(LoadString(kStrPrepareCoefficientWrite).c_str(), name.c_str()),
                                                       platform::Format(LoadString(kStrSwitchOff).c_str(), name.c_str())}));
  EXPECT_EQ(Frames(), (std::vector<std::string>{"W CLB.A []", "W CLB.A []"}));
}

TEST_F(CalibrationWizardsTest, CancelStopsThePendingResultPoll) {
  ASSERT_NO_FATAL_FAILURE(Open(7));
  std::unique_ptr<CmySheet> sheet = MakeCommonAnalogInputWizard(link_.get(), doc_->rootBranch, false);
  sheet->Begin();
  // The sheet finds a page by its class or a class derived from it.
  EXPECT_EQ(sheet->FindPageByClass<CTextPage>(), sheet->Page(1));
  EXPECT_EQ(sheet->FindPageByClass<CErrorPage>(), sheet->Page(4));
  sheet->SetActivePage(1);
  sheet->Button(CmySheet::kIdNext)->click();
  EXPECT_TRUE(sheet->TimerActive(1));
  sheet->Button(CmySheet::kIdCancel)->click();
  EXPECT_FALSE(sheet->TimerActive(1));
  QTest::qWait(calibration::kFirstPollDelayMs + 500);
  EXPECT_EQ(Names(), std::vector<std::string>{"W JuSh"});
}

TEST_F(CalibrationWizardsTest, TareWeightOfTheOneChannelModelHasNoIndex) {
  ASSERT_NO_FATAL_FAILURE(Open(13, {"weight 0 3.25"}));
  CWeightTDDlg dialog(*link_, doc_->rootBranch, false);
  dialog.show();
  EXPECT_TRUE(dialog.channelCombo()->isHidden());
  ASSERT_TRUE(WaitUntil([&] { return dialog.weightEdit()->text() == "3.250"; }, 3000));
  dialog.accept();
  bool sent = false;
  for (const std::string& f : Frames()) {
    if (f.rfind("W U.Wgh", 0) == 0) {
      EXPECT_EQ(f, "W U.Wgh []");
      sent = true;
    }
  }
  EXPECT_TRUE(sent);
}


// The second analog-input dialog: "Продолжить", clicked, hides with the focus while
// the module measures; once it shows again, Enter continues and never cancels the
// calibration.
class AnalogInputDialogXvfb : public CalibrationWizardsTest {};

TEST_F(AnalogInputDialogXvfb, EnterContinuesAfterTheMeasurementWait) {
  Z580_REQUIRE_XCB();
  ASSERT_NO_FATAL_FAILURE(Open(0, {"clbs-busy 1"}));
  Dialogs::CCalibrate2 second(*link_, {3, "", 0});
  ASSERT_TRUE(realinput::ShowActive(second));
  QPushButton* go = second.continueButton();
  QTest::mouseClick(go, Qt::LeftButton, {}, go->rect().center());
  ASSERT_TRUE(WaitUntil([&] { return second.machine().step() == 1 && !second.machine().Running(); }, 8000));
  EXPECT_EQ(second.MainText().toStdString(), LoadString(kStrCoefficientsStored));
  ASSERT_TRUE(go->isVisible());
  EXPECT_TRUE(go->isDefault());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return second.machine().step() == 2; }, 4000));
  EXPECT_TRUE(second.isVisible());
  EXPECT_EQ(second.result(), 0);
  second.reject();
}

}  // namespace
