// The input/output state dialog offscreen against the simulated discrete module
// with counters, four outputs and the input-state word: the worker fills the rows
// and the indicators, the colours follow the values, a counter reset and the
// all-outputs switch reach the module, and the first Cancel waits for the worker.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <functional>

#include "ServiceDialogTestSupport.h"
#include "app/ui/CStateInOutDlg.h"
#include "app/ui/CmyStatic.h"
#include "app/ui/StateTable.h"
#include "devices/CBaseDevice.h"

namespace {

// The model of a discrete input/output module as the state dialog asks it.
class DiscreteModel : public BaseDevice::CBaseDevice {
 public:
  explicit DiscreteModel(BaseDevice::DeviceDocument* document) : CBaseDevice(document) {}
  bool HasInputs() const override { return true; }
  bool HasOutputs() const override { return true; }
  std::string GetInputsStateParamName() const override { return "r.Cou"; }
  std::string GetOutputsStateParamName() const override { return "r.oe"; }
  void GetInputLedRect(BaseDevice::Rect& rect) const override { rect = {10, 20, 22, 32}; }
  void GetOutputLedRect(BaseDevice::Rect& rect) const override { rect = {10, 20, 22, 32}; }
  int GetInputLedStep() const override { return 16; }
  int GetOutputLedStep() const override { return 16; }
};

// Waits, serving the window thread's events, until the condition holds (bounded).
bool WaitFor(const std::function<bool()>& condition, int limitMs = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QTest::qWait(10);
  }
  return true;
}

class StateDialogTest : public ServiceDialogTest {
 protected:
  void SetUp() override {
    ServiceDialogTest::SetUp();
    StartModule(3);
    OpenDocument();
    App().SetDeviceModel(std::make_unique<DiscreteModel>(doc_.get()));
  }
  void TearDown() override {
    App().SetDeviceModel(nullptr);
    ServiceDialogTest::TearDown();
  }

  // A value of the module's slot, as wide as the module keeps it, big-endian.
  void SetModuleValue(const char* name, int slot, uint32_t value) {
    z580sim::Bytes bytes;
    ASSERT_TRUE(sim_->GetValue(name, slot, bytes)) << name;
    for (size_t i = 0; i < bytes.size(); ++i) bytes[bytes.size() - 1 - i] = static_cast<uint8_t>(value >> (8 * i));
    ASSERT_TRUE(sim_->SetValue(name, slot, bytes));
  }
  uint32_t ModuleValue(const char* name, int slot) {
    z580sim::Bytes bytes;
    EXPECT_TRUE(sim_->GetValue(name, slot, bytes));
    uint32_t v = 0;
    for (uint8_t b : bytes) v = v << 8 | b;
    return v;
  }
  // A float as the module keeps it: the program's own encoding.
  void SetModuleFloat(const char* name, int slot, const char* text) {
    Parameter p(name);
    p.type = "float";
    p.value = text;
    ValueBytes data;
    ASSERT_EQ(p.ConvertToData(data), MyConverter::kConverted);
    ASSERT_TRUE(sim_->SetValue(name, slot, z580sim::Bytes(data.begin(), data.end())));
  }
  std::string ModuleFloat(const char* name, int slot) {
    z580sim::Bytes bytes;
    EXPECT_TRUE(sim_->GetValue(name, slot, bytes));
    Parameter p(name);
    p.type = "float";
    p.ConvertFromData(bytes);
    return p.value;
  }
  static QRgb Pixel(QWidget* w) { return w->grab().toImage().pixel(3, 3); }
};

