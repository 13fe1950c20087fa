// The connection-setup dialog, offscreen, with its worker: against the simulated
// module where the real sequence matters, against a scripted link where only the
// dialog's own sequence does. Also the model choice and the port-open reasons.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "SimLinkSettings.h"
#include "Simulator.h"
#include "app/ui/CSelectDeviceDlg.h"
#include "app/ui/CSetupCarrier.h"
#include "controls/CSetupTableCtrl.h"
#include "devices/CBrand.h"
#include "link/AppState.h"
#include "link/Device.h"
#include "link/NetRS485prg.h"
#include "platform/Prompter.h"
#include "RealInput.h"
#include "resources/StringTable.h"
#include "support/FakeSetupLink.h"
#include "support/ScopedConfigDir.h"
#include "support/SimModule.h"

using PreStart::CSetupCarrier;
using resources::LoadString;

namespace {

constexpr const char* kSpeeds[] = {"2400", "4800", "9600", "14400", "19200", "28800", "38400", "57600", "115200"};

// The program's link against the simulator, each attempt one identification at
// the settings shown, so that a silent speed costs two reads and not a whole search.
class QuickDeviceLink : public PreStart::DeviceSetupLink {
 public:
  explicit QuickDeviceLink(Device& device) : DeviceSetupLink(device), device_(device) {}
  bool EstablishLink() override {
    speeds.push_back(device_.Settings().GetParameterValue("bPS"));
    return device_.OpenPort(false) == 0 && device_.IdentifyDevice(false) == 3;
  }
  std::vector<std::string> speeds;  // worker thread; read after the dialog ended

 private:
  Device& device_;
};

class SetupDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config_.emplace("z580-setup");
    App().Reset();
  }
  void TearDown() override {
    device_.reset();
    if (sim_) sim_->Stop();
    App().Reset();
    config_.reset();
  }

  void StartSimulator(unsigned baud) {
    z580sim::SimConfig config;
    config.model = 2;
    config.line.baud = baud;
    ASSERT_NO_FATAL_FAILURE(testsupport::StartSimModule(sim_, config));
    device_ = std::make_unique<Device>();
    z580sim::MatchPortSettings(device_->Settings(), *sim_);
  }

  // Runs the dialog; step is called every 10 ms on the window thread until it
  // returns true. A dialog still open after the limit ends with -1.
  static int Run(CSetupCarrier& dialog, std::function<bool()> step, int limitMs = 20000) {
    QTimer stepper;
    QObject::connect(&stepper, &QTimer::timeout, [&] {
      if (step && step()) step = nullptr;
    });
    stepper.start(10);
    QTimer::singleShot(limitMs, &dialog, [&] { dialog.done(-1); });
    return dialog.exec();
  }

  // Types each text into "Адрес" as a person does (a double click on the value, the
  // text, Enter), noting the cell's text after each, then ends the dialog with `end`.
  static int TypeAddresses(CSetupCarrier& dialog, std::vector<const char*> texts, std::vector<std::string>& shown,
                           std::function<void()> end, int limitMs = 20000) {
    auto* table = dialog.Table();
    const int row = RowOf(dialog, "Addr");
    size_t next = 0;
    return Run(dialog, [&] {
      if (!dialog.isActiveWindow()) return false;
      if (next == texts.size()) return end(), true;
      QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(row, 1)).center());
      QWidget* focus = QApplication::focusWidget();
      if (table->EditBox() == nullptr || focus == nullptr) return false;
      QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(focus, texts[next++]);
      QTest::keyClick(focus, Qt::Key_Return);
      QApplication::processEvents();
      shown.push_back(table->GetItemText(row, 1));
      return false;
    }, limitMs);
  }

  static int RowOf(CSetupCarrier& dialog, const char* name) {
    auto* table = dialog.Table();
    for (int row = 0; row < table->GetItemCount(); ++row)
      if (auto* p = dynamic_cast<Parameter*>(table->GetCell(row, 1)); p && p->name == name) return row;
    return -1;
  }

  // The settings the link stores as it goes stay in the test's own folder.
  std::optional<ScopedConfigDir> config_;
  platform::CollectingPrompter prompter_;
  std::unique_ptr<z580sim::Simulator> sim_;
  std::unique_ptr<Device> device_;
};

