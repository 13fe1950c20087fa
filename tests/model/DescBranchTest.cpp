// Building parameters from branch descriptions: index arithmetic, name suffixes and
// numbering, types with a point position, the output table; then the rows a branch
// inserts, lookups and the polling state.
#include <gtest/gtest.h>

#include <memory>

#include "model/DescBranch.h"
#include "model/DeviceModelHooks.h"
#include "support/FakeLink.h"
#include "platform/Prompter.h"
#include "support/FakeTreeRows.h"

namespace {

struct Document : model::BranchBuildContext {
  model::OutputTable table{};
  model::OutputTable& GetOutputTable() override { return table; }
};

DescParameter Desc(const std::string& name, const std::string& type = "int", const std::string& caption = "Cap_x") {
  DescParameter d;
  d.name = name;
  d.type = type;
  d.caption = caption;
  return d;
}

std::unique_ptr<DescBranch> Branch(const std::string& name, int repeat, int instance,
                                   std::initializer_list<DescParameter> descs = {}) {
  auto b = std::make_unique<DescBranch>(name, repeat, instance, 2, 3);
  for (const auto& d : descs) {
    b->descriptions.push_back(d);
    b->memberOrder.push_back(false);
  }
  return b;
}

void AddChild(DescBranch& parent, std::unique_ptr<DescBranch> child) {
  parent.children.push_back(std::move(child));
  parent.memberOrder.push_back(true);
}

TEST(DescBranchBuild, SuffixesShiftAndScaleTheBase) {
  Document doc;
  // "+2" shifts base and instance, except for K20, whose instance stays.
  auto k20 = Branch("K20+2", 1, 1, {Desc("a")});
  k20->BuildParameters(doc, true, 0);
  EXPECT_EQ(k20->elementName, "K20");
  EXPECT_EQ(k20->instance, 1);
  EXPECT_EQ(k20->parameters[0]->linearIndex, 2);

  auto other = Branch("K21+2", 1, 1, {Desc("a")});
  other->BuildParameters(doc, true, 0);
  EXPECT_EQ(other->elementName, "K21");
  EXPECT_EQ(other->instance, 3);
  EXPECT_EQ(other->parameters[0]->linearIndex, 2);

  // "*4" with repeat 1, base 3, instance 1: b = 12.
  auto scaled = Branch("Вход*4", 1, 1, {Desc("a")});
  scaled->BuildParameters(doc, true, 3);
  EXPECT_EQ(scaled->elementName, "Вход");
  EXPECT_EQ(scaled->parameters[0]->linearIndex, 12);

  // Both suffixes: scale first, then shift; a non-digit scales by 0.
  auto both = Branch("X+1*2", 1, 1, {Desc("a")});
  both->BuildParameters(doc, true, 5);
  EXPECT_EQ(both->elementName, "X");
  EXPECT_EQ(both->parameters[0]->linearIndex, 11);
  auto zero = Branch("Z*x", 1, 1, {Desc("a")});
  zero->BuildParameters(doc, true, 5);
  EXPECT_EQ(zero->parameters[0]->linearIndex, 0);
  // Each suffix is taken once, in that order.
  auto once = Branch("W*x+1", 1, 1, {Desc("a")});
  once->BuildParameters(doc, true, 5);
  EXPECT_EQ(once->elementName, "W*x");
  EXPECT_EQ(once->parameters[0]->linearIndex, 6);

  // The suffix digit may be any character, also a multibyte one.
  auto cyr = Branch("Y*Я", 1, 1, {Desc("a")});
  cyr->BuildParameters(doc, true, 5);
  EXPECT_EQ(cyr->elementName, "Y");
}

TEST(DescBranchBuild, RepeatedInstancesAreNumberedAndIndexed) {
  Document doc;
  auto root = Branch("Корень", 1, 1);
  for (int i = 1; i <= 4; ++i) AddChild(*root, Branch("Канал_входа", 4, i, {Desc("in-t"), Desc("!ver")}));
  auto extra1 = Branch("Состояние_дополнительного_ВЭ", 2, 1, {Desc("s")});
  auto extra2 = Branch("Состояние_дополнительного_ВЭ", 2, 2, {Desc("s")});
  AddChild(*root, std::move(extra1));
  AddChild(*root, std::move(extra2));
  auto numbered = Branch("Выход_#_(#)", 2, 2, {Desc("o")});
  AddChild(*root, std::move(numbered));

  // The largest multiplicity of the children: four channels.
  EXPECT_EQ(root->BuildParameters(doc, false, 0), 4);
  EXPECT_EQ(root->elementName, "Корень");
  EXPECT_FALSE(root->parameters.size());
  for (int i = 0; i < 4; ++i) {
    const DescBranch& ch = *root->children[i];
    EXPECT_EQ(ch.elementName, "Канал входа " + std::to_string(i + 1));
    ASSERT_EQ(ch.parameters.size(), 2u);
    EXPECT_TRUE(ch.parameters[0]->indexed);
    EXPECT_EQ(ch.parameters[0]->linearIndex, i);
    EXPECT_TRUE(ch.parameters[0]->writable);
    EXPECT_EQ(ch.parameters[1]->name, "ver");
    EXPECT_FALSE(ch.parameters[1]->writable);
    EXPECT_EQ(ch.parameters[0]->description, "Cap x");
  }
  EXPECT_EQ(root->children[4]->elementName, "Состояние дополнительного ВЭ 9");
  EXPECT_EQ(root->children[5]->elementName, "Состояние дополнительного ВЭ 10");
  // Every '#' becomes a blank and the number.
  EXPECT_EQ(root->children[6]->elementName, "Выход  2 ( 2)");
}

TEST(DescBranchBuild, NestedRepeatsMultiplyIndexes) {
  Document doc;
  // Two groups of three channels: channel c of group g has index 3*(g-1)+(c-1),
  // and the group's own parameter the multiplicity 3 times its number.
  auto root = Branch("R", 1, 1);
  for (int g = 1; g <= 2; ++g) {
    auto group = Branch("G", 2, g, {Desc("gp")});
    for (int c = 1; c <= 3; ++c) AddChild(*group, Branch("C", 3, c, {Desc("cp")}));
    AddChild(*root, std::move(group));
  }
  root->BuildParameters(doc, false, 0);
  for (int g = 0; g < 2; ++g) {
    const DescBranch& group = *root->children[g];
    EXPECT_EQ(group.parameters[0]->linearIndex, 3 * g);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(group.children[c]->parameters[0]->linearIndex, 3 * g + c);
  }
}

TEST(DescBranchBuild, HostileSuffixesSaturateInsteadOfOverflowing) {
  Document doc;
  auto root = Branch("R", 1, 1);
  DescBranch* at = root.get();
  for (int i = 0; i < 30; ++i) {
    auto child = Branch("N*9", 9, 9);
    DescBranch* next = child.get();
    AddChild(*at, std::move(child));
    at = next;
  }
  at->descriptions.push_back(Desc("deep"));
  at->memberOrder.push_back(false);
  root->BuildParameters(doc, false, 0);
  EXPECT_EQ(at->parameters.size(), 1u);
}

TEST(DescBranchBuild, TypesWithPointPositionAndSingleParameterBranches) {
  Document doc;
  DescParameter limited = Desc("lim", "float:3");
  limited.lower = -5;
  limited.upper = 7;
  limited.initialValue = "1 2";
  limited.attribute = 0;
  limited.mode = 2;
  auto b = Branch("B", 1, 1,
                  {Desc("a", "int:2"), Desc("b", "int:4"), Desc("c", "Выкл:Вкл"), Desc("d", "INT16:1"),
                   Desc("e", "string:2"), Desc("f", "int:2:3"), limited});
  b->BuildParameters(doc, false, 0);
  auto& p = b->parameters;
  EXPECT_EQ(p[0]->type, "int");
  EXPECT_EQ(p[0]->dot, 2);
  EXPECT_EQ(p[1]->type, "int:4");
  EXPECT_EQ(p[1]->dot, 0);
  EXPECT_EQ(p[2]->type, "Выкл:Вкл");
  EXPECT_EQ(p[3]->type, "INT16");
  EXPECT_EQ(p[3]->dot, 1);
  EXPECT_EQ(p[4]->type, "string:2");
  EXPECT_EQ(p[5]->type, "int:2:3");
  EXPECT_EQ(p[6]->type, "float");
  EXPECT_EQ(p[6]->dot, 3);
  EXPECT_EQ(p[6]->min, -5);
  EXPECT_EQ(p[6]->max, 7);
  EXPECT_EQ(p[6]->initialValue, "1 2");
  EXPECT_EQ(p[6]->attributes, 0);
  EXPECT_EQ(p[6]->mode, 2);
  EXPECT_FALSE(p[0]->indexed);
  EXPECT_EQ(p[0]->description, "Cap x");

  auto single = Branch("Адрес_модуля", 1, 1, {Desc("Addr")});
  single->BuildParameters(doc, false, 0);
  EXPECT_TRUE(single->IsSingleParameter());
  EXPECT_EQ(single->parameters[0]->description, "Адрес модуля");
  EXPECT_EQ(single->GetDisplayedObject(), single->parameters[0].get());
  EXPECT_EQ(b->GetDisplayedObject(), b.get());
}

TEST(DescBranchBuild, OutputTableTakesIndexesZeroToNine) {
  auto doc = std::make_unique<Document>();
  auto root = Branch("R", 1, 1);
  for (int i = 1; i <= 12; ++i) AddChild(*root, Branch("Out", 12, i, {Desc("pout")}));
  root->BuildParameters(*doc, false, 0);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(doc->table[i], root->children[i]->parameters[0].get());
  // Deleting the tree clears the entries it filled.
  root.reset();
  for (Parameter* entry : doc->table) EXPECT_EQ(entry, nullptr);
}

TEST(DescBranchBuild, DeepCopyCopiesDescriptionsNotParameters) {
  Document doc;
  auto original = Branch("A", 1, 1, {Desc("a")});
  AddChild(*original, Branch("B", 1, 1, {Desc("b")}));
  original->BuildParameters(doc, false, 0);
  DescBranch copy(*original);
  EXPECT_TRUE(copy.parameters.empty());
  ASSERT_EQ(copy.children.size(), 1u);
  EXPECT_NE(copy.children[0].get(), original->children[0].get());
  EXPECT_EQ(copy.memberOrder, original->memberOrder);
  EXPECT_EQ(copy.children[0]->descriptions[0].name, "b");
  const DescBranch* tracked = original->children[0].get();
  DescBranch* trackedCopy = nullptr;
  DescBranch second(*original, tracked, &trackedCopy);
  EXPECT_EQ(trackedCopy, second.children[0].get());
}

class StatusBits : public model::DeviceModelHooks {
 public:
  int GetStatusBitCaption(int row) const override { return row < 2 ? 410 - row : 0; }
};

TEST(DescBranchRows, MemberOrderSingleParameterChildrenAndFixedSubRows) {
  Document doc;
  auto root = Branch("R", 1, 1, {Desc("first"), Desc("last")});
  AddChild(*root, Branch("Коды", 1, 1, {Desc("CodP")}));
  AddChild(*root, Branch("Входы", 1, 1, {Desc("R.CN")}));
  AddChild(*root, Branch("Выходы", 1, 1, {Desc("s.do")}));
  AddChild(*root, Branch("Статус", 1, 1, {Desc("Rd.St")}));
  AddChild(*root, Branch("Группа", 1, 1, {Desc("x"), Desc("y")}));
  root->memberOrder = {false, true, true, true, true, true, false};
  root->BuildParameters(doc, false, 0);

  StatusBits model;
  model::DeviceModelHooks* previous = model::SetCurrentDeviceModel(&model);
  FakeTreeRows rows;
  const model::TreeItem top = root->InsertTreeItems(rows, model::kNoItem, -1, false);
  model::SetCurrentDeviceModel(previous);

  EXPECT_EQ(rows.At(top).object, root.get());
  EXPECT_TRUE(rows.At(top).fast);
  const auto& under = rows.Children(top);
  ASSERT_EQ(under.size(), 7u);
  EXPECT_EQ(rows.At(under[0]).object, root->parameters[0].get());
  EXPECT_EQ(rows.At(under[1]).object, root->children[0]->parameters[0].get());
  EXPECT_EQ(rows.At(under[1]).Text(0), "Коды");
  EXPECT_EQ(rows.At(under[5]).object, root->children[4].get());
  EXPECT_EQ(rows.At(under[6]).object, root->parameters[1].get());
  EXPECT_EQ(root->rowsShown, 2);

  auto texts = [&](model::TreeItem row) {
    std::vector<std::string> out;
    for (model::TreeItem r : rows.Children(row)) {
      EXPECT_EQ(rows.At(r).image, 38);
      out.push_back(rows.At(r).Text(0));
    }
    return out;
  };
  EXPECT_EQ(texts(under[1]), (std::vector<std::string>{"порог срабатывания", "вход «Заводские настройки»",
                                                       "вход «Управление по сети»", "вход «Режим работы по тайм-ауту»",
                                                       "вход «Режим функционирования»"}));
  EXPECT_EQ(texts(under[2]), (std::vector<std::string>{"вход 1", "вход 2", "вход 3", "вход 4"}));
  EXPECT_EQ(texts(under[3]), (std::vector<std::string>{"выход 1", "выход 2", "выход 3", "выход 4"}));
  EXPECT_EQ(texts(under[4]), (std::vector<std::string>{"порог срабатывания", "вход «Заводские настройки»"}));
  EXPECT_EQ(rows.Children(under[5]).size(), 2u);

  // Parameters added later get rows after those shown.
  root->AddParameter(std::make_unique<Parameter>("late"));
  root->InsertRemainingParameterItems(rows, top, false);
  EXPECT_EQ(rows.Children(top).size(), 8u);
  EXPECT_EQ(root->rowsShown, 3);
}

TEST(DescBranchRows, ActuatorRowForHighInstances) {
  Document doc;
  auto high = Branch("БУИМ_#", 10, 9, {Desc("a"), Desc("b")});
  high->BuildParameters(doc, false, 0);
  auto low = Branch("БУИМ_#", 10, 8, {Desc("a"), Desc("b")});
  low->BuildParameters(doc, false, 0);
  FakeTreeRows rows;
  const model::TreeItem h = high->InsertTreeItems(rows, model::kNoItem, -1, false);
  const model::TreeItem l = low->InsertTreeItems(rows, model::kNoItem, -1, false);
  ASSERT_EQ(rows.Children(h).size(), 3u);
  const auto& actuator = rows.At(rows.Children(h)[0]);
  EXPECT_EQ(actuator.Text(0), "Тип исполнительного механизма");
  EXPECT_EQ(actuator.Text(2), "2 позиционный ИМ");
  EXPECT_EQ(actuator.image, 30);
  EXPECT_EQ(rows.Children(l).size(), 2u);
}

// A tree R{r1, A{a1(idx 0)}, B{a1(idx 1)}, C x2{a1(idx 2, 3)}}.
std::unique_ptr<DescBranch> LookupTree(Document& doc) {
  auto root = Branch("R", 1, 1, {Desc("r1")});
  AddChild(*root, Branch("A", 1, 1, {Desc("a1"), Desc("A1")}));
  AddChild(*root, Branch("B+1", 1, 1, {Desc("a1")}));
  AddChild(*root, Branch("C+2", 2, 1, {Desc("a1")}));
  AddChild(*root, Branch("C+2", 2, 2, {Desc("a1")}));
  root->BuildParameters(doc, true, 0);
  return root;
}

TEST(DescBranchLookup, FindByNameAndIndexOrCollect) {
  Document doc;
  auto root = LookupTree(doc);
  EXPECT_EQ(root->FindParameterAt("A1", 0), root->children[0]->parameters[0].get());
  EXPECT_EQ(root->FindParameterAt("a1", 3), root->children[3]->parameters[0].get());
  EXPECT_EQ(root->FindParameterAt("a1", 9), nullptr);
  EXPECT_EQ(root->FindParameterAt("nope", 0), nullptr);

  std::map<int, Parameter*> map;
  int maximum = 0;
  int offset = 0;
  EXPECT_EQ(root->FindParameter("a1", &map, &maximum, &offset, 0), nullptr);
  // Only the first match of each branch counts.
  ASSERT_EQ(map.size(), 4u);
  EXPECT_EQ(map[2], root->children[2]->parameters[0].get());
  EXPECT_EQ(maximum, 3);
  // The offset is taken again while it is 0: index 0 gave 0, index 1 gave 1.
  EXPECT_EQ(offset, 1);

  maximum = 5;
  offset = 0;
  root->FindParameter("a1", nullptr, &maximum, &offset, 0);
  EXPECT_EQ(offset, -5);
  EXPECT_EQ(maximum, 5);
}

TEST(DescBranchState, PollingStateCountsAndWalks) {
  Document doc;
  auto root = Branch("R", 1, 1, {Desc("r")});
  AddChild(*root, Branch("P", 1, 1, {Desc("p1"), Desc("p2")}));
  AddChild(*root, Branch("Q", 1, 1, {Desc("q")}));
  root->BuildParameters(doc, false, 0);
  EXPECT_EQ(root->GetPollingState(), -1);
  root->children[0]->parameters[0]->pollPrepared = true;
  EXPECT_EQ(root->children[0]->GetPollingState(), 0);
  EXPECT_EQ(root->children[1]->GetPollingState(), -1);
  EXPECT_EQ(root->GetPollingState(), 0);
  root->children[0]->parameters[0]->pollRunning = true;
  EXPECT_EQ(root->GetPollingState(), 1);
  std::vector<Parameter*> polled;
  EXPECT_EQ(root->CollectPolledParameters(polled), 1);

  EXPECT_EQ(root->CountParametersToWrite(1), 4);
  EXPECT_EQ(root->CountParametersToWrite(0), 0);
  root->children[1]->parameters[0]->ownerChanged = true;
  root->parameters[0]->initialValue = "5";
  EXPECT_EQ(root->CountParametersToWrite(0), 1);
  EXPECT_EQ(root->CountParametersToWrite(-1), 1);

  FakeLink link;
  EXPECT_EQ(root->ReadFromDevice(link).processed, 4);
  link.abort = true;
  EXPECT_EQ(root->ReadFromDevice(link), (model::WalkResult{0, 0}));

  EXPECT_FALSE(*root->HasProblemInSubtree());
  root->children[1]->parameters[0]->note = "Знач-е в приборе: 3";
  EXPECT_FALSE(*root->HasProblemInSubtree());
  root->children[1]->parameters[0]->note = "Нет ответа";
  EXPECT_TRUE(*root->HasProblemInSubtree());
}

}  // namespace
