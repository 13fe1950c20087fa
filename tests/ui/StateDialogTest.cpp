// The input/output state dialog offscreen against the simulated modules, with the
// program's own model classes: the discrete module with counters, four outputs and
// the input-state word (the worker fills the rows and the indicators, the colours
// follow the values, a counter reset, an output edit and the all-outputs switch
// reach the module, an abandoned edit gives the row back to the worker, and the
// first Cancel waits for the worker), and the counters-only module (one side).
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <chrono>
#include <functional>

#include "RealInput.h"
#include "ServiceDialogTestSupport.h"
#include "app/ui/CStateInOutDlg.h"
#include "app/ui/CmyStatic.h"
#include "app/ui/CStateTableCtrl.h"
#include "devices/CBaseDevice.h"
#include "devices/CZ580M03.h"
#include "devices/CZ580M04.h"
#include "devices/CZ580M05.h"
#include "devices/CreateDeviceModel.h"

namespace {

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
  // The module of a model index with the program's model class for it.
  template <typename Model>
  void Open(int model) {
    ASSERT_NO_FATAL_FAILURE(StartModule(model));
    ASSERT_NO_FATAL_FAILURE(OpenDocument());
    auto device = CreateDeviceModel(static_cast<signed char>(model), doc_.get());
    ASSERT_NE(dynamic_cast<Model*>(device.get()), nullptr);
    App().SetDeviceModel(std::move(device));
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
  static QPoint CellCentre(myClass::CStateTableCtrl* table, int row, int column) {
    return table->visualRect(table->model()->index(row, column)).center();
  }
};

TEST_F(StateDialogTest, ShowsTheModuleAndWritesToIt) {
  ASSERT_NO_FATAL_FAILURE(Open<BaseDevice::CZ580M04>(3));
  ASSERT_NO_FATAL_FAILURE(SetModuleValue("r.Cou", 0, 5));
  ASSERT_NO_FATAL_FAILURE(SetModuleValue("r.Cou", 1, 7));
  ASSERT_NO_FATAL_FAILURE(SetModuleValue("r.cn", 0, 0x5));                // inputs 1 and 3 on
  ASSERT_NO_FATAL_FAILURE(SetModuleFloat("r.oe", 0, "1"));
  ASSERT_NO_FATAL_FAILURE(SetModuleFloat("r.oe", 1, "0.5"));
  ASSERT_NO_FATAL_FAILURE(SetModuleFloat("r.oe", 2, "0"));
  ASSERT_NO_FATAL_FAILURE(SetModuleFloat("r.oe", 3, "1"));

  Dialogs::CStateInOutDlg dialog(*doc_, nullptr);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Состояние входов и выходов");
  myClass::CStateTableCtrl* inputs = dialog.InputsTable();
  myClass::CStateTableCtrl* outputs = dialog.OutputsTable();
  // 8 counters: 4 columns, 2 rows; 4 outputs: 2 and 2.
  ASSERT_EQ(inputs->GetItemCount(), 8);
  ASSERT_EQ(outputs->GetItemCount(), 4);
  ASSERT_NE(dialog.InputLed(7), nullptr);
  EXPECT_EQ(dialog.InputLed(8), nullptr);
  EXPECT_EQ(dialog.InputLed(4)->x(), dialog.InputLed(0)->x());
  EXPECT_GT(dialog.InputLed(4)->y(), dialog.InputLed(0)->y());
  EXPECT_EQ(dialog.InputLed(4)->text(), "5");
  ASSERT_NE(dialog.OutputLed(3), nullptr);
  EXPECT_GT(dialog.OutputLed(0)->x(), dialog.InputLed(3)->x());  // the outputs side is to the right
  // Rows of 20 pixels, each table as tall as its rows, the dialog as the taller.
  EXPECT_EQ(inputs->rowHeight(0), 20);
  EXPECT_EQ(inputs->height(), 8 * 20 + inputs->horizontalHeader()->sizeHint().height() + 10);
  EXPECT_EQ(dialog.height(), inputs->height() + inputs->y() + 20);

  // The worker fills the cells and the indicators.
  ASSERT_TRUE(WaitFor([&] {
    return dialog.OutputLed(2)->GetStateText() == "0.000" && inputs->GetItemText(1, 0) == "7" &&
           dialog.InputLed(2)->GetStateText() == "1";
  })) << dialog.OutputLed(2)->GetStateText() << "|" << inputs->GetItemText(1, 0) << "|"
      << dialog.InputLed(2)->GetStateText() << "|" << outputs->GetItemText(2, 0);
  EXPECT_EQ(dialog.OutputLed(0)->GetStateText(), "1.000");
  EXPECT_EQ(dialog.OutputLed(1)->GetStateText(), "0.500");
  EXPECT_EQ(inputs->GetItemText(0, 0), "5");
  EXPECT_EQ(dialog.InputLed(1)->GetStateText(), "0");
  QTest::qWait(20);
  const QRgb window = dialog.palette().color(QPalette::Window).rgb();
  EXPECT_EQ(Pixel(dialog.OutputLed(0)), qRgb(113, 255, 113));
  EXPECT_EQ(Pixel(dialog.OutputLed(2)), window);
  EXPECT_NE(Pixel(dialog.OutputLed(1)), window);  // the hatch
  EXPECT_EQ(Pixel(dialog.InputLed(0)), qRgb(255, 176, 98));
  EXPECT_EQ(Pixel(dialog.InputLed(1)), window);

  // The reset button of a counter writes 0 to the module; its other cells are no buttons.
  QTest::mouseClick(inputs->viewport(), Qt::LeftButton, {}, CellCentre(inputs, 0, 1));
  EXPECT_EQ(ModuleValue("r.Cou", 0), 5u);
  QTest::mouseClick(inputs->viewport(), Qt::LeftButton, {}, CellCentre(inputs, 0, 2));
  EXPECT_EQ(ModuleValue("r.Cou", 0), 0u);
  EXPECT_TRUE(prompter_.requests.empty());

  // An edited output is written at once.
  const auto edit = [&](int row, const char* text, Qt::Key key) {
    outputs->BeginEdit(row, 0);
    ASSERT_NE(outputs->EditBox(), nullptr);
    if (text) outputs->EditBox()->setText(QString::fromUtf8(text));
    QTest::keyClick(outputs->EditBox(), key);
    ASSERT_EQ(outputs->EditBox(), nullptr);
  };
  ASSERT_NO_FATAL_FAILURE(edit(2, "1", Qt::Key_Return));
  EXPECT_EQ(ModuleFloat("r.oe", 2), "1.000");
  ASSERT_NO_FATAL_FAILURE(edit(2, "0", Qt::Key_Return));
  EXPECT_EQ(ModuleFloat("r.oe", 2), "0.000");
  // An untouched "Н/Д" and an Escape write nothing, and the worker takes the row up again.
  sim_->ClearRequests();
  ValueText noData;
  noData.SetNoData();
  outputs->SetItemText(3, 0, noData);
  ASSERT_NO_FATAL_FAILURE(edit(3, nullptr, Qt::Key_Return));
  ASSERT_NO_FATAL_FAILURE(edit(2, "1", Qt::Key_Escape));
  for (const auto& r : sim_->Requests()) EXPECT_TRUE(r.read) << r.name;
  ASSERT_NO_FATAL_FAILURE(SetModuleFloat("r.oe", 2, "0.25"));
  ASSERT_NO_FATAL_FAILURE(SetModuleFloat("r.oe", 3, "0.75"));
  EXPECT_TRUE(WaitFor([&] { return outputs->GetItemText(2, 0) == "0.250" && outputs->GetItemText(3, 0) == "0.750"; }))
      << outputs->GetItemText(2, 0) << "|" << outputs->GetItemText(3, 0);

  // No output at 0 (1, 0.5, 0.25, 0.75): all go off; then, all at 0, all on.
  dialog.OnAllOutputs();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ModuleFloat("r.oe", i), "0.000") << i;
  dialog.OnAllOutputs();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(ModuleFloat("r.oe", i), "1.000") << i;