TEST_F(SetupDialogTest, ScanFindsTheModuleAtItsSpeedAndCloses) {
  ASSERT_NO_FATAL_FAILURE(StartSimulator(19200));
  device_->Settings().SetParameterValue("bPS", "115200");
  auto link = std::make_unique<QuickDeviceLink>(*device_);
  QuickDeviceLink* quick = link.get();
  CSetupCarrier dialog(std::move(link), GetDeviceBrand(), true, nullptr);
  const int row = RowOf(dialog, "bPS");
  ASSERT_GE(row, 0);
  EXPECT_EQ(dialog.Table()->GetItemText(row, 1), "115200");

  bool pressed = false;
  const int result = Run(dialog, [&] {
    if (!pressed) QTest::mouseClick(dialog.Button(CSetupCarrier::kScan), Qt::LeftButton);
    pressed = true;
    return true;
  });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(quick->speeds, (std::vector<std::string>{"2400", "4800", "9600", "14400", "19200"}));
  EXPECT_EQ(dialog.Table()->GetItemText(row, 1), "19200");
  EXPECT_EQ(device_->Settings().GetParameterValue("bPS"), "19200");
  EXPECT_EQ(App().modelIndex.load(), 2);
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(prompter_.requests[0].text, LoadString(kStrLinkEstablished));
  EXPECT_EQ(prompter_.requests[0].icon, platform::MessageIcon::Information);
  // The dialog's way out left the link usable.
  EXPECT_FALSE(device_->AbortEvent().IsSet());
}

TEST_F(SetupDialogTest, ScanWithoutAModuleTriesEverySpeedAndRestoresTheShownOne) {
  auto link = std::make_unique<FakeSetupLink>();
  FakeSetupLink* scripted = link.get();
  scripted->Settings().SetParameterValue("bPS", "38400");
  CSetupCarrier dialog(std::move(link), GetDeviceBrand(), true, nullptr);
  const int row = RowOf(dialog, "bPS");

  int stage = 0;
  QString statusAfterScan;
  const int result = Run(dialog, [&] {
    if (stage == 0) {
      QTest::mouseClick(dialog.Button(CSetupCarrier::kScan), Qt::LeftButton);
      stage = 1;
    } else if (stage == 1 && dialog.StatusIsError()) {
      statusAfterScan = dialog.StatusText();
      QTest::mouseClick(dialog.Button(CSetupCarrier::kExit), Qt::LeftButton);
      EXPECT_EQ(dialog.StatusText().toStdString(), LoadString(kStrStopping));
      return true;
    }
    return false;
  });
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_EQ(scripted->Speeds(), std::vector<std::string>(std::begin(kSpeeds), std::end(kSpeeds)));
  EXPECT_EQ(statusAfterScan.toStdString(), LoadString(kStrLinkFailed));
  EXPECT_TRUE(dialog.Table()->isEnabled());
  EXPECT_TRUE(dialog.Button(CSetupCarrier::kScan)->isEnabled());
  EXPECT_EQ(scripted->Settings().GetParameterValue("bPS"), "38400");
  EXPECT_EQ(dialog.Table()->GetItemText(row, 1), "38400");
  EXPECT_TRUE(prompter_.requests.empty());
}

TEST_F(SetupDialogTest, ExitDuringAScanClosesWithinOneAttempt) {
  auto link = std::make_unique<FakeSetupLink>();
  FakeSetupLink* scripted = link.get();
  scripted->attempt = [scripted] {
    // A silent attempt that the abort cuts short, as the link's waits are.
    scripted->AbortEvent().Wait(5000);
    return false;
  };
  CSetupCarrier dialog(std::move(link), GetDeviceBrand(), true, nullptr);
  const std::string shown = scripted->Settings().GetParameterValue("bPS");
  std::chrono::steady_clock::time_point pressedAt;
  int stage = 0;
  const int result = Run(dialog, [&] {
    if (stage == 0) {
      QTest::mouseClick(dialog.Button(CSetupCarrier::kScan), Qt::LeftButton);
      stage = 1;
    } else if (scripted->attempts > 0) {
      pressedAt = std::chrono::steady_clock::now();
      QTest::keyClick(&dialog, Qt::Key_Escape);
      return true;
    }
    return false;
  });
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_LT(std::chrono::steady_clock::now() - pressedAt, std::chrono::seconds(2));
  EXPECT_EQ(scripted->attempts.load(), 1);
  EXPECT_EQ(scripted->Settings().GetParameterValue("bPS"), shown);
  EXPECT_EQ(dialog.StatusText().toStdString(), LoadString(kStrStopping));
  EXPECT_FALSE(scripted->AbortEvent().IsSet());
}

