// The single-parameter dialog offscreen against the simulated module: its first
// state, the value list of an enumeration, a traced read and write whose byte lines
// are the bytes the module saw and sent, an index in the address, an unknown name.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

#include "ServiceDialogTestSupport.h"
#include "app/SinglePointCommand.h"
#include "app/ui/CSinglePoint.h"
#include "platform/CFormat.h"
#include "resources/StringTable.h"
#include "support/Last.h"

namespace {

using testsupport::Last;
using resources::LoadString;

// The byte values of the trace lines of one direction (">>" or "<<").
std::vector<uint8_t> TracedBytes(const QStringList& lines, const QString& direction) {
  std::vector<uint8_t> bytes;
  for (const QString& line : lines) {
    if (!line.startsWith(direction)) continue;
    const int at = line.indexOf(" = 0x");
    EXPECT_GE(at, 0) << line.toStdString();
    bytes.push_back(static_cast<uint8_t>(line.mid(at + 5, 2).toInt(nullptr, 16)));
  }
  return bytes;
}

TEST(SinglePointCommand, EnumerationValuesLeaveOutHiddenAndEmptyNames) {
  std::vector<DescParameter> catalogue(2);
  catalogue[0].name = "Mode";
  catalogue[0].type = "a:b_c::x<hide>y:";
  catalogue[0].caption = "Режим";
  catalogue[1].name = "Mode";
  catalogue[1].type = "int";
  Dialogs::SinglePointCommand command(catalogue, nullptr);
  Dialogs::SinglePointFields fields;
  fields.command = "mode";
  EXPECT_EQ(command.UpdateCommand(fields), (std::vector<std::string>{"a", "b c"}));
  EXPECT_EQ(fields.description, "Режим (a:b_c::x<hide>y:)");
  EXPECT_EQ(fields.hashText, platform::Format("0x%X", static_cast<unsigned>(Parameter::HashOfName("Mode"))));
  fields.command = "Nope";
  EXPECT_TRUE(command.UpdateCommand(fields).empty());
  EXPECT_EQ(fields.description, "<неизвестный параметр> (<тип неопределен>)");
}

class SinglePointDialogTest : public ServiceDialogTest {
 protected:
  void SetUp() override {
    ServiceDialogTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(StartModule(22));
    ASSERT_NO_FATAL_FAILURE(OpenDocument());
    dialog_ = std::make_unique<Dialogs::CSinglePoint>(doc_->descParameters, doc_->GetDevice(), nullptr);
    dialog_->show();
  }
  void TearDown() override {
    dialog_.reset();
    ServiceDialogTest::TearDown();
  }

