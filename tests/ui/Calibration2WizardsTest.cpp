// The strain-gauge, pH/redox, mains and inductance wizards end to end through
// their real pages, offscreen, against the simulated module serving the model's
// description: the frames the module received are compared with the order the
// wizard must send them in.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>

#include "CalibrationTestSupport.h"
#include "Simulator.h"
#include "app/DocumentTestSupport.h"
#include "calibration/CalibrationLink.h"
#include "calibration/CommonWizard.h"
#include "calibration/ui/CSheetPH.h"
#include "calibration/ui/CSheetPW.h"
#include "calibration/ui/CSheetTD.h"
#include "calibration/ui/CSheetVI.h"
#include "calibration/ui/CalibrationLauncherQt.h"
#include "controls/CFlyProgress.h"
#include "devices/CBaseDevice.h"
#include "devices/CDevicePW.h"
#include "link/Device.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "resources/StringTable.h"
#include "support/Last.h"

namespace {
using testsupport::Last;

std::string FloatData(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  return platform::Format("%u,%u,%u,%u", bits >> 24, (bits >> 16) & 0xFF, (bits >> 8) & 0xFF, bits & 0xFF);
}

class Calibration2WizardsTest : public CalibrationSimTest {
 protected:

  // "R name [data]" / "W name [data]" since the last call, without the names in
  // skip, and with runs of the same frame (the polled readings) shown once.
  std::vector<std::string> Frames(const std::vector<std::string>& skip = {}) {
    std::vector<std::string> out;
    for (const z580sim::RequestRecord& r : sim_->Requests()) {
      if (std::find(skip.begin(), skip.end(), r.name) != skip.end()) continue;
      std::string data;
      for (uint8_t b : r.data) data += (data.empty() ? "" : ",") + std::to_string(b);
      std::string frame = std::string(r.read ? "R " : "W ") + r.name;
      // Attribute exchanges are shown by name only.
      if (r.name.rfind("M.s.t.r.", 0) != 0) frame += " [" + data + "]";
      if (out.empty() || out.back() != frame) out.push_back(std::move(frame));
    }
    sim_->ClearRequests();
    return out;
  }