TEST_F(SetupDialogTest, FactorySettingsReachAModuleWithFactorySettings) {
  ASSERT_NO_FATAL_FAILURE(StartSimulator(9600));
  const std::string port = device_->Settings().GetParameterValue("Port");
  device_->Settings().SetParameterValue("bPS", "57600");
  device_->Settings().SetParameterValue("Addr", "3");
  CSetupCarrier dialog(*device_, GetDeviceBrand(), true, nullptr);
  bool pressed = false;
  const int result = Run(dialog, [&] {
    if (!pressed) QTest::mouseClick(dialog.Button(CSetupCarrier::kFactory), Qt::LeftButton);
    pressed = true;
    return true;
  });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(device_->Settings().GetParameterValue("bPS"), "9600");
  EXPECT_EQ(device_->Settings().GetParameterValue("Addr"), "16");
  EXPECT_EQ(device_->Settings().GetParameterValue("Port"), port);
  EXPECT_EQ(dialog.Table()->GetItemText(RowOf(dialog, "Addr"), 1), "16");
  EXPECT_EQ(App().modelIndex.load(), 2);
}

TEST_F(SetupDialogTest, OfflineChoiceSetsTheModelAndTurnsAutomaticReadingOff) {
  {
    CSetupCarrier closed(std::make_unique<FakeSetupLink>(), GetDeviceBrand(), false, nullptr);
    EXPECT_FALSE(closed.Button(CSetupCarrier::kOffline)->isEnabled());
  }
  CSetupCarrier dialog(std::make_unique<FakeSetupLink>(), GetDeviceBrand(), true, nullptr);
  int stage = 0;
  const int result = Run(dialog, [&] {
    if (stage == 0) {
      QTest::mouseClick(dialog.Button(CSetupCarrier::kOffline), Qt::LeftButton);
      stage = 1;
      return false;
    }
    auto* choice = dialog.findChild<CSelectDeviceDlg*>();
    if (choice == nullptr || !choice->isVisible()) return false;
    EXPECT_EQ(choice->Table()->GetItemCount(), 23);
    // OK without a selection: message 201, the list stays.
    choice->accept();
    EXPECT_TRUE(choice->isVisible());
    choice->Table()->selectRow(5);
    choice->accept();
    return true;
  });
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(App().modelIndex.load(), 5);
  EXPECT_EQ(App().Batch().modeFlags, 0x02);
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(prompter_.requests[0].text, LoadString(kStrChooseFirst));
  EXPECT_EQ(prompter_.requests[0].icon, platform::MessageIcon::None);
}

TEST_F(SetupDialogTest, APortThatDoesNotExistIsNamedWithItsReason) {
  device_ = std::make_unique<Device>();
  device_->Settings().SetParameterValue("Port", "/dev/z580-no-such-port");
  // The link's own message says why as well.
  EXPECT_EQ(device_->OpenPort(true), -1);
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_NE(prompter_.requests[0].text.find("Не удается открыть порт /dev/z580-no-such-port"), std::string::npos);
  EXPECT_NE(prompter_.requests[0].text.find("не существует"), std::string::npos);

  CSetupCarrier dialog(*device_, GetDeviceBrand(), true, nullptr);
  // The dialog that follows the failure names it at once.
  EXPECT_TRUE(dialog.StatusIsError());
  EXPECT_TRUE(dialog.StatusText().contains("/dev/z580-no-such-port не существует"));
  int stage = 0;
  QString status;
  const int result = Run(dialog, [&] {
    if (stage == 0) {
      QTest::mouseClick(dialog.Button(CSetupCarrier::kConnect), Qt::LeftButton);
      EXPECT_EQ(dialog.StatusText().toStdString(), LoadString(kStrScanning));
      stage = 1;
    } else if (dialog.StatusIsError()) {
      status = dialog.StatusText();
      dialog.reject();
      return true;
    }
    return false;
  });
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_TRUE(status.startsWith(QString::fromStdString(LoadString(kStrLinkFailed)))) << status.toStdString();
  EXPECT_TRUE(status.contains("/dev/z580-no-such-port не существует")) << status.toStdString();
  // The worker shows no message box of its own.
  EXPECT_EQ(prompter_.requests.size(), 1u);
}