TEST_F(StateDialogTest, ShowsTheModuleAndWritesToIt) {
  SetModuleValue("r.Cou", 0, 5);
  SetModuleValue("r.Cou", 1, 7);
  SetModuleValue("r.cn", 0, 0x5);                // inputs 1 and 3 on
  SetModuleFloat("r.oe", 0, "1");
  SetModuleFloat("r.oe", 1, "0.5");
  SetModuleFloat("r.oe", 2, "0");
  SetModuleFloat("r.oe", 3, "1");

  Dialogs::CStateInOutDlg dialog(*doc_, nullptr);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Состояние входов и выходов");
  // 8 counters: 4 columns, 2 rows; 4 outputs: 2 and 2.
  ASSERT_EQ(dialog.InputsTable()->rowCount(), 8);
  ASSERT_EQ(dialog.OutputsTable()->rowCount(), 4);
  ASSERT_NE(dialog.InputLed(7), nullptr);
  EXPECT_EQ(dialog.InputLed(8), nullptr);
  EXPECT_EQ(dialog.InputLed(4)->x(), dialog.InputLed(0)->x());
  EXPECT_GT(dialog.InputLed(4)->y(), dialog.InputLed(0)->y());
  EXPECT_EQ(dialog.InputLed(4)->text(), "5");
  ASSERT_NE(dialog.OutputLed(3), nullptr);
  EXPECT_GT(dialog.OutputLed(0)->x(), dialog.InputLed(3)->x());  // the outputs side is to the right

  // The worker fills the cells and the indicators.
  ASSERT_TRUE(WaitFor([&] {
    return dialog.OutputLed(2)->GetStateText() == "0.000" && dialog.InputsTable()->item(1, 0)->text() == "7" &&
           dialog.InputLed(2)->GetStateText() == "1";
  })) << dialog.OutputLed(2)->GetStateText() << "|" << dialog.InputsTable()->item(1, 0)->text().toStdString() << "|"
      << dialog.InputLed(2)->GetStateText() << "|" << dialog.OutputsTable()->item(2, 0)->text().toStdString();
  EXPECT_EQ(dialog.OutputLed(0)->GetStateText(), "1.000");
  EXPECT_EQ(dialog.OutputLed(1)->GetStateText(), "0.500");
  EXPECT_EQ(dialog.InputsTable()->item(0, 0)->text(), "5");
  EXPECT_EQ(dialog.InputLed(1)->GetStateText(), "0");
  QTest::qWait(20);
  const QRgb window = dialog.palette().color(QPalette::Window).rgb();
  EXPECT_EQ(Pixel(dialog.OutputLed(0)), qRgb(113, 255, 113));
  EXPECT_EQ(Pixel(dialog.OutputLed(2)), window);
  EXPECT_NE(Pixel(dialog.OutputLed(1)), window);  // the hatch
  EXPECT_EQ(Pixel(dialog.InputLed(0)), qRgb(255, 176, 98));
  EXPECT_EQ(Pixel(dialog.InputLed(1)), window);

  // A counter reset writes 0 to the module.
  auto* reset = qobject_cast<QPushButton*>(dialog.InputsTable()->cellWidget(0, 2));
  ASSERT_NE(reset, nullptr);
  QTest::mouseClick(reset, Qt::LeftButton);
  EXPECT_EQ(ModuleValue("r.Cou", 0), 0u);
  EXPECT_TRUE(prompter_.requests.empty());

  // An edited output is written at once; an unchanged "Н/Д" is not.
  emit dialog.OutputsTable()->beginEdit(2);
  emit dialog.OutputsTable()->endEdit(2, "1");
  EXPECT_EQ(ModuleFloat("r.oe", 2), "1.000");
  sim_->ClearRequests();
  emit dialog.OutputsTable()->endEdit(3, "Н/Д");
  for (const auto& r : sim_->Requests()) EXPECT_TRUE(r.read) << r.name;
  emit dialog.OutputsTable()->endEdit(2, "0");
  EXPECT_EQ(ModuleFloat("r.oe", 2), "0.000");

  // One output at 0: all go on; then all off.
  dialog.OnAllOutputs();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ModuleFloat("r.oe", i), "1.000") << i;
  dialog.OnAllOutputs();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ModuleFloat("r.oe", i), "0.000") << i;

  // The first Cancel only asks the worker to stop; the dialog ends once it has.
  dialog.reject();
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_TRUE(WaitFor([&] { return !dialog.isVisible(); }));
  EXPECT_TRUE(dialog.WorkerStopped());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

}  // namespace