  // The first Cancel only asks the worker to stop; the dialog ends once it has.
  dialog.reject();
  EXPECT_TRUE(dialog.isVisible());
  ASSERT_TRUE(WaitFor([&] { return !dialog.isVisible(); }));
  EXPECT_TRUE(dialog.WorkerStopped());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(StateDialogTest, OneSidedModulesShowOnlyTheirSide) {
  const auto close = [](Dialogs::CStateInOutDlg& dialog) {
    dialog.reject();
    EXPECT_TRUE(WaitFor([&] { return !dialog.isVisible(); }));
  };
  {
    ASSERT_NO_FATAL_FAILURE(Open<BaseDevice::CZ580M05>(4));
    Dialogs::CStateInOutDlg dialog(*doc_, nullptr);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Состояние входов");
    EXPECT_TRUE(dialog.InputsTable()->isVisible());
    EXPECT_FALSE(dialog.OutputsTable()->isVisible());
    EXPECT_EQ(dialog.OutputLed(0), nullptr);
    // 16 counters: 8 columns of 2, numbered row by row; the table shows all 16 rows.
    ASSERT_NE(dialog.InputLed(15), nullptr);
    EXPECT_EQ(dialog.InputLed(16), nullptr);
    EXPECT_EQ(dialog.InputLed(8)->text(), "9");
    EXPECT_EQ(dialog.InputLed(8)->x(), dialog.InputLed(0)->x());
    EXPECT_EQ(dialog.InputLed(7)->y(), dialog.InputLed(0)->y());
    myClass::CStateTableCtrl* inputs = dialog.InputsTable();
    EXPECT_EQ(inputs->height(), 16 * 20 + inputs->horizontalHeader()->sizeHint().height() + 10);
    close(dialog);
  }
  App().SetDeviceModel(nullptr);
  doc_.reset();
  sim_->Stop();
  {
    // Outputs only: the outputs side takes the place of the inputs side, and the
    // dialog is as wide as one side.
    ASSERT_NO_FATAL_FAILURE(Open<BaseDevice::CZ580M03>(2));
    Dialogs::CStateInOutDlg dialog(*doc_, nullptr);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Состояние выходов");
    EXPECT_FALSE(dialog.InputsTable()->isVisible());
    EXPECT_TRUE(dialog.OutputsTable()->isVisible());
    EXPECT_EQ(dialog.OutputsTable()->pos(), dialog.InputsTable()->pos());
    EXPECT_LT(dialog.width(), 2 * dialog.OutputsTable()->width());
    // 6 outputs: 3 columns of 2.
    ASSERT_NE(dialog.OutputLed(5), nullptr);
    EXPECT_EQ(dialog.OutputLed(6), nullptr);
    EXPECT_EQ(dialog.OutputLed(3)->x(), dialog.OutputLed(0)->x());
    EXPECT_GT(dialog.OutputLed(3)->y(), dialog.OutputLed(0)->y());
    EXPECT_LT(dialog.OutputLed(0)->x(), dialog.OutputsTable()->x() + dialog.OutputsTable()->width());
    close(dialog);
  }
}

// An output typed as a person types (double click, the keys, Enter): a text that is
// no number writes nothing, says so and leaves the value held; "0,5" is half. A
// half-typed value (no Enter) is not written by scrolling the table.
class StateDialogXvfb : public StateDialogTest {};

TEST_F(StateDialogXvfb, TypedOutputValuesAreNumbersOrNothingIsWritten) {
  Z580_REQUIRE_XCB();
  ASSERT_NO_FATAL_FAILURE(Open<BaseDevice::CZ580M04>(3));
  ASSERT_NO_FATAL_FAILURE(SetModuleFloat("r.oe", 2, "0.25"));
  Dialogs::CStateInOutDlg dialog(*doc_, nullptr);
  ASSERT_TRUE(realinput::ShowActive(dialog));
  myClass::CStateTableCtrl* outputs = dialog.OutputsTable();
  ASSERT_TRUE(WaitFor([&] { return outputs->GetItemText(2, 0) == "0.250"; })) << outputs->GetItemText(2, 0);
  const auto type = [&](const char* keys, bool enter = true) {
    QTest::mouseDClick(outputs->viewport(), Qt::LeftButton, {}, CellCentre(outputs, 2, 0));
    ASSERT_TRUE(realinput::Until([&] { return outputs->EditBox() != nullptr && QApplication::focusWidget(); }));
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(focus, Qt::Key_Backspace);
    QTest::keyClicks(focus, keys);
    if (enter) QTest::keyClick(focus, Qt::Key_Return);
    QApplication::processEvents();
  };
  const auto writes = [&] {
    int n = 0;
    for (const auto& r : sim_->Requests()) n += !r.read && r.name.find("r.oe") != std::string::npos;
    return n;
  };
  for (const char* keys : {"abc", "", "0.5x"}) {
    sim_->ClearRequests();
    prompter_.requests.clear();
    type(keys);
    EXPECT_EQ(writes(), 0) << keys;
    EXPECT_EQ(ModuleFloat("r.oe", 2), "0.250") << keys;
    EXPECT_EQ(outputs->GetItemText(2, 0), "0.250") << keys;
    EXPECT_NE(prompter_.Texts().find("'" + std::string(keys) + "'"), std::string::npos) << prompter_.Texts();
  }
  sim_->ClearRequests();
  prompter_.requests.clear();
  type("0,5");
  EXPECT_EQ(writes(), 1);
  EXPECT_EQ(ModuleFloat("r.oe", 2), "0.500");
  EXPECT_EQ(outputs->GetItemText(2, 0), "0.500");
  EXPECT_TRUE(prompter_.requests.empty()) << prompter_.Texts();

  // Three of the four rows in sight: the table scrolls.
  outputs->resize(outputs->width(), outputs->horizontalHeader()->height() + 3 * 20 + 2 * outputs->frameWidth());
  QScrollBar* bar = outputs->verticalScrollBar();
  const std::function<void(QWidget*)> scrolls[] = {
      [&](QWidget*) { ASSERT_TRUE(realinput::Wheel(bar->mapToGlobal(QPoint(bar->width() / 2, 20)), 1)); },
      [&](QWidget*) { QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - 4)); },
      [](QWidget* box) { QTest::keyClick(box, Qt::Key_PageDown); }};
  for (const auto& scroll : scrolls) {
    bar->setValue(0);
    sim_->ClearRequests();
    type("0.75", false);
    scroll(QApplication::focusWidget());
    QTest::qWait(100);
    EXPECT_GT(bar->value(), 0);
    EXPECT_EQ(writes(), 0);
    ASSERT_NE(outputs->EditBox(), nullptr);
    EXPECT_EQ(outputs->EditBox()->text(), "0.75");
    QTest::keyClick(outputs->EditBox(), Qt::Key_Escape);
  }
  dialog.reject();
  ASSERT_TRUE(WaitFor([&] { return !dialog.isVisible(); }));
}