// Started on a line where the module stays silent: the dialog says so with the
// settings tried when it opens, after "Установить связь" and after a scan.
TEST_F(SetupDialogTest, ASilentLineIsNamedWithTheSettingsTried) {
  ASSERT_NO_FATAL_FAILURE(StartSimulator(115200));
  sim_->SetFault(z580sim::Fault::Silence, -1);
  // The start-up connection that failed.
  ASSERT_EQ(device_->OpenPort(false), 0);
  ASSERT_EQ(device_->IdentifyDevice(false), 0);
  // A short list of speeds keeps the scan short; the worker takes them from the type.
  device_->Settings().GetParameterByName("bPS")->type = "9600:115200";
  const QString silent = QString::fromStdString(LoadString(kStrLinkFailed) +
                                                " Прибор не отвечает: адрес 16, 115200 бит/с, 8N1; протокол прибора.");

  CSetupCarrier dialog(std::make_unique<QuickDeviceLink>(*device_), GetDeviceBrand(), true, nullptr);
  EXPECT_TRUE(dialog.StatusIsError());
  EXPECT_EQ(dialog.StatusText(), silent);
  int stage = 0;
  QString afterConnect, afterScan;
  const int result = Run(dialog, [&] {
    if (stage == 0) {
      QTest::mouseClick(dialog.Button(CSetupCarrier::kConnect), Qt::LeftButton);
      stage = 1;
    } else if (stage == 1 && dialog.StatusIsError()) {
      afterConnect = dialog.StatusText();
      QTest::mouseClick(dialog.Button(CSetupCarrier::kScan), Qt::LeftButton);
      stage = 2;
    } else if (stage == 2 && !dialog.StatusIsError()) {
      stage = 3;  // the scan has begun
    } else if (stage == 3 && dialog.StatusIsError()) {
      afterScan = dialog.StatusText();
      dialog.reject();
      return true;
    }
    return false;
  });
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_EQ(afterConnect, silent);
  EXPECT_EQ(afterScan.toStdString(),
            LoadString(kStrLinkFailed) +
                " Прибор не отвечает ни на одной скорости: адрес 16, 9600, 115200 бит/с, 8N1; протокол прибора.");
}

// Replies that arrive but cannot be read point at the speed and framing instead.
TEST_F(SetupDialogTest, GarbledRepliesPointAtTheSpeedAndFraming) {
  ASSERT_NO_FATAL_FAILURE(StartSimulator(115200));
  sim_->SetFault(z580sim::Fault::BadCrc, -1);
  CSetupCarrier dialog(std::make_unique<QuickDeviceLink>(*device_), GetDeviceBrand(), true, nullptr);
  // Nothing was tried yet: nothing to explain.
  EXPECT_EQ(dialog.StatusText(), "");
  bool pressed = false;
  QString status;
  const int result = Run(dialog, [&] {
    if (!pressed) QTest::mouseClick(dialog.Button(CSetupCarrier::kConnect), Qt::LeftButton);
    pressed = true;
    if (!dialog.StatusIsError()) return false;
    status = dialog.StatusText();
    dialog.reject();
    return true;
  });
  EXPECT_EQ(result, QDialog::Rejected);
  EXPECT_EQ(status.toStdString(),
            LoadString(kStrLinkFailed) +
                " Ответы прибора не читаются (ошибка контрольной суммы, чужие или искаженные посылки): адрес 16, "
                "115200 бит/с, 8N1; протокол прибора. Проверьте скорость и формат кадра.");
}

// Typed into the table as a person types: double click on the value, the text,
// Enter. An address 8-bit frames cannot carry is refused (message 258), and the
// cell keeps the address the program talks to.
class SetupDialogXvfb : public SetupDialogTest {};

