#include <gtest/gtest.h>

#include <memory>

#include "model/AppVersionTexts.h"
#include "model/CommonParams.h"
#include "model/InvisibleElement.h"
#include "platform/Registry.h"
#include "platform/SettingsStore.h"
#include "platform/Prompter.h"
#include "support/FakeLink.h"
#include "support/FakeTreeRows.h"

namespace {

// An element named "E" with parameters P0..Pn-1.
std::unique_ptr<Elements::InvisibleElement> Element(int n) {
  auto e = std::make_unique<Elements::InvisibleElement>();
  e->elementName = "E";
  for (int i = 0; i < n; ++i) {
    Parameter& p = e->AddParameter(std::make_unique<Parameter>("P" + std::to_string(i)));
    p.type = "int";
  }
  return e;
}

TEST(Walks, AbortSetBeforehandDoesNothing) {
  auto e = Element(2);
  FakeLink link;
  link.abort = true;
  EXPECT_EQ(e->CompareWithDevice(link), (model::WalkResult{0, 0}));
  EXPECT_EQ(e->ReadFromDevice(link), (model::WalkResult{0, 0}));
  EXPECT_TRUE(link.calls.empty());
  EXPECT_TRUE(link.progressLines.empty());
}

TEST(Walks, CompareCountsFailuresAndStopsAfterTheCurrentParameter) {
  auto e = Element(4);
  FakeLink link;
  link.compareResults["P0"] = 3;
  EXPECT_EQ(e->CompareWithDevice(link), (model::WalkResult{4, 1}));
  EXPECT_EQ(link.progressLines, (std::vector<std::string>{"Сравниваем ветвь 'E'"}));
  EXPECT_EQ(link.progressSteps, 4);

  FakeLink aborting;
  aborting.abortAfterCalls = 2;
  aborting.compareResults["P1"] = 2;
  // Processed is the position of the last parameter handled.
  EXPECT_EQ(e->CompareWithDevice(aborting), (model::WalkResult{1, 1}));
  EXPECT_EQ(aborting.calls, (std::vector<std::string>{"compare P0", "compare P1"}));
}

TEST(Walks, ReadStopsAfterTheParameterDuringWhichAbortWasRaised) {
  auto e = Element(4);
  FakeLink link;
  link.abortAfterCalls = 2;  // raised during the second, successful read
  link.readResults["P2"] = 2;
  EXPECT_EQ(e->ReadFromDevice(link), (model::WalkResult{1, 0}));
  EXPECT_EQ(link.calls, (std::vector<std::string>{"read P0 (1)", "read P1 (1)"}));
  EXPECT_EQ(link.progressLines, (std::vector<std::string>{"Читаем ветвь 'E'"}));

  FakeLink clean;
  clean.readResults["P3"] = 1;
  EXPECT_EQ(e->ReadFromDevice(clean), (model::WalkResult{4, 1}));
}

TEST(Walks, WriteSelectsParametersByMode) {
  auto e = Element(4);
  e->parameters[1]->writable = false;
  e->parameters[2]->editableChanged = true;
  e->parameters[3]->initialValue = "0";

  FakeLink changed;
  EXPECT_EQ(e->WriteToDevice(changed, 0), (model::WalkResult{1, 0}));
  EXPECT_EQ(changed.calls, (std::vector<std::string>{"write P2 (0)"}));
  EXPECT_EQ(changed.progressLines, (std::vector<std::string>{"Пишем ветвь 'E'"}));

  FakeLink initial;
  initial.writeResults["P3"] = 1;
  EXPECT_EQ(e->WriteToDevice(initial, -1), (model::WalkResult{1, 1}));
  EXPECT_EQ(initial.calls, (std::vector<std::string>{"write P3 (-1)"}));

  FakeLink all;
  EXPECT_EQ(e->WriteToDevice(all, 1), (model::WalkResult{3, 0}));
  EXPECT_EQ(all.calls.size(), 3u);

  e->parameters[2]->editableChanged = false;
  FakeLink nothing;
  EXPECT_EQ(e->WriteToDevice(nothing, 0), (model::WalkResult{0, 0}));
  EXPECT_TRUE(nothing.progressLines.empty());

  FakeLink aborting;
  aborting.abortAfterCalls = 2;
  EXPECT_EQ(e->WriteToDevice(aborting, 1), (model::WalkResult{2, 0}));
}

TEST(ElementValues, SetParameterValueIgnoresCaseForTheChangeFlag) {
  auto e = Element(1);
  Parameter& p = *e->parameters[0];
  p.value = "on";
  EXPECT_EQ(e->SetParameterValue("p0", "ON"), 1);
  EXPECT_EQ(p.value, "ON");
  EXPECT_FALSE(p.valueChanged);
  EXPECT_EQ(e->SetParameterValue("P0", "Вкл"), 1);
  EXPECT_TRUE(p.valueChanged);
  EXPECT_EQ(e->SetParameterValue("nope", "x"), 0);
  EXPECT_EQ(e->GetParameterValue("nope"), "Нет данных");
  EXPECT_EQ(e->GetParameterValue("P0"), "Вкл");

  EXPECT_EQ(e->SetParameterValue("Название", "Вход 1"), 3);
  EXPECT_EQ(e->elementName, "Вход 1");
  EXPECT_EQ(e->SetParameterValue("НАЗВАНИЕ", "x"), 0);  // the rename is case-sensitive
  EXPECT_EQ(e->GetTitle(), "Вход 1 (Невизуальный элемент)");
}

TEST(ElementValues, ChangeStateProblemsAndReset) {
  auto e = Element(3);
  EXPECT_EQ(e->GetChangeState(), 0);
  e->parameters[1]->ownerChanged = true;
  EXPECT_EQ(e->GetChangeState(), 2);
  e->parameters[0]->note = "Знач-е в приборе: '1',";
  EXPECT_TRUE(e->HasProblemParameter(true));
  EXPECT_FALSE(e->HasProblemParameter(false));  // a difference is no error
  e->parameters[2]->note = "Таймаут";
  EXPECT_TRUE(e->HasProblemParameter(false));
  e->parameters[2]->value = "5";
  e->parameters[2]->editable = 0;
  e->parameters[2]->owner = 1;
  e->ResetValues();
  EXPECT_EQ(e->GetChangeState(), 0);
  EXPECT_FALSE(e->HasProblemParameter(true));
  EXPECT_EQ(e->parameters[2]->value, "Нет данных");
  EXPECT_EQ(e->parameters[2]->editable, 1);
  EXPECT_EQ(e->parameters[2]->owner, 0);
  e->parameters[0]->valueChanged = true;
  e->ClearModifiedFlags();
  EXPECT_EQ(e->GetChangeState(), 0);
}

TEST(LinearIndex, LearnedFromTheFirstIndexedParameterThenChecked) {
  platform::CollectingPrompter prompter;
  auto e = Element(3);
  EXPECT_EQ(e->GetLinearIndex(), -1);  // nothing indexed
  int indices[] = {3, 3, 4};
  for (int i = 0; i < 3; ++i) {
    e->parameters[static_cast<size_t>(i)]->indexed = true;
    e->parameters[static_cast<size_t>(i)]->linearIndex = indices[i];
  }
  e->parameters[2]->description = "Третий";
  EXPECT_EQ(e->GetLinearIndex(), 3);
  EXPECT_TRUE(prompter.requests.empty());
  EXPECT_EQ(e->GetLinearIndex(), 3);
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_EQ(prompter.requests[0].text, "Параметр 'P2' (Третий) имеет подозрительный линейный индекс.");
  EXPECT_EQ(prompter.requests[0].caption, "Предупреждение");
  EXPECT_EQ(prompter.requests[0].icon, platform::MessageIcon::Warning);

  e->SetLinearIndex(7);
  prompter.requests.clear();
  EXPECT_EQ(e->GetLinearIndex(), 7);
  EXPECT_TRUE(prompter.requests.empty());
  EXPECT_EQ(e->parameters[2]->linearIndex, 7);
}

class ProblemBranch : public Elements::InvisibleElement {
 public:
  bool problem = false;
  std::optional<bool> HasProblemInSubtree() const override { return problem; }
};

TEST(ElementRows, ElementRowThenParameterRows) {
  FakeTreeRows rows;
  auto e = Element(3);
  e->SetLinearIndex(5);
  e->parameters[0]->indexed = true;
  e->parameters[0]->linearIndex = 5;
  auto row = e->InsertTreeItems(rows, model::kNoItem, 2, true);
  auto& r = rows.At(row);
  EXPECT_EQ(r.object, e.get());
  EXPECT_EQ(r.Text(0), "E");
  EXPECT_EQ(r.Text(1), "(5)");
  EXPECT_EQ(r.editor, model::RowEditor::None);
  EXPECT_EQ(r.image, 0);
  ASSERT_EQ(r.children.size(), 2u);
  EXPECT_EQ(rows.At(r.children[0]).object, e->parameters[0].get());
  EXPECT_EQ(rows.At(r.children[0]).image, 28);
  EXPECT_EQ(rows.At(r.children[0]).Text(1), "P0:5");
  EXPECT_EQ(e->rowsShown, 2);

  FakeTreeRows all;
  auto hidden = Element(2);
  auto hiddenRow = hidden->InsertTreeItems(all, model::kNoItem, -1, false);
  EXPECT_EQ(all.At(hiddenRow).children.size(), 2u);
  EXPECT_EQ(hidden->rowsShown, 2);

  FakeTreeRows failing;
  failing.failInserts = true;
  EXPECT_EQ(e->InsertTreeItems(failing, model::kNoItem, -1, true), model::kNoItem);
  EXPECT_EQ(failing.RowCount(), 0u);
}

TEST(ElementRows, LinearIndexColumnAndBranchColour) {
  FakeTreeRows rows;
  ProblemBranch branch;
  branch.elementName = "B";
  branch.problem = true;
  branch.elementIndex = 2;
  auto row = branch.InsertTreeItems(rows, model::kNoItem, -1, false);
  EXPECT_EQ(rows.At(row).Text(1), "");
  EXPECT_EQ(rows.At(row).colour, model::kRed);
  branch.problem = false;
  branch.ShowLinearIndexInTree(rows, row, true);
  EXPECT_EQ(rows.At(row).Text(1), "(2)");
  EXPECT_EQ(rows.At(row).colour, model::kBlack);
  // A plain element's row keeps its colour.
  auto plain = Element(0);
  auto plainRow = plain->InsertTreeItems(rows, model::kNoItem, -1, true);
  rows.At(plainRow).colour = 0x123456;
  plain->ShowLinearIndexInTree(rows, plainRow, true);
  EXPECT_EQ(rows.At(plainRow).colour, 0x123456u);
  EXPECT_EQ(rows.At(plainRow).Text(1), "");  // no index known
}

TEST(ServiceElement, VersionLegalNoticeAndOperatingSystem) {
  model::AppVersionTexts texts;
  model::AppVersionTexts* previousTexts = model::SetAppVersionTexts(&texts);

  Elements::CommonParams service;
  EXPECT_EQ(service.elementName, "Сервисные параметры программы");
  EXPECT_EQ(service.GetImage(), 20);
  service.AddParameter(std::make_unique<Parameter>("old"));
  service.InitParameters();
  ASSERT_EQ(service.parameters.size(), 3u);
  const char* names[] = {" ", "  ", "   "};
  const char* captions[] = {"Версия", "Копирайт", "Операционная система"};
  for (size_t i = 0; i < 3; ++i) {
    const Parameter& p = *service.parameters[i];
    EXPECT_EQ(p.name, names[i]);
    EXPECT_EQ(p.description, captions[i]);
    EXPECT_FALSE(p.writable);
    EXPECT_EQ(p.attributes, 0);
    EXPECT_FALSE(p.AnyChangeFlag());
  }
  EXPECT_EQ(service.parameters[0]->value, "1.0.0.1");
  EXPECT_EQ(texts.fileVersion, "1.0.0.1");
  EXPECT_EQ(texts.productName, "Zt580");
  EXPECT_EQ(texts.legalNotice, service.parameters[1]->value);
  EXPECT_FALSE(texts.legalNotice.empty());
  EXPECT_FALSE(service.parameters[2]->value.empty());
  std::string written;
  EXPECT_TRUE(platform::ReadSettingString(platform::Hive::LocalMachine, "Software\\TEVI\\Devices\\Zt580", "name", written));
  EXPECT_EQ(written, "Zt580");
  EXPECT_TRUE(platform::ReadSettingString(platform::Hive::LocalMachine, "Software\\TEVI\\Devices\\Zt580", "version", written));
  EXPECT_EQ(written, "1.0.0.1");

  model::SetAppVersionTexts(previousTexts);
}

TEST(ServiceElement, VersionAndSystemTexts) {
  using Elements::CommonParams;
  EXPECT_EQ(CommonParams::DottedVersion("1, 2, 3, 4"), "1.2.3.4");
  EXPECT_EQ(CommonParams::DottedVersion("1,2"), "1,2");
  EXPECT_EQ(CommonParams::PrettyNameFromOsRelease("NAME=x\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(CommonParams::PrettyNameFromOsRelease("PRETTY_NAME='A \"B\"'"), "A \"B\"");
  EXPECT_EQ(CommonParams::PrettyNameFromOsRelease("PRETTY_NAME=Plain\r\n"), "Plain");
  EXPECT_EQ(CommonParams::PrettyNameFromOsRelease("PRETTY_NAME=\"Unterminated"), "Unterminated");
  EXPECT_EQ(CommonParams::PrettyNameFromOsRelease("NAME=x"), "");
  EXPECT_FALSE(CommonParams::OperatingSystemText().empty());
}

TEST(InvisibleElementBasics, FixedAnswers) {
  Elements::InvisibleElement e;
  EXPECT_EQ(e.elementName, "Невизуальный элемент");
  EXPECT_EQ(e.GetNoValueCode(), -999);
  std::array<std::uint8_t, 16> record;
  record.fill(0xAA);
  e.ZeroFillRecord(record);
  for (auto b : record) EXPECT_EQ(b, 0);
}

}  // namespace