// Closed with an output half typed, by any path, the window writes nothing: as
// Escape does, the close drops the edit (openbox manages the window).
class StateDialogOpenbox : public StateDialogTest {};

TEST_F(StateDialogOpenbox, ClosingWithAHalfTypedOutputWritesNothing) {
  Z580_REQUIRE_XCB();
  ASSERT_NO_FATAL_FAILURE(Open<BaseDevice::CZ580M04>(3));
  ASSERT_NO_FATAL_FAILURE(SetModuleFloat("r.oe", 2, "0.25"));
  const auto xdotool = [](const QStringList& args) {
    QProcess run;
    run.start("xdotool", args);
    return run.waitForFinished(5000) && run.exitCode() == 0 ? run.readAllStandardOutput().trimmed() : "failed";
  };
  const std::pair<const char*, std::function<void(QDialog&, QWidget*)>> closes[] = {
      {"Escape", [](QDialog&, QWidget* editor) { QTest::keyClick(editor, Qt::Key_Escape); }},
      {"close box", [](QDialog& dialog, QWidget*) { dialog.close(); }},
      {"Alt+F4",
       [&](QDialog& dialog, QWidget*) {
         const QByteArray window = QByteArray::number(dialog.winId());
         ASSERT_TRUE(QTest::qWaitFor([&] { return xdotool({"getactivewindow"}) == window; }, 10000));
         ASSERT_NE(xdotool({"key", "alt+F4"}), "failed");
       }},
      // Away to another program and back: the edit stays open and unconfirmed.
      {"Alt+Tab, back, close box",
       [&](QDialog& dialog, QWidget* editor) {
         ASSERT_NE(xdotool({"key", "alt+Tab"}), "failed");
         ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isActiveWindow(); }, 5000));
         QTest::qWait(200);
         EXPECT_TRUE(sim_->Requests().empty() || sim_->Requests().back().read);
         dialog.activateWindow();
         ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.isActiveWindow(); }, 5000));
         EXPECT_EQ(QApplication::focusWidget(), editor);
         dialog.close();
       }},
  };
  QProcess other;  // another program's window for Alt+Tab to go to
  other.start("xmessage", {"another program"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return xdotool({"search", "--name", "xmessage"}) != "failed"; }, 5000));
  for (const auto& [how, close] : closes) {
    SCOPED_TRACE(how);
    Dialogs::CStateInOutDlg dialog(*doc_, nullptr);
    ASSERT_TRUE(realinput::ShowActive(dialog));
    myClass::CStateTableCtrl* outputs = dialog.OutputsTable();
    ASSERT_TRUE(WaitFor([&] { return outputs->GetItemText(2, 0) == "0.250"; })) << outputs->GetItemText(2, 0);
    QTest::mouseDClick(outputs->viewport(), Qt::LeftButton, {}, CellCentre(outputs, 2, 0));
    ASSERT_TRUE(realinput::Until([&] { return outputs->EditBox() != nullptr && QApplication::focusWidget(); }));
    QWidget* editor = QApplication::focusWidget();
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, "0.75");
    sim_->ClearRequests();
    close(dialog, editor);
    if (std::string(how) == "Escape") dialog.reject();
    ASSERT_TRUE(WaitFor([&] { return !dialog.isVisible(); }));
    for (const auto& r : sim_->Requests()) EXPECT_TRUE(r.read) << r.name;
    EXPECT_EQ(ModuleFloat("r.oe", 2), "0.250");
  }
  other.kill();
  other.waitForFinished(2000);
}

}  // namespace