TEST_F(SetupDialogXvfb, AnAddressTheFramesCannotCarryIsRefusedInTheTable) {
  Z580_REQUIRE_XCB();
  auto link = std::make_unique<FakeSetupLink>();
  Elements::NetRS485prg& settings = link->Settings();
  ASSERT_EQ(settings.GetParameterValue("A.Len"), "8");
  CSetupCarrier dialog(std::move(link), nullptr, false, nullptr);
  std::vector<std::string> shown;
  TypeAddresses(dialog, {"300", "254"}, shown, [&] { dialog.done(QDialog::Rejected); });
  EXPECT_EQ(shown, (std::vector<std::string>{"16", "254"}));
  EXPECT_EQ(prompter_.Texts(), LoadString(kStrForbiddenCombination));
  EXPECT_EQ(settings.GetParameterValue("Addr"), "254");
}

// Typed into "Адрес" and connected against a module left in the percent protocol:
// "255" is refused, "0x10" is shown as 16; every frame of every framing then goes
// to 16, and the settings hold 16 as shown (and store it so, as TreeCommitTest shows).
TEST_F(SetupDialogXvfb, TypedAddressesReachOnlyTheModuleShownInEveryFraming) {
  Z580_REQUIRE_XCB();
  ASSERT_NO_FATAL_FAILURE(StartSimulator(9600));
  sim_->SetProtocol(z580sim::Protocol::Percent);
  device_->Settings().SetParameterValue("Addr", "20");
  CSetupCarrier dialog(std::make_unique<PreStart::DeviceSetupLink>(*device_), GetDeviceBrand(), true, nullptr);
  std::vector<std::string> shown;
  const int result = TypeAddresses(dialog, {"255", "0x10"}, shown, [&] {
    QPushButton* connect = dialog.Button(CSetupCarrier::kConnect);
    QTest::mouseClick(connect, Qt::LeftButton, {}, connect->rect().center());
  }, 60000);
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(shown, (std::vector<std::string>{"20", "16"}));
  EXPECT_EQ(prompter_.requests.at(0).text, LoadString(kStrForbiddenCombination));
  EXPECT_EQ(device_->Settings().GetParameterValue("Addr"), "16");
  const std::vector<z580sim::RequestRecord> requests = sim_->Requests();
  ASSERT_FALSE(requests.empty());
  std::set<std::string> framings;
  for (const z580sim::RequestRecord& r : requests) {
    // Own frames to 16 ("#HG..."), and the RTU, ASCII and percent switch-backs to 16.
    bool to16 = false;
    for (const char* start : {"#HG", "\x10", ":10", "%10"})
      if (r.raw.rfind(start, 0) == 0) {
        to16 = true;
        framings.insert(start);
      }
    EXPECT_TRUE(to16) << z580sim::FormatRecord(r);
  }
  EXPECT_EQ(framings.size(), 4u);
}

TEST_F(SetupDialogXvfb, PortCellShowsTheDeviceThatOpens) {
  Z580_REQUIRE_XCB();
  struct Case {
    const char* port;
    const char* shown;
  } const cases[] = {
      {"COM1", "COM1 (/dev/ttyS0)"},
      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
       "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    auto link = std::make_unique<FakeSetupLink>();
    link->Settings().SetParameterValue("Port", c.port);
    CSetupCarrier dialog(std::move(link), nullptr, false, nullptr);
    ASSERT_TRUE(realinput::ShowActive(dialog));
    auto* table = dialog.Table();
    const int row = RowOf(dialog, "Port");
    ASSERT_GE(row, 0);
    EXPECT_EQ(table->GetItemText(row, 1), c.shown);
    const QString shown = QString::fromUtf8(c.shown);
    const QRect cell = table->visualRect(table->model()->index(row, 1));
    EXPECT_LE(cell.right(), table->viewport()->width());
    if (table->fontMetrics().horizontalAdvance(shown) <= cell.width() - 3) continue;
    // Too long for the cell: resting the mouse on it shows it whole. (A QTest double
    // click that opened an editor in an earlier test can leave Qt thinking the left
    // button is still down, and no tool tip shows while a button is held.)
    if (QApplication::mouseButtons() & Qt::LeftButton) QTest::mouseRelease(table->viewport(), Qt::LeftButton);
    QTest::mouseMove(table->viewport(), cell.center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return QToolTip::isVisible() && QToolTip::text() == shown; }, 5000));
    QToolTip::hideText();
  }
}