  void Click(CmySheet& sheet, int id) { sheet.Button(id)->click(); }

};

TEST_F(Calibration2WizardsTest, MainsStepsFollowTheModeWordToTheEnd) {
  ASSERT_NO_FATAL_FAILURE(Open(21));  // Z580-22: its last step is done when the module clears the word
  auto* model = dynamic_cast<BaseDevice::CDevicePW*>(App().DeviceModel());
  ASSERT_NE(model, nullptr);
  CalibrationPW::CSheetPW sheet(link_.get(), *model, 21);
  ASSERT_EQ(sheet.PageCount(), 5);
  sheet.Begin();
  std::string step1;
  EXPECT_EQ(static_cast<CTextPage*>(sheet.Page(0))->Text().toStdString(),
            QString::fromStdString(model->GetCalibrationStepText(step1, 1)).replace("\r\n", "\n").toStdString());
  for (int page = 0; page < 3; ++page) {
    Click(sheet, CmySheet::kIdNext);
    EXPECT_FALSE(sheet.Button(CmySheet::kIdNext)->isEnabled());  // the step runs
    EXPECT_TRUE(sheet.progress()->IsRunning());
    ASSERT_TRUE(WaitUntil([&] { return sheet.ActiveIndex() == page + 1; }, 5000)) << page;
    EXPECT_FALSE(sheet.ReadingThreadRunning());
  }
  EXPECT_EQ(static_cast<CTextPage*>(sheet.ActivePage())->Text(), "Калибровка завершена!");
  Click(sheet, CmySheet::kIdFinish);
  EXPECT_EQ(sheet.result(), QDialog::Accepted);
  EXPECT_EQ(Frames(), (std::vector<std::string>{"W Mode [16]", "R Mode []"}));
}

TEST_F(Calibration2WizardsTest, MainsErrorBitStopsAtTheErrorPage) {
  ASSERT_NO_FATAL_FAILURE(Open(20, {"mode-error 2"}));  // Z580-21: four step pages; the second step fails
  auto* model = dynamic_cast<BaseDevice::CDevicePW*>(App().DeviceModel());
  ASSERT_NE(model, nullptr);
  CalibrationPW::CSheetPW sheet(link_.get(), *model, 20);
  ASSERT_EQ(sheet.PageCount(), 6);
  EXPECT_EQ(sheet.Page(3)->title(), sheet.Page(2)->title());
  sheet.Begin();
  Click(sheet, CmySheet::kIdNext);
  ASSERT_TRUE(WaitUntil([&] { return sheet.ActiveIndex() == 1; }, 5000));
  Click(sheet, CmySheet::kIdNext);
  auto* error = sheet.FindPageByClass<CErrorPage>();
  ASSERT_TRUE(WaitUntil([&] { return sheet.ActivePage() == error; }, 5000));
  // The done bit that came with the error does not move the wizard on.
  QTest::qWait(600);
  EXPECT_EQ(sheet.ActivePage(), error);
  EXPECT_FALSE(sheet.ReadingThreadRunning());
  EXPECT_FALSE(sheet.progress()->IsRunning());
  EXPECT_EQ(error->message, resources::LoadString(kStrCalibrationTryLater));
  // The first step's text names the calibration points of the module's own parameters.
  EXPECT_EQ(Frames(), (std::vector<std::string>{"R M.s.t.r.:uk.hi", "R uk.hi []", "R M.s.t.r.:ik.hi", "R ik.hi []",
                                                "R M.s.t.r.:uk.lo", "R uk.lo []", "R M.s.t.r.:ik.lo", "R ik.lo []",
                                                "W Mode [1,0]", "R Mode []"}));
}

TEST_F(Calibration2WizardsTest, PhTwoPointsWithTheLiveReadingAndTheSlope) {
  ASSERT_NO_FATAL_FAILURE(Open(18, {"reading Rd.Rs 0 6.9", "reading Rd.Tm 0 21.5", "slope 0.95"}));
  CalibrationPH::CSheetPH sheet(link_.get(), doc_->rootBranch, doc_->scannersBranch);
  sheet.Begin();
  auto* code = sheet.FindPageByClass<CalibrationPH::CCodePage>();
  code->codeEdit()->setText("716 ");
  Click(sheet, CmySheet::kIdNext);
  EXPECT_EQ(Last(prompter_.texts), "Код доступа не верен!");
  code->codeEdit()->setText("716");
  Click(sheet, CmySheet::kIdNext);  // the parameters are confirmed
  ASSERT_EQ(sheet.ActiveIndex(), 0);
  EXPECT_NE(Last(prompter_.texts).find("Указанные параметры верны?"), std::string::npos);
  EXPECT_FALSE(code->pointsCombo()->isHidden());
  EXPECT_EQ(code->pointsCombo()->currentIndex(), 1);
  Click(sheet, CmySheet::kIdNext);
  auto* step1 = sheet.FindPageByClass<CalibrationPH::CStep1Page>();
  ASSERT_EQ(sheet.ActivePage(), step1);
  ASSERT_TRUE(
      WaitUntil([&] { return step1->edit1353()->text() == "6.900" && step1->edit1355()->text() == "21.500"; }, 3000));
  step1->edit1354()->setText("6,86");
  Click(sheet, CmySheet::kIdNext);
  EXPECT_TRUE(sheet.progress()->IsRunning());
  auto* step2 = sheet.FindPageByClass<CalibrationPH::CStep2Page>();
  ASSERT_TRUE(WaitUntil([&] { return sheet.ActivePage() == step2; }, 5000));
  EXPECT_FALSE(sheet.progress()->IsRunning());
  step2->edit1354()->setText("9.18");
  Click(sheet, CmySheet::kIdNext);
  ASSERT_TRUE(
      WaitUntil([&] { return sheet.ActivePage() == sheet.FindPageByClass<CalibrationPH::CSavePHPage>(); }, 5000));
  Click(sheet, CmySheet::kIdFinish);
  EXPECT_EQ(sheet.result(), QDialog::Accepted);
  EXPECT_EQ(Last(prompter_.texts),
            "Числовое значение отклонения крутизны водородной характеристики: 0.95.\n\nПараметры электродной пары "
            "выходят за допустимые пределы. Рекомендуется заменить электроды.");
  EXPECT_EQ(Last(prompter_.icons), platform::MessageIcon::Warning);
  const std::string busy = "R Rd.St []";
  EXPECT_EQ(
      Frames({"Rd.Rs", "Rd.Tm"}),
      (std::vector<std::string>{"R M.s.t.r.:tco.t", "R tco.t []", "R M.s.t.r.:TSe.T", "R TSe.T []", "R M.s.t.r.:E.Crd",
                                "R E.Crd []", "R M.s.t.r.:p.Crd", "R p.Crd []", "W U.pHL [" + FloatData(6.86f) + "]",
                                busy, "W U.pHH [" + FloatData(9.18f) + "]", busy, "W U.Apl []", busy,
                                "R M.s.t.r.:E.Crd", "R E.Crd []", "R M.s.t.r.:p.Crd", "R p.Crd []"}));
}

TEST_F(Calibration2WizardsTest, PhPointThatIsNotTakenStopsThere) {
  // The module refuses the first point once.
  ASSERT_NO_FATAL_FAILURE(Open(18, {"error-on U.pHL 6", "reading Rd.Rs 0 6.9"}));
  CalibrationPH::CSheetPH sheet(link_.get(), doc_->rootBranch, doc_->scannersBranch);
  sheet.mode = 1;
  sheet.temperatureSource = 2;  // no temperature reading
  sheet.Begin();
  auto* step1 = sheet.FindPageByClass<CalibrationPH::CStep1Page>();
  sheet.SetActivePage(step1);
  ASSERT_TRUE(WaitUntil([&] { return step1->edit1353()->text() == "6.900"; }, 3000));

  // Values that are no single finite number: a message, and nothing goes out.
  for (const char* typed : {"1e39", "6.86abc"}) {
    step1->edit1354()->setText(typed);
    Click(sheet, CmySheet::kIdNext);
    EXPECT_EQ(Last(prompter_.texts), "Введено некорректное значение!") << typed;
  }
  EXPECT_EQ(Frames({"Rd.Rs"}), std::vector<std::string>{});

  // The refused point: the link's text, no watch of the status word, the page stays.
  step1->edit1354()->setText("6,86");
  Click(sheet, CmySheet::kIdNext);
  EXPECT_EQ(Last(prompter_.texts), "Значение мантиссы превышает ограничения дескриптора");  // code 6
  EXPECT_EQ(sheet.ActivePage(), step1);
  EXPECT_FALSE(sheet.progress()->IsRunning());
  EXPECT_TRUE(sheet.Button(CmySheet::kIdNext)->isEnabled());
  QTest::qWait(600);
  EXPECT_EQ(sheet.ActivePage(), step1);
  EXPECT_EQ(Frames({"Rd.Rs"}), std::vector<std::string>{"W U.pHL [" + FloatData(6.86f) + "]"});

  // Taken the second time: the watch moves on to the second point.
  Click(sheet, CmySheet::kIdNext);
  ASSERT_TRUE(WaitUntil([&] { return sheet.ActivePage() == sheet.FindPageByClass<CalibrationPH::CStep2Page>(); },
                        5000));
  EXPECT_EQ(Frames({"Rd.Rs"}), (std::vector<std::string>{"W U.pHL [" + FloatData(6.86f) + "]", "R Rd.St []"}));
}

TEST_F(Calibration2WizardsTest, PhRepeatBitKeepsTheSheetOpen) {
  ASSERT_NO_FATAL_FAILURE(Open(18, {"rdst 8"}));
  CalibrationPH::CSheetPH sheet(link_.get(), doc_->rootBranch, doc_->scannersBranch);
  sheet.Begin();
  sheet.SetActivePage(sheet.FindPageByClass<CalibrationPH::CSavePHPage>());
  Click(sheet, CmySheet::kIdFinish);
  EXPECT_TRUE(sheet.isVisible());
  EXPECT_EQ(prompter_.texts, std::vector<std::string>{"Пожалуйста, повторите операцию юстировки."});
  EXPECT_EQ(sheet.Button(CmySheet::kIdBack)->text(), "Повторить");
  EXPECT_FALSE(sheet.Button(CmySheet::kIdFinish)->isEnabled());
  Click(sheet, CmySheet::kIdBack);
  EXPECT_EQ(sheet.ActiveIndex(), 0);
  EXPECT_EQ(Frames(), (std::vector<std::string>{"W U.Apl []", "R Rd.St []"}));

  // A status word that cannot be read: the sheet closes saying the result is not verified.
  ASSERT_NO_FATAL_FAILURE(Fault({"clear", "error-on Rd.St 6"}));
  sheet.SetActivePage(sheet.FindPageByClass<CalibrationPH::CSavePHPage>());
  Click(sheet, CmySheet::kIdFinish);
  EXPECT_EQ(sheet.result(), QDialog::Accepted);
  EXPECT_EQ(Last(prompter_.texts), calibration::kUnverifiedText);
  EXPECT_EQ(Last(prompter_.icons), platform::MessageIcon::Warning);
}

TEST_F(Calibration2WizardsTest, StrainGaugeUserPointsOfTheChosenChannel) {
  ASSERT_NO_FATAL_FAILURE(Open(14, {"reading Rd.fV 2 2.0"}));
  CalibrationTD::CSheetTD sheet(link_.get(), doc_->rootBranch, doc_->scannersBranch, true);
  sheet.Begin();
  auto* first = sheet.FindPageByClass<CalibrationTD::CPage1VI>();
  first->codeEdit()->setText("961");
  Click(sheet, CmySheet::kIdNext);  // reveals the type (user) and the channel
  ASSERT_EQ(sheet.ActiveIndex(), 0);
  EXPECT_EQ(first->typeCombo()->currentIndex(), 1);
  ASSERT_FALSE(first->channelCombo()->isHidden());
  EXPECT_EQ(first->channelCombo()->count(), 4);
  EXPECT_TRUE(first->sensitivityCombo()->isHidden());
  first->channelCombo()->setCurrentIndex(2);
  Click(sheet, CmySheet::kIdNext);
  auto* lower = sheet.FindPageByClass<CalibrationTD::CUserMinPage>();
  ASSERT_EQ(sheet.ActivePage(), lower);
  EXPECT_NE(lower->Text().indexOf("Текущая чувствительность: 3 мВ/В\nДиапазон: -15..+15 мВ"), -1);
  // Next needs a voltage read on this page.
  Click(sheet, CmySheet::kIdNext);
  EXPECT_EQ(Last(prompter_.texts), calibration::kNoVoltageText);
  ASSERT_TRUE(WaitUntil([&] { return lower->edit1355()->text() == "2.0000"; }, 3000));
  lower->edit1353()->setText("20");
  lower->edit1354()->setText("10,0");
  Click(sheet, CmySheet::kIdNext);
  auto* upper = sheet.FindPageByClass<CalibrationTD::CUserMaxPage>();
  ASSERT_EQ(sheet.ActivePage(), upper);
  ASSERT_NO_FATAL_FAILURE(Fault({"reading Rd.fV 2 8.0"}));
  ASSERT_TRUE(WaitUntil([&] { return upper->edit1355()->text() == "8.0000"; }, 3000));
  upper->edit1353()->setText("80");
  upper->edit1354()->setText("40");
  Click(sheet, CmySheet::kIdNext);
  ASSERT_EQ(sheet.ActivePage(), sheet.FindPageByClass<CalibrationTD::CUserSavePage>());
  Click(sheet, CmySheet::kIdFinish);
  EXPECT_EQ(sheet.result(), QDialog::Accepted);
  EXPECT_EQ(Frames({"Rd.fV"}),
            (std::vector<std::string>{
                "R M.s.t.r.:v.min", "R v.min [0,2]", "R M.s.t.r.:Sens", "R Sens [0,2]", "R M.s.t.r.:v.max",
                "R v.max [0,2]", "R M.s.t.r.:Sens", "R Sens [0,2]", "W zu.fn [" + FloatData(0) + ",0,2]",
                "W zu.fx [" + FloatData(10) + ",0,2]", "W U.Apl []", "R Rd.St []", "W M.s.t.r.:v.min",
                "W v.min [" + FloatData(0) + ",0,2]", "W M.s.t.r.:v.max", "W v.max [" + FloatData(50) + ",0,2]"}));
}

TEST_F(Calibration2WizardsTest, StrainGaugeFactoryStepsWithoutChannelIndex) {
  ASSERT_NO_FATAL_FAILURE(Open(13, {"rdst 0x40"}));
  CalibrationTD::CSheetTD sheet(link_.get(), doc_->rootBranch, doc_->scannersBranch, false);
  sheet.Begin();
  auto* first = sheet.FindPageByClass<CalibrationTD::CPage1VI>();
  first->codeEdit()->setText("961");
  Click(sheet, CmySheet::kIdNext);
  EXPECT_TRUE(first->channelCombo()->isHidden());  // one channel: no choice
  first->typeCombo()->setCurrentIndex(0);
  ASSERT_FALSE(first->sensitivityCombo()->isHidden());
  EXPECT_EQ(first->sensitivityCombo()->itemText(1).toStdString(), "1,5 мВ/В (-7.5..+7.5 мВ)");
  first->sensitivityCombo()->setCurrentIndex(1);
  Click(sheet, CmySheet::kIdNext);
  ASSERT_EQ(sheet.ActiveIndex(), 1);
  EXPECT_NE(static_cast<CTextPage*>(sheet.ActivePage())->Text().indexOf("-7.5 мВ"), -1);
  Click(sheet, CmySheet::kIdNext);
  ASSERT_TRUE(WaitUntil([&] { return sheet.ActiveIndex() == 2; }, 3000));  // after the settling pause
  Click(sheet, CmySheet::kIdNext);
  ASSERT_EQ(sheet.ActiveIndex(), 3);
  // A failure bit after the save: "Повторить", and the sheet stays.
  Click(sheet, CmySheet::kIdFinish);
  EXPECT_TRUE(sheet.isVisible());
  EXPECT_EQ(Last(prompter_.texts), "Ошибка калибровки!");
  EXPECT_EQ(sheet.Button(CmySheet::kIdBack)->text(), "Повторить");
  EXPECT_FALSE(sheet.Button(CmySheet::kIdFinish)->isEnabled());
  EXPECT_EQ(Frames(), (std::vector<std::string>{"W M.s.t.r.:Sens", "W Sens [1]", "W zU.Sh []", "W zU.Sc []",
                                                "W U.Apl []", "R Rd.St []"}));
  Click(sheet, CmySheet::kIdBack);
  EXPECT_EQ(sheet.ActiveIndex(), 0);
}

TEST_F(Calibration2WizardsTest, InductanceTableFitWrittenInOrder) {
  ASSERT_NO_FATAL_FAILURE(Open(12, {"reading Rd.fH 0 1.25", "error-on Rd.St 6"}));
  CalibrationVI::CSheetVI sheet(link_.get(), doc_->rootBranch, doc_->scannersBranch);
  sheet.Begin();
  auto* first = sheet.FindPageByClass<CalibrationVI::CPage1VI>();
  first->codeEdit()->setText("846");
  Click(sheet, CmySheet::kIdNext);
  ASSERT_FALSE(first->kindCombo()->isHidden());
  first->kindCombo()->setCurrentIndex(1);
  ASSERT_FALSE(first->userModeCombo()->isHidden());
  first->userModeCombo()->setCurrentIndex(1);
  Click(sheet, CmySheet::kIdNext);
  auto* page = sheet.FindPageByClass<CalibrationVI::CUserMeasuringPage>();
  ASSERT_EQ(sheet.ActivePage(), page);
  EXPECT_EQ(sheet.Button(CmySheet::kIdFinish)->text(), "Сохранить");
  page->countEdit()->setText("22");
  page->applyButton()->click();
  EXPECT_EQ(Last(prompter_.texts), "Введите значение от 2 до 21.");
  page->countEdit()->setText("3");
  page->applyButton()->click();
  myClass::CPointsTableCtrl* table = page->table();
  EXPECT_TRUE(table->GetFlags(3, 1) & myClass::TableControl::kCellDisabled);
  EXPECT_FALSE(table->GetFlags(2, 1) & myClass::TableControl::kCellDisabled);
  // The measurement: 32 reads of "Rd.fH" averaged into the row's inductance.
  table->OnButtonCell(0, 3);
  EXPECT_EQ(table->GetItemText(0, 1), "1.250000");
  EXPECT_EQ(Frames(), std::vector<std::string>{"R Rd.fH []"});
  // A decimal comma is read as the other wizards read it.
  table->SetCellText(1, 2, "0,5");
  EXPECT_EQ(table->GetItemText(1, 2), "0.500000");
  // Equal inductances are refused before anything is written.
  Click(sheet, CmySheet::kIdFinish);
  EXPECT_TRUE(sheet.isVisible());
  EXPECT_EQ(Frames(), std::vector<std::string>{});
  for (const auto& [row, x, y] : {std::tuple{0, "0", "0"}, {1, "1", "1"}, {2, "2", "0"}}) {
    table->SetCellText(row, 1, x);
    table->SetCellText(row, 2, y);
  }
  Click(sheet, CmySheet::kIdFinish);
  EXPECT_EQ(sheet.result(), QDialog::Accepted);
  std::vector<std::string> expected;
  for (int row = 0; row < 3; ++row)
    expected.push_back("W uU.Pn [" + FloatData(static_cast<float>(row)) + ",0," + std::to_string(row) + "]");
  const float k[] = {0, 1.5f, 0, -0.5f, 1, 0, -1.5f, 0.5f};
  for (int j = 0; j < 8; ++j) expected.push_back("W uU.Kf [" + FloatData(k[j]) + ",0," + std::to_string(j) + "]");
  expected.push_back("W U.Apl []");
  expected.push_back("R Rd.St []");
  EXPECT_EQ(Frames(), expected);
  // The status word did not come: the result is not called good.
  EXPECT_EQ(Last(prompter_.texts), calibration::kUnverifiedText);
}

TEST_F(Calibration2WizardsTest, InductanceFactoryStepsNameTheRange) {
  ASSERT_NO_FATAL_FAILURE(Open(12, {"error-on zU.Sc 6", "error-on Rd.St 6"}));
  CalibrationVI::CSheetVI sheet(link_.get(), doc_->rootBranch, doc_->scannersBranch);
  sheet.Begin();
  auto* first = sheet.FindPageByClass<CalibrationVI::CPage1VI>();
  first->codeEdit()->setText("846");
  Click(sheet, CmySheet::kIdNext);
  first->kindCombo()->setCurrentIndex(0);
  Click(sheet, CmySheet::kIdNext);
  ASSERT_EQ(sheet.ActiveIndex(), 1);
  Parameter* tdev = doc_->rootBranch->FindParameter("tdev");
  ASSERT_NE(tdev, nullptr);
  EXPECT_NE(static_cast<CTextPage*>(sheet.ActivePage())
                ->Text()
                .indexOf(QString::fromStdString("прибора  " + tdev->value + ".")),
            -1);
  Click(sheet, CmySheet::kIdNext);
  ASSERT_EQ(sheet.ActiveIndex(), 2);
  Click(sheet, CmySheet::kIdNext);  // the module refuses: the box, the page stays
  EXPECT_EQ(sheet.ActiveIndex(), 2);
  EXPECT_EQ(prompter_.texts.size(), 1u);
  Click(sheet, CmySheet::kIdNext);
  ASSERT_EQ(sheet.ActiveIndex(), 3);
  Click(sheet, CmySheet::kIdFinish);
  EXPECT_EQ(sheet.result(), QDialog::Accepted);
  EXPECT_EQ(prompter_.texts.size(), 2u);
  EXPECT_EQ(Last(prompter_.texts), calibration::kUnverifiedText);
  EXPECT_EQ(Frames(), (std::vector<std::string>{"R tdev []", "W zU.Sh []", "W zU.Sc []", "W U.Apl []", "R Rd.St []"}));
}

TEST(ReadingSheet, AStepOverItsLimitEndsOnTheErrorPage) {
  CReadingSheet sheet(nullptr, 100, "Шаг не завершён.", true);
  sheet.AddPage(new CTextPage(&sheet, QStringLiteral("Шаг 1")));
  sheet.AddPage(new CTextPage(&sheet, QStringLiteral("Шаг 2")));
  auto* error = new CErrorPage(&sheet);
  sheet.AddPage(error);
  sheet.Begin();
  sheet.StartProgress();
  EXPECT_FALSE(sheet.Button(CmySheet::kIdNext)->isEnabled());
  EXPECT_FALSE(sheet.progressLabel()->isHidden());
  ASSERT_TRUE(WaitUntil([&] { return sheet.ActivePage() == error; }, 3000));
  EXPECT_EQ(error->message, "Шаг не завершён.");
  EXPECT_FALSE(sheet.progress()->IsRunning());
  EXPECT_TRUE(sheet.progressLabel()->isHidden());
  // A step that ends in time stops the limit with it.
  sheet.SetActivePage(0);
  sheet.StartProgress();
  sheet.StopProgress();
  QTest::qWait(250);
  EXPECT_EQ(sheet.ActiveIndex(), 0);
  EXPECT_TRUE(sheet.Button(CmySheet::kIdNext)->isEnabled());
}

TEST_F(Calibration2WizardsTest, ModelsOpenTheirWizards) {
  RegisterCalibrationLauncher(nullptr);
  struct Case {
    int model;
    std::function<bool(QWidget*)> is;
    int pages;
  } cases[] = {
      {12, [](QWidget* w) { return qobject_cast<CalibrationVI::CSheetVI*>(w) != nullptr; }, 6},
      {14, [](QWidget* w) { return qobject_cast<CalibrationTD::CSheetTD*>(w) != nullptr; }, 7},
      {18, [](QWidget* w) { return qobject_cast<CalibrationPH::CSheetPH*>(w) != nullptr; }, 5},
      {20, [](QWidget* w) { return qobject_cast<CalibrationPW::CSheetPW*>(w) != nullptr; }, 6},
      {22, [](QWidget* w) { return qobject_cast<CalibrationPW::CSheetPW*>(w) != nullptr; }, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    ASSERT_NO_FATAL_FAILURE(Open(c.model));
    auto* model = dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel());
    ASSERT_NE(model, nullptr);
    bool seen = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
      if (auto* sheet = qobject_cast<CmySheet*>(QApplication::activeModalWidget())) {
        seen = c.is(sheet) && sheet->PageCount() == c.pages;
        sheet->reject();
      }
    });
    user.start(30);
    model->Calibrate();
    EXPECT_TRUE(seen);
    doc_.reset();
    sim_->Stop();
  }
  BaseDevice::SetCalibrationLauncher(nullptr);
}

}  // namespace