  template <typename T>
  T* Child(const char* name) {
    T* child = dialog_->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  void SetCommand(const QString& name) {
    Child<QComboBox>("command")->setEditText(name);
    dialog_->OnCommandUpdate();
  }
  QStringList Trace() {
    QStringList lines;
    auto* list = Child<QListWidget>("trace");
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
  }

  std::unique_ptr<Dialogs::CSinglePoint> dialog_;
};

TEST_F(SinglePointDialogTest, OpensOnVerAndReadsIt) {
  EXPECT_EQ(Child<QComboBox>("command")->currentText(), "!VER");
  EXPECT_EQ(Child<QLineEdit>("hash")->text().toStdString(),
            platform::Format("0x%X", static_cast<unsigned>(Parameter::HashOfName("ver"))));
  EXPECT_EQ(Child<QLineEdit>("description")->text(), "Версия_программного_обеспечения (ASCI)");
  EXPECT_TRUE(Child<QRadioButton>("read")->isChecked());
  EXPECT_FALSE(Child<QComboBox>("value")->isVisible());
  EXPECT_FALSE(Child<QRadioButton>("indexInData")->isEnabled());
  EXPECT_FALSE(Child<QRadioButton>("indexInAddress")->isEnabled());

  sim_->ClearRequests();
  dialog_->OnExecute();
  const QStringList trace = Trace();
  ASSERT_EQ(sim_->Requests().size(), 1u);
  const z580sim::RequestRecord request = sim_->Requests()[0];
  EXPECT_TRUE(request.read);
  EXPECT_EQ(request.name, "ver");
  z580sim::Bytes stored;
  ASSERT_TRUE(sim_->GetValue("ver", 0, stored));
  ASSERT_GE(trace.size(), 3);
  EXPECT_EQ(trace[0], "!VER (Версия_программного_обеспечения)");
  EXPECT_TRUE(TracedBytes(trace, ">>").empty());
  EXPECT_EQ(TracedBytes(trace, "<<"), stored);
  EXPECT_EQ(trace[trace.size() - 2].toStdString(), LoadString(kStrReadText));
  EXPECT_FALSE(Last(trace).isEmpty());
  EXPECT_EQ(Child<QListWidget>("trace")->currentRow(), trace.size() - 1);
}

TEST_F(SinglePointDialogTest, WritesAnEnumerationIndexInTheAddressAndRefusesUnknownNames) {
  // The value list of the enumeration, the same after a second choice.
  SetCommand("F.NOM");
  SetCommand("F.NOM");
  auto* value = Child<QComboBox>("value");
  ASSERT_EQ(value->count(), 2);
  EXPECT_EQ(value->itemText(0), "50 Гц");
  EXPECT_EQ(value->itemText(1), "60 Гц");
  Child<QRadioButton>("write")->setChecked(true);
  dialog_->OnOperationUpdate();
  EXPECT_TRUE(value->isVisible());
  value->setEditText("60 Гц");
  sim_->ClearRequests();
  dialog_->OnExecute();
  QStringList trace = Trace();
  ASSERT_EQ(sim_->Requests().size(), 1u);
  const z580sim::RequestRecord write = sim_->Requests()[0];
  EXPECT_FALSE(write.read);
  EXPECT_EQ(write.data, z580sim::Bytes{1});
  EXPECT_EQ(TracedBytes(trace, ">>"), write.data);
  z580sim::Bytes stored;
  ASSERT_TRUE(sim_->GetValue("F.nom", 0, stored));
  EXPECT_EQ(stored, z580sim::Bytes{1});
  EXPECT_EQ(TracedBytes(trace, "<<"), stored);
  EXPECT_EQ(Last(trace).toStdString(), LoadString(kStrWritten) + "60 Гц'");

  // An index of 8 in the address: both notes, and the frame goes eight addresses on.
  Child<QRadioButton>("read")->setChecked(true);
  SetCommand("!ver");
  Child<QCheckBox>("hasIndex")->setChecked(true);
  dialog_->OnIndexUpdate();
  EXPECT_TRUE(Child<QRadioButton>("indexInAddress")->isEnabled());
  Child<QRadioButton>("indexInAddress")->setChecked(true);
  Child<QLineEdit>("index")->setText("8");
  sim_->ClearRequests();
  dialog_->OnExecute();
  trace = Trace();
  ASSERT_GE(trace.size(), 3);
  EXPECT_EQ(trace[0].toStdString(), LoadString(kStrIndexInAddress));
  EXPECT_EQ(trace[1].toStdString(), LoadString(kStrAddressBeyond7));
  ASSERT_FALSE(sim_->Requests().empty());
  EXPECT_EQ(sim_->Requests()[0].address, 24u);

  // A name the catalogue lacks: the message, nothing sent, an empty trace.
  SetCommand("ZZZZ");
  sim_->ClearRequests();
  dialog_->OnExecute();
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(prompter_.requests[0].text, "Параметр 'ZZZZ' не описан!");
  EXPECT_EQ(prompter_.requests[0].icon, platform::MessageIcon::Error);
  EXPECT_TRUE(Trace().isEmpty());
  EXPECT_FALSE(sim_->WaitForRequests(1, 200));
}

// An index in the address is added to the module's address (16): an address the
// frame must not reach, or an index that is no whole number from 0, sends nothing
// and traces no frame bytes; the reason appears once. In the data an index has two
// bytes: a larger one would go out cut to another channel.
TEST_F(SinglePointDialogTest, IndexesInTheAddressThatReachNoSingleModuleSendNothing) {
  SetCommand("!ver");
  Child<QCheckBox>("hasIndex")->setChecked(true);
  dialog_->OnIndexUpdate();
  struct Case {
    const char* index;
    bool inAddress;
    const char* reason;  // a part of the last trace line; nullptr: sent
    unsigned address = 0;  // where it was sent
  } cases[] = {{"-1", true, "'-1'"},           {"239", true, " 255 "},
               {"300", true, "'300': нужно целое число от 0 до 239"},
               {"2147483647", true, "от 0 до 239"}, {"abc", true, "'abc'"},
               {"2,5", true, "'2,5'"},          {"1", true, nullptr, 17},
               {"65536", false, "'65536': нужно целое число от 0 до 65535"},
               {"65535", false, nullptr, 16}};
  for (const Case& c : cases) {
    Child<QRadioButton>(c.inAddress ? "indexInAddress" : "indexInData")->setChecked(true);
    Child<QLineEdit>("index")->setText(c.index);
    sim_->ClearRequests();
    dialog_->OnExecute();
    const QStringList trace = Trace();
    ASSERT_FALSE(trace.isEmpty()) << c.index;
    if (c.reason == nullptr) {
      ASSERT_FALSE(sim_->Requests().empty()) << c.index;
      EXPECT_EQ(sim_->Requests()[0].address, c.address);
      continue;
    }
    EXPECT_FALSE(sim_->WaitForRequests(1, 100)) << c.index;
    EXPECT_NE(Last(trace).toStdString().find(c.reason), std::string::npos) << trace.join("|").toStdString();
    EXPECT_EQ(trace.count(trace.back()), 1) << trace.join("|").toStdString();
    EXPECT_TRUE(TracedBytes(trace, ">>").empty()) << c.index;
    EXPECT_FALSE(trace.join("|").contains(QString::fromStdString(LoadString(kStrTraceRequest)))) << c.index;
  }
}

// A typed value is read as everywhere: "abc" or "12abc" for a float writes nothing,
// "1,5" writes 1.5; a value the link refuses is traced once.
TEST_F(SinglePointDialogTest, TypedValuesAreNumbersOrNothingIsWritten) {
  SetCommand("KT.I");
  Child<QRadioButton>("write")->setChecked(true);
  dialog_->OnOperationUpdate();
  auto* value = Child<QComboBox>("value");
  for (const char* text : {"abc", "12abc", ""}) {
    value->setEditText(text);
    sim_->ClearRequests();
    dialog_->OnExecute();
    const QStringList trace = Trace();
    EXPECT_FALSE(sim_->WaitForRequests(1, 100)) << text;
    ASSERT_FALSE(trace.isEmpty());
    EXPECT_NE(trace.back().toStdString().find("'" + std::string(text) + "'"), std::string::npos)
        << trace.join("|").toStdString();
  }
  value->setEditText("1,5");
  sim_->ClearRequests();
  dialog_->OnExecute();
  ASSERT_EQ(sim_->Requests().size(), 1u);
  EXPECT_EQ(sim_->Requests()[0].data, (z580sim::Bytes{0x3F, 0xC0, 0x00, 0x00}));

  // No item of the enumeration: the link's reason, traced once.
  SetCommand("F.NOM");
  value->setEditText("70 Гц");
  sim_->ClearRequests();
  dialog_->OnExecute();
  const QStringList trace = Trace();
  ASSERT_FALSE(trace.isEmpty());
  EXPECT_EQ(trace.count(trace.back()), 1) << trace.join("|").toStdString();
}

}  // namespace