// "Скорость" by keyboard, as at start-up: Enter opens its list on the shown speed;
// the arrows only change the shown item; Enter, Tab or a click elsewhere take it;
// Escape keeps the speed and ends there (the dialog stays). The focus is then back
// in the table, where Down goes on to the next row.
TEST_F(SetupDialogXvfb, SpeedListTakesOnlyAConfirmedChoice) {
  Z580_REQUIRE_XCB();
  constexpr Qt::Key kClick = Qt::Key_unknown;  // a click on another row
  struct Case {
    const char* name;
    std::vector<Qt::Key> choose;
    Qt::Key end;
    const char* taken;
    const char* setting = "bPS";
    const char* start = "9600";
    bool refused = false;  // a frame no module takes: message 258, the old value stays
  } const cases[] = {
      {"Down, Down, Enter", {Qt::Key_Down, Qt::Key_Down}, Qt::Key_Return, "19200"},
      {"Up, Tab", {Qt::Key_Up}, Qt::Key_Tab, "4800"},
      {"Down, click elsewhere", {Qt::Key_Down}, kClick, "14400"},
      {"Down, Escape", {Qt::Key_Down}, Qt::Key_Escape, "9600"},
      {"2 stop bits with parity and 8 bits", {Qt::Key_Down}, Qt::Key_Return, "1", "Sbit", "1", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto link = std::make_unique<FakeSetupLink>();
    Elements::NetRS485prg& settings = link->Settings();
    settings.SetParameterValue(c.setting, c.start);
    settings.SetParameterValue("LEn", "8");
    settings.SetParameterValue("PrtY", c.refused ? "Четность" : "Отсутствует");
    CSetupCarrier dialog(std::move(link), nullptr, false, nullptr);
    ASSERT_TRUE(realinput::ShowActive(dialog));
    auto* table = dialog.Table();
    const int row = RowOf(dialog, c.setting);
    ASSERT_GE(row, 0);
    // The arrows go down the rows (each row as a whole) to "Скорость".
    table->setFocus(Qt::TabFocusReason);
    for (int i = 0; i <= row && table->GetFocusRow() != row; ++i) QTest::keyClick(table, Qt::Key_Down);
    ASSERT_EQ(table->GetFocusRow(), row);
    QTest::keyClick(table, Qt::Key_Return);
    QPointer<myClass::CmyComboBox> box = table->ListBox();
    ASSERT_TRUE(box);
    ASSERT_TRUE(realinput::Until([&] { return QApplication::focusWidget() == box; }));
    EXPECT_EQ(box->currentText(), c.start);
    for (Qt::Key key : c.choose) {
      QTest::keyClick(QApplication::focusWidget(), key);
      // Nothing is taken before it is confirmed.
      ASSERT_EQ(table->ListBox(), box);
      EXPECT_EQ(settings.GetParameterValue(c.setting), c.start);
    }
    if (c.end == kClick)
      QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(0, 1)).center());
    else
      QTest::keyClick(QApplication::focusWidget(), c.end);
    ASSERT_TRUE(realinput::Until([&] { return table->ListBox() == nullptr; }));
    QTest::qWait(50);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(settings.GetParameterValue(c.setting), c.taken);
    EXPECT_EQ(table->GetItemText(row, 1), c.taken);
    EXPECT_EQ(prompter_.Texts(), c.refused ? LoadString(kStrForbiddenCombination) : "");
    prompter_.requests.clear();
    if (c.end == kClick) continue;
    EXPECT_EQ(QApplication::focusWidget(), table);
    QTest::keyClick(table, Qt::Key_Down);
    EXPECT_EQ(table->GetFocusRow(), row + 1);
  }
}

}  // namespace

