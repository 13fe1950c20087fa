#include <gtest/gtest.h>

#include "model/Parameter.h"
#include "support/FakeTreeRows.h"

namespace {

using model::RowEditor;

TEST(ParameterRows, ScalarRowShowsNameValueAttributesNoteAndColour) {
  FakeTreeRows rows;
  Parameter p("Addr");
  p.type = "int";
  p.description = "Адрес";
  p.value = "16";
  p.indexed = true;
  p.linearIndex = 3;
  p.attributes = 1;
  auto row = p.InsertTreeItem(rows, model::kNoItem, 28, 29, true);
  ASSERT_NE(row, model::kNoItem);
  EXPECT_EQ(p.treeItem, row);
  auto& r = rows.At(row);
  EXPECT_EQ(r.object, &p);
  EXPECT_EQ(r.editor, RowEditor::EditBox);
  EXPECT_FALSE(r.fast);
  EXPECT_EQ(r.image, 28);
  EXPECT_EQ(r.selectedImage, 29);
  EXPECT_EQ(r.texts, (std::vector<std::string>{"Адрес", "Addr:3", "16", "Редактируемый", "Пользователь", ""}));
  EXPECT_EQ(r.colour, model::kBlack);

  Parameter q("LEn");
  q.type = "7:8";
  q.editable = 0;
  q.owner = 1;
  q.attributes = 2;
  q.indexed = true;
  auto& qr = rows.At(q.InsertTreeItem(rows, row, 27, 27, false));
  EXPECT_EQ(qr.editor, RowEditor::DropDownList);
  EXPECT_EQ(qr.parent, row);
  EXPECT_EQ(qr.Text(1), "LEn");
  EXPECT_EQ(qr.Text(3), "Не редактируемый");
  EXPECT_EQ(qr.Text(4), "Фирма");

  Parameter ro("dev");
  ro.writable = false;
  EXPECT_EQ(rows.At(ro.InsertTreeItem(rows, model::kNoItem, 30, 30, false)).editor, RowEditor::None);
  Parameter unknownType("X");  // type "неизвестен" counts as scalar
  EXPECT_EQ(rows.At(unknownType.InsertTreeItem(rows, model::kNoItem, 28, 28, false)).editor, RowEditor::EditBox);
}

TEST(ParameterRows, ColourFollowsNoteAndChangeFlags) {
  Parameter p("X");
  EXPECT_EQ(p.RowColour(), 0x000000u);
  p.ownerChanged = true;
  EXPECT_EQ(p.RowColour(), 0x00C800u);
  p.note = "Знач-е в приборе: '5',";
  EXPECT_EQ(p.RowColour(), 0xFF4040u);
  p.note = "Таймаут";
  EXPECT_EQ(p.RowColour(), 0x0000FFu);
}

TEST(ParameterRows, PolledRowShowsPeriodAndRunState) {
  FakeTreeRows rows;
  Parameter p("Rd.St");
  p.description = "Статус";
  p.linearIndex = 2;
  p.PreparePolling();
  p.pollPeriod = 500;
  auto& r = rows.At(p.InsertTreeItem(rows, model::kNoItem, 1, 1, true));
  EXPECT_EQ(r.Text(0), "Статус, Rd.St:2");
  EXPECT_TRUE(r.fast);
  EXPECT_EQ(r.object, &p);
  EXPECT_EQ(r.image, 26);
  EXPECT_EQ(r.editor, RowEditor::EditBox);
  EXPECT_EQ(r.Text(1), "500");
  EXPECT_EQ(r.stateImage, 1);
  EXPECT_FALSE(r.disabled);

  Parameter running("rEAd");
  running.PreparePolling();
  running.StartPolling();
  running.writable = false;
  auto& rr = rows.At(running.InsertTreeItem(rows, model::kNoItem, 1, 1, false));
  EXPECT_EQ(rr.Text(0), "<неизвестный параметр>");
  EXPECT_EQ(rr.editor, RowEditor::None);
  EXPECT_EQ(rr.stateImage, 3);
  EXPECT_TRUE(rr.disabled);

  Parameter special("r.oe.s");
  special.PreparePolling();
  auto& sr = rows.At(special.InsertTreeItem(rows, model::kNoItem, 1, 1, false));
  EXPECT_EQ(sr.Text(1), "");
  EXPECT_EQ(sr.stateImage, 0);
}

TEST(ParameterRows, RefreshTouchesOnlyValueNoteAndColour) {
  FakeTreeRows rows;
  Parameter p("Addr");
  p.type = "int";
  p.attributes = 1;
  p.InsertTreeItem(rows, model::kNoItem, 28, 28, false);
  auto& r = rows.At(p.treeItem);
  r.texts[1] = "kept1";
  r.texts[3] = "kept3";
  p.value = "17";
  p.note = "Ошибка";
  p.attributes = 0;
  p.RefreshTreeItem(rows);
  EXPECT_EQ(r.texts, (std::vector<std::string>{"<неизвестный параметр>", "kept1", "17", "kept3", "Пользователь", "Ошибка"}));
  EXPECT_EQ(r.colour, model::kRed);
  Parameter hidden("X");  // no row: nothing happens
  hidden.RefreshTreeItem(rows);
}

TEST(ParameterRows, CodPBitsFillTheChildRowsAndTheValueWritesBack) {
  FakeTreeRows rows;
  Parameter p("CodP");
  p.type = "int";
  auto row = p.InsertTreeItem(rows, model::kNoItem, 28, 28, false);
  std::vector<model::TreeItem> children;
  for (int i = 0; i < 6; ++i) children.push_back(rows.InsertItem(nullptr, "bit", 38, 38, RowEditor::None, row, true));
  p.value = "181";  // 0xB5: load 01, bit 4 set, bit 5 set, bit 6 clear, bit 7 set
  p.RefreshTreeItem(rows);
  EXPECT_EQ(rows.At(children[0]).Text(2), "10 кОм");
  EXPECT_EQ(rows.At(children[1]).Text(2), "1");
  EXPECT_EQ(rows.At(children[2]).Text(2), "да");
  EXPECT_EQ(rows.At(children[3]).Text(2), "безопасное состояние выходов");
  EXPECT_EQ(rows.At(children[4]).Text(2), "тестирование");
  EXPECT_EQ(rows.At(children[5]).Text(2), "");
  EXPECT_EQ(p.value, "0xb5");
  EXPECT_EQ(rows.At(row).Text(2), "0xb5");
  // Refreshing again reads the hexadecimal text.
  p.value = "0x4a";
  p.RefreshTreeItem(rows);
  EXPECT_EQ(rows.At(children[0]).Text(2), "100 кОм");
  EXPECT_EQ(rows.At(children[3]).Text(2), "автоматическое управление");
  EXPECT_EQ(rows.At(children[4]).Text(2), "работа");
  EXPECT_EQ(p.value, "0x4a");
  ValueBytes data;
  EXPECT_EQ(p.ConvertToData(data), 1);
  EXPECT_EQ(data, ValueBytes{0x4A});
  // A value that is no number stays as it is.
  p.value = "Нет данных";
  p.RefreshTreeItem(rows);
  EXPECT_EQ(p.value, "Нет данных");
}

}  // namespace