namespace {

// The port given as a device path the system does not list: its list editor opens
// on that port, closing it keeps it, and a path typed into it is taken.
TEST_F(SetupDialogXvfb, PortListKeepsTheWorkingPortAndTakesATypedPath) {
  Z580_REQUIRE_XCB();
  const std::string working = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  auto link = std::make_unique<FakeSetupLink>();
  Elements::NetRS485prg& settings = link->Settings();
  settings.SetParameterValue("Port", working);
  CSetupCarrier dialog(std::move(link), nullptr, false, nullptr);
  ASSERT_TRUE(realinput::ShowActive(dialog));
  auto* table = dialog.Table();
  const int row = RowOf(dialog, "Port");
  ASSERT_GE(row, 0);
  auto open = [&] {
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(row, 1)).center());
    return realinput::Until([&] { return table->ListBox() != nullptr && QApplication::focusWidget() != nullptr; });
  };
  // A typed path is taken by Enter, by Tab and by a click on another cell alike.
  const auto key = [](Qt::Key k) { return [k] { QTest::keyClick(QApplication::focusWidget(), k); }; };
  const auto clickElsewhere = [&] {
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(row, 0)).center());
  };
  struct Step {
    const char* typed;  // nullptr: the list is dropped down and closed with Escape
    std::string kept;
    std::function<void()> end;
  } const steps[] = {{nullptr, working, {}},
                     {"/dev/pts/77", "/dev/pts/77", key(Qt::Key_Return)},
                     {"/dev/pts/78", "/dev/pts/78", key(Qt::Key_Tab)},
                     {"/dev/pts/79", "/dev/pts/79", clickElsewhere},
                     {nullptr, "/dev/pts/79", {}}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.typed ? step.typed : "looked at");
    ASSERT_TRUE(open());
    QPointer<QComboBox> list = table->ListBox();
    EXPECT_EQ(list->currentText().toStdString(), settings.GetParameterValue("Port"));
    EXPECT_GE(list->findText(QString::fromStdString(settings.GetParameterValue("Port"))), 0);
    if (step.typed == nullptr) {
      realinput::ClickArrow(list);
      ASSERT_TRUE(realinput::Dropped(list));
      QTest::keyClick(list->view(), Qt::Key_Escape);
      if (list) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    } else {
      QWidget* focus = QApplication::focusWidget();
      QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(focus, step.typed);
      step.end();
    }
    ASSERT_TRUE(realinput::Until([&] { return table->ListBox() == nullptr; }));
    EXPECT_EQ(settings.GetParameterValue("Port"), step.kept);
    EXPECT_TRUE(dialog.isVisible());
  }
  dialog.done(QDialog::Rejected);
}

// An address stored before 8-bit addressing was chosen (300) never reaches the line:
// the dialog says so after "Установить связь" and after a scan, clicked as a person
// clicks them, instead of blaming a module that was never asked.
TEST_F(SetupDialogXvfb, AnAddressTheFramesCannotCarryIsNamedAsTheReason) {
  Z580_REQUIRE_XCB();
  ASSERT_NO_FATAL_FAILURE(StartSimulator(9600));
  device_->Settings().SetParameterValue("Addr", "300");
  ASSERT_EQ(device_->Settings().GetParameterValue("Addr"), "300");
  ASSERT_EQ(device_->Settings().GetParameterValue("A.Len"), "8");
  device_->Settings().GetParameterByName("bPS")->type = "9600:19200";
  const std::string reason =
      LoadString(kStrLinkFailed) +
      " Адрес 300 не может быть передан при длине адреса 8 бит: нельзя, чтобы адрес был более 255, если длина "
      "адреса 8 бит. Исправьте адрес или длину адреса.";
  CSetupCarrier dialog(std::make_unique<QuickDeviceLink>(*device_), GetDeviceBrand(), true, nullptr);
  int stage = 0;
  QString afterConnect, afterScan;
  auto click = [&](int id) {
    QPushButton* button = dialog.Button(id);
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
  };
  Run(dialog, [&] {
    if (stage == 0 && dialog.isActiveWindow()) {
      click(CSetupCarrier::kConnect);
      stage = 1;
    } else if (stage == 1 && dialog.StatusIsError()) {
      afterConnect = dialog.StatusText();
      // The scan ends at once: the error it shows is its own.
      dialog.SetStatusText("", false);
      click(CSetupCarrier::kScan);
      stage = 2;
    } else if (stage == 2 && dialog.StatusIsError()) {
      afterScan = dialog.StatusText();
      dialog.done(QDialog::Rejected);
      return true;
    }
    return false;
  });
  EXPECT_EQ(afterConnect.toStdString(), reason);
  EXPECT_EQ(afterScan.toStdString(), reason);
  // Nothing went to the module.
  EXPECT_TRUE(sim_->Requests().empty());
}

}  // namespace
