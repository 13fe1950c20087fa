// The tree-list control offscreen: rows through the model's interface, deletion,
// in-place editing and its one notification, the state-image click, header sorting.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QScrollBar>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "app/CPelmDoc.h"
#include "controls/CNewTreeListCtrlView.h"
#include "controls/CTreeListCtrl.h"
#include "controls/CTreeListEditors.h"
#include "controls/CTreeListHeaderCtrl.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/Prompter.h"
#include "RealInput.h"
#include "support/FakeTreeRows.h"
#include "support/ReadFile.h"

namespace {

using namespace TreeList;

// Counts the end notifications, as the parameter tree will receive them.
class CountingTree : public CTreeListCtrl {
 public:
  void OnEndLabelEdit(const EditEnd& end) override {
    ends.push_back(end);
    CTreeListCtrl::OnEndLabelEdit(end);
  }
  void OnComboItemChanged(const EditEnd& end) override {
    ends.push_back(end);
    CTreeListCtrl::OnComboItemChanged(end);
  }
  void OnStateImageClick(model::TreeItem row) override {
    ++stateClicks;
    CTreeListCtrl::OnStateImageClick(row);
  }
  void OnRightClick(model::TreeItem row, const QPoint&) override { rightClicks.push_back(row); }
  std::vector<EditEnd> ends;
  int stateClicks = 0;
  std::vector<model::TreeItem> rightClicks;
};

struct Fixture {
  Fixture() : tree(new CountingTree), view(nullptr, tree) {
    const char* captions[] = {"Описание", "Имя", "Значение", "Атрибут", "Владелец", "Ошибки"};
    for (int i = 0; i < 6; ++i) tree->InsertColumn(i, captions[i], i == 2 ? 2 : 0, 90);
    view.resize(640, 300);
    view.Create();
    view.show();
  }
  // A value cell: opens its editor by a double click.
  void DoubleClick(model::TreeItem row, int column) {
    const QRect r = tree->CellRect(row, column);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, r.center());
  }
  // Four rows whose captions sort by their numbers and whose values (column 2) by
  // letters, case aside.
  std::vector<model::TreeItem> AddSortRows(bool editable) {
    const char* values[] = {"b", "C", "a", "D"};
    std::vector<model::TreeItem> rows;
    int n = 0;
    for (const char* t : {"Канал 10", "Канал 9", "Вход", "Канал 2"}) {
      rows.push_back(tree->InsertItem(t, 28, 28, editable, false, 0));
      tree->SetItemText(rows.back(), 2, values[n++]);
    }
    return rows;
  }
  // The top-level captions in their shown order.
  std::string Order() const {
    std::string s;
    for (model::TreeItem r = tree->GetChildItem(model::kNoItem); r; r = tree->GetNextSiblingItem(r))
      s += tree->GetItemText(r, 0) + ";";
    return s;
  }
  CountingTree* tree;
  CNewTreeListCtrlView view;
};

TEST(TreeListCtrl, ModelTreeFillsTheControlAndDeletionKeepsTheCount) {
  ASSERT_NE(QApplication::instance(), nullptr);
  CPelmDoc doc;
  const std::filesystem::path file = std::filesystem::path(std::getenv("Z580_SOURCE_DIR")) / "data/descriptions/z580-08.tree";
  ASSERT_TRUE(doc.ParseDescriptionText(testsupport::ReadFile(file)));
  doc.BuildTrees();
  ASSERT_NE(doc.rootBranch, nullptr);

  Fixture f;
  FakeTreeRows fake;
  doc.rootBranch->InsertTreeItems(*f.tree, model::kNoItem, -1, false);
  doc.rootBranch->InsertTreeItems(fake, model::kNoItem, -1, false);
  ASSERT_GT(fake.RowCount(), 20u);
  EXPECT_EQ(f.tree->RowCount(), static_cast<int>(fake.RowCount()));
  EXPECT_EQ(f.tree->topLevelItemCount(), static_cast<int>(fake.Children(model::kNoItem).size()));

  // The rows carry what the elements gave them.
  const model::TreeItem top = f.tree->GetChildItem(model::kNoItem);
  const model::TreeItem first = f.tree->GetChildItem(top);
  ASSERT_NE(first, model::kNoItem);
  EXPECT_EQ(f.tree->GetItemObject(top), static_cast<CObject*>(doc.rootBranch));
  const auto fakeFirst = fake.Children(fake.Children(model::kNoItem).front()).front();
  EXPECT_EQ(f.tree->GetItemText(first, 0), fake.At(fakeFirst).Text(0));
  EXPECT_EQ(f.tree->GetItemText(first, 2), fake.At(fakeFirst).Text(2));

  // A double click in column 0 opens or closes the row.
  const model::TreeItem branch = f.tree->GetChildItem(model::kNoItem);
  const bool wasExpanded = f.tree->topLevelItem(0)->isExpanded();
  f.DoubleClick(branch, 0);
  EXPECT_NE(f.tree->topLevelItem(0)->isExpanded(), wasExpanded);

  // Deleting a row takes its subtree with it; the count follows.
  int before = f.tree->RowCount();
  model::TreeItem withChildren = model::kNoItem;
  for (model::TreeItem r = first; r != model::kNoItem; r = f.tree->GetNextSiblingItem(r))
    if (f.tree->GetChildItem(r) != model::kNoItem) withChildren = r;
  ASSERT_NE(withChildren, model::kNoItem);
  int subtree = 1;
  for (model::TreeItem c = f.tree->GetChildItem(withChildren); c != model::kNoItem; c = f.tree->GetNextSiblingItem(c))
    ++subtree;  // the branches of this tree are one level deep under it
  EXPECT_FALSE(f.tree->DeleteChildren(withChildren));
  EXPECT_EQ(f.tree->RowCount(), before - (subtree - 1));
  EXPECT_TRUE(f.tree->DeleteItem(withChildren));
  EXPECT_EQ(f.tree->RowCount(), before - subtree);
  // A stale handle changes nothing and answers empty.
  EXPECT_FALSE(f.tree->DeleteItem(withChildren));
  EXPECT_EQ(f.tree->GetItemText(withChildren, 0), "");
  EXPECT_EQ(f.tree->GetItemObject(withChildren), nullptr);
  f.tree->DeleteAllItems();
  EXPECT_EQ(f.tree->RowCount(), 0);
  EXPECT_EQ(f.tree->topLevelItemCount(), 0);
}

TEST(TreeListCtrl, EditBoxEndsOnceByEnterTabFocusLossOrEscape) {
  Fixture f;
  Parameter p("Addr");
  p.type = "int";
  p.value = "16";
  const model::TreeItem row = p.InsertTreeItem(*f.tree, model::kNoItem, 28, 28, false);
  f.tree->SortTree(0, true);

  struct Case {
    const char* name;
    std::function<void(QLineEdit*)> end;
    std::string stored;
    bool cancelled, tab;
  };
  const Case cases[] = {
      {"enter", [](QLineEdit* e) { QTest::keyClick(e, Qt::Key_Return); }, "17", false, false},
      {"tab", [](QLineEdit* e) { QTest::keyClick(e, Qt::Key_Tab); }, "17", false, true},
      {"focus", [&](QLineEdit*) { f.tree->setFocus(); }, "17", false, false},
      {"escape", [](QLineEdit* e) { QTest::keyClick(e, Qt::Key_Escape); }, "16", true, false},
  };
  // The main window's shortcuts do not take the editors' keys (Delete, Ctrl+A); its
  // other shortcuts (Ctrl+S) still reach it while an editor is open.
  int editorKeyHits = 0, saveHits = 0;
  for (QKeySequence key : {QKeySequence(Qt::Key_Delete), QKeySequence(Qt::CTRL | Qt::Key_A),
                           QKeySequence(Qt::CTRL | Qt::Key_S)}) {
    auto* action = new QAction(&f.view);
    action->setShortcut(key);
    f.view.addAction(action);
    int& hits = key == QKeySequence(Qt::CTRL | Qt::Key_S) ? saveHits : editorKeyHits;
    QObject::connect(action, &QAction::triggered, [&hits] { ++hits; });
  }
  // Shortcuts reach the active window only.
  f.view.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f.view));
  for (const Case& c : cases) {
    f.tree->SetItemText(row, 2, "16");
    f.tree->ends.clear();
    f.DoubleClick(row, 2);
    auto* box = f.tree->OpenEditBox();
    ASSERT_NE(box, nullptr) << c.name;
    f.view.activateWindow();
    box->setFocus();
    EXPECT_EQ(box->text(), "16");
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    const int savesBefore = saveHits;
    QTest::keyClick(box, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(saveHits, savesBefore + 1) << c.name;
    EXPECT_EQ(box->text(), "") << c.name;
    EXPECT_EQ(f.tree->OpenEditBox(), box) << c.name;
    box->setText("17");
    c.end(box);
    QApplication::processEvents();
    ASSERT_EQ(f.tree->ends.size(), 1u) << c.name;
    EXPECT_EQ(f.tree->ends[0].row, row);
    EXPECT_EQ(f.tree->ends[0].column, 2);
    EXPECT_EQ(f.tree->ends[0].cancelled, c.cancelled) << c.name;
    EXPECT_EQ(f.tree->ends[0].endedByTab, c.tab) << c.name;
    EXPECT_EQ(f.tree->GetItemText(row, 2), c.stored) << c.name;
    EXPECT_EQ(f.tree->OpenEditBox(), nullptr);
  }
  EXPECT_EQ(editorKeyHits, 0);
}

TEST(TreeListCtrl, ListEditorArrowsChooseAndEscapeKeepsTheCell) {
  Fixture f;
  Parameter p("PrtY");
  p.type = "нет:чет_ность:<hide>x";
  p.value = "нет";
  const model::TreeItem row = p.InsertTreeItem(*f.tree, model::kNoItem, 27, 27, false);
  f.DoubleClick(row, 2);
  QComboBox* list = f.tree->OpenListEditor();
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->itemText(0), "нет");
  EXPECT_EQ(list->itemText(1), "чет ность");
  // Arrows move the choice without ending the editing.
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(list->currentIndex(), 1);
  EXPECT_TRUE(f.tree->ends.empty());
  QTest::keyClick(list, Qt::Key_Escape);
  QApplication::processEvents();
  ASSERT_EQ(f.tree->ends.size(), 1u);
  EXPECT_TRUE(f.tree->ends[0].cancelled);
  EXPECT_EQ(f.tree->GetItemText(row, 2), "нет");
}

TEST(TreeListCtrl, OpenEditorsAreDiscardedNotStored) {
  Fixture f;
  Parameter p("Addr");
  p.type = "int";
  p.value = "16";
  const model::TreeItem row = p.InsertTreeItem(*f.tree, model::kNoItem, 28, 28, false);

  // A poll update of the cell leaves the open editor's text alone.
  f.DoubleClick(row, 2);
  ASSERT_NE(f.tree->OpenEditBox(), nullptr);
  f.tree->OpenEditBox()->setText("99");
  const std::string polled = "20";
  f.tree->SetItemTexts(row, nullptr, &polled, nullptr, nullptr, nullptr, model::kBlack);
  EXPECT_EQ(f.tree->OpenEditBox()->text(), "99");

  // A press on the header discards the edit.
  QTest::mousePress(f.tree->Header()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
  QApplication::processEvents();
  EXPECT_EQ(f.tree->OpenEditBox(), nullptr);
  EXPECT_TRUE(f.tree->ends.empty());
  EXPECT_EQ(f.tree->GetItemText(row, 2), "20");

  // Deleting every row with an editor open stores nothing into the rows that go.
  f.DoubleClick(row, 2);
  ASSERT_NE(f.tree->OpenEditBox(), nullptr);
  f.tree->DeleteAllItems();
  QApplication::processEvents();
  EXPECT_TRUE(f.tree->ends.empty());
  EXPECT_EQ(f.tree->OpenEditBox(), nullptr);
}

TEST(TreeListCtrl, PolledValueWarnsOnceAndStillEdits) {
  Fixture f;
  platform::CollectingPrompter prompter;
  Parameter p("Addr");
  p.type = "int";
  p.pollPrepared = true;
  p.pollRunning = true;
  const model::TreeItem row = p.InsertTreeItem(*f.tree, model::kNoItem, 26, 26, false);
  EXPECT_EQ(f.tree->GetItemStateImage(row), 3);
  f.DoubleClick(row, 2);
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_EQ(prompter.requests[0].icon, platform::MessageIcon::Warning);
  EXPECT_NE(f.tree->OpenEditBox(), nullptr);

  // A disabled row opens nothing and says nothing.
  f.tree->SetItemDisabled(row, true, true, false);
  f.DoubleClick(row, 2);
  EXPECT_EQ(f.tree->OpenEditBox(), nullptr);
  EXPECT_EQ(prompter.requests.size(), 1u);
  f.tree->SetItemDisabled(row, false, true, false);

  // A click on the state image reaches the owner once, after the click.
  f.tree->SetItemStateImage(row, 1);
  QTest::mouseClick(f.tree->viewport(), Qt::LeftButton, {}, f.tree->StateImageRect(row).center());
  EXPECT_EQ(f.tree->stateClicks, 0);
  QApplication::processEvents();
  EXPECT_EQ(f.tree->stateClicks, 1);
  EXPECT_EQ(f.tree->GetItemStateImage(row), 3);

  // A right click is reported once, and goes no further up.
  const QPoint at = f.tree->CellRect(row, 1).center();
  QContextMenuEvent menu(QContextMenuEvent::Mouse, at, f.tree->viewport()->mapToGlobal(at));
  QApplication::sendEvent(f.tree->viewport(), &menu);
  EXPECT_TRUE(menu.isAccepted());
  EXPECT_EQ(f.tree->rightClicks, std::vector<model::TreeItem>{row});
}

TEST(TreeListCtrl, HeaderClicksSortAndMoveTheMark) {
  Fixture f;
  f.AddSortRows(false);
  CTreeListHeaderCtrl* header = f.tree->Header();
  EXPECT_EQ(header->GetSortMark(0), kMarkAscending);
  f.view.OnHeaderItemClick(0);  // column 0 starts ascending: the first click descends
  EXPECT_EQ(f.Order(), "Канал 10;Канал 9;Канал 2;Вход;");
  EXPECT_EQ(header->GetSortMark(0), kMarkDescending);
  f.view.OnHeaderItemClick(0);
  EXPECT_EQ(f.Order(), "Вход;Канал 2;Канал 9;Канал 10;");
  f.view.OnHeaderItemClick(2);
  EXPECT_EQ(f.Order(), "Вход;Канал 10;Канал 9;Канал 2;");  // by column 2: a, b, C, D
  EXPECT_EQ(header->GetSortMark(0), kNoMark);
  EXPECT_EQ(header->GetSortMark(2), kMarkAscending);
}

TEST(TreeListCtrl, WideColumnsScrollInSixPixelSteps) {
  Fixture f;
  EXPECT_FALSE(f.view.HorizontalBar()->isVisible());  // 540 pixels fit in 640
  f.tree->Header()->resizeSection(5, 400);
  QApplication::processEvents();
  ASSERT_TRUE(f.view.HorizontalBar()->isVisible());
  EXPECT_EQ(f.view.HorizontalBar()->maximum(), f.tree->TotalWidth() - f.tree->viewport()->width());
  f.view.Scroll(ScrollRequest::Thumb, 5);
  EXPECT_EQ(f.tree->horizontalScrollBar()->value(), 6);
  f.view.Scroll(ScrollRequest::LineRight);
  EXPECT_EQ(f.tree->horizontalScrollBar()->value(), 12);
  f.view.Scroll(ScrollRequest::Thumb, 0);
  EXPECT_EQ(f.tree->horizontalScrollBar()->value(), 0);

  // Narrowed while scrolled to the end: the last column stays at the right edge.
  f.view.Scroll(ScrollRequest::RightEnd);
  f.tree->Header()->resizeSection(5, 300);
  QApplication::processEvents();
  ASSERT_TRUE(f.view.HorizontalBar()->isVisible());
  const int end = f.tree->TotalWidth() - f.tree->viewport()->width();
  EXPECT_EQ(f.tree->horizontalScrollBar()->value(), end);
  EXPECT_EQ(f.view.HorizontalBar()->value(), end);
  f.tree->Header()->resizeSection(5, 90);
  QApplication::processEvents();
  EXPECT_FALSE(f.view.HorizontalBar()->isVisible());
  EXPECT_EQ(f.tree->horizontalScrollBar()->value(), 0);
}


// ---- driven as a person does, on the X display

using realinput::Until;

QWidget* Focus() { return QApplication::focusWidget(); }

TEST(TreeListCtrlXvfb, ListEditorDropsDownAndEndsOnceWithTheChoice) {
  Z580_REQUIRE_XCB();
  Fixture f;
  ASSERT_TRUE(realinput::ShowActive(f.view));
  Parameter p("PrtY");
  p.type = "нет:чет:нечет";
  p.value = "нет";
  const model::TreeItem row = p.InsertTreeItem(*f.tree, model::kNoItem, 27, 27, false);

  struct Case {
    const char* name;
    std::function<void(QComboBox*)> open;
    std::function<void(QAbstractItemView*)> pick;
    const char* stored;
  };
  auto clickItem = [](int i) { return [i](QAbstractItemView* list) { realinput::ClickListItem(list, i); }; };
  auto keys = [](std::vector<Qt::Key> sequence) {
    return [sequence](QAbstractItemView*) {
      for (Qt::Key key : sequence) QTest::keyClick(Focus(), key);
    };
  };
  const Case cases[] = {
      {"arrow click, item click", realinput::ClickArrow, clickItem(2), "нечет"},
      {"F4, Down, Enter", [](QComboBox*) { QTest::keyClick(Focus(), Qt::Key_F4); }, keys({Qt::Key_Down, Qt::Key_Return}),
       "чет"},
      {"Alt+Down, item click", [](QComboBox*) { QTest::keyClick(Focus(), Qt::Key_Down, Qt::AltModifier); },
       clickItem(2), "нечет"},
      // Escape in the open list closes it and ends with the shown text, unchanged.
      {"F4, Down, Escape", [](QComboBox*) { QTest::keyClick(Focus(), Qt::Key_F4); }, keys({Qt::Key_Down, Qt::Key_Escape}),
       "нет"},
  };
  for (const Case& c : cases) {
    f.tree->SetItemText(row, 2, "нет");
    f.tree->ends.clear();
    f.DoubleClick(row, 2);
    QPointer<QComboBox> box = f.tree->OpenListEditor();
    ASSERT_NE(box, nullptr) << c.name;
    ASSERT_TRUE(Until([&] { return Focus() == box; })) << c.name;
    c.open(box);
    // The list taking the focus is not the end of the editing.
    ASSERT_TRUE(realinput::Dropped(box)) << c.name;
    QApplication::processEvents();
    EXPECT_EQ(f.tree->OpenListEditor(), box) << c.name;
    EXPECT_TRUE(f.tree->ends.empty()) << c.name;
    c.pick(box->view());
    ASSERT_TRUE(Until([&] { return f.tree->OpenListEditor() == nullptr; })) << c.name;
    QTest::qWait(50);
    ASSERT_EQ(f.tree->ends.size(), 1u) << c.name;
    EXPECT_EQ(f.tree->GetItemText(row, 2), c.stored) << c.name;
    EXPECT_EQ(Focus(), f.tree) << c.name;
  }

}

// Scrolling confirms nothing: the wheel (over the closed list or the rows), the
// scroll bars and a key that scrolls leave an open editor open over its cell with
// its unconfirmed item or text, and end nothing; Enter then takes it.
TEST(TreeListCtrlXvfb, ScrollingLeavesAnOpenEditorOpenAndEndsNothing) {
  Z580_REQUIRE_XCB();
  Fixture f;
  f.view.resize(640, 200);
  ASSERT_TRUE(realinput::ShowActive(f.view));
  Parameter list("PrtY"), number("Addr");
  list.type = "нет:чет:нечет", list.value = "нет", number.type = "int", number.value = "16";
  const model::TreeItem rows[] = {list.InsertTreeItem(*f.tree, model::kNoItem, 27, 27, false),
                                  number.InsertTreeItem(*f.tree, model::kNoItem, 28, 28, false)};
  for (int i = 0; i < 40; ++i) f.tree->InsertItem("Строка " + std::to_string(i), 28, 28, false, false, 0);
  f.tree->Header()->resizeSection(5, 700);
  QScrollBar* bar = f.tree->verticalScrollBar();
  const auto wheel = [](QWidget* w, int notches) {
    ASSERT_TRUE(realinput::Wheel(w->mapToGlobal(w->rect().center()), notches));
  };
  const struct {
    const char* name;
    bool list;
    std::function<void(QWidget*)> scroll;
  } cases[] = {
      {"wheel over the list", true, [&](QWidget* e) { wheel(e, 2); }},
      {"wheel over the rows", true, [&](QWidget*) { wheel(f.tree->viewport(), 1); }},
      {"wheel over the rows", false, [&](QWidget*) { wheel(f.tree->viewport(), 2); }},
      {"bar", true, [&](QWidget*) { QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(5, bar->height() - 30)); }},
      {"horizontal bar", false, [&](QWidget*) { f.view.Scroll(ScrollRequest::LineRight); }},
      {"Page Down", false, [](QWidget* e) { QTest::keyClick(e, Qt::Key_PageDown); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    bar->setValue(0);
    f.view.Scroll(ScrollRequest::LeftEnd);
    f.tree->SetItemText(rows[0], 2, "нет");
    f.tree->SetItemText(rows[1], 2, "16");
    f.tree->ends.clear();
    const model::TreeItem row = rows[c.list ? 0 : 1];
    f.DoubleClick(row, 2);
    QPointer<QWidget> editor = c.list ? static_cast<QWidget*>(f.tree->OpenListEditor()) : f.tree->OpenEditBox();
    ASSERT_TRUE(Until([&] { return editor && Focus() == editor; }));
    QTest::keyClick(editor, c.list ? Qt::Key_Down : Qt::Key_7);
    const int before = bar->value() + f.tree->horizontalScrollBar()->value();
    c.scroll(editor);
    QApplication::processEvents();
    // (The closed list takes the wheel itself.)
    if (c.name != std::string("wheel over the list")) {
      EXPECT_NE(bar->value() + f.tree->horizontalScrollBar()->value(), before);
    }
    EXPECT_TRUE(f.tree->ends.empty());
    ASSERT_TRUE(editor && Focus() == editor);
    EXPECT_EQ(f.tree->GetItemText(row, 2), c.list ? "нет" : "16");
    EXPECT_EQ(editor->pos(), f.tree->CellRect(row, 2).topLeft() - QPoint(0, c.list ? 2 : 0));
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(Until([&] { return f.tree->ends.size() == 1; }));
    EXPECT_EQ(f.tree->GetItemText(row, 2), c.list ? "чет" : "7");
  }
}

TEST(TreeListCtrlXvfb, CaptionClickSortsAndDiscardsTheHalfTypedEdit) {
  Z580_REQUIRE_XCB();
  Fixture f;
  ASSERT_TRUE(realinput::ShowActive(f.view));
  const std::vector<model::TreeItem> rows = f.AddSortRows(true);
  CTreeListHeaderCtrl* header = f.tree->Header();
  auto clickCaption = [&](int column) {
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                             header->height() / 2));
    QTest::qWait(50);
  };
  auto type = [&](model::TreeItem row, const char* text) {
    f.DoubleClick(row, 2);
    EXPECT_TRUE(Until([&] { return f.tree->OpenEditBox() && Focus() == f.tree->OpenEditBox(); }));
    QTest::keyClicks(Focus(), text);
  };

  // A click on another row ends the edit with the typed text, once.
  type(rows[0], "z");
  QTest::mouseClick(f.tree->viewport(), Qt::LeftButton, {}, f.tree->CellRect(rows[1], 1).center());
  ASSERT_TRUE(Until([&] { return f.tree->OpenEditBox() == nullptr; }));
  QTest::qWait(50);
  ASSERT_EQ(f.tree->ends.size(), 1u);
  EXPECT_EQ(f.tree->GetItemText(rows[0], 2), "z");
  f.tree->SetItemText(rows[0], 2, "b");
  f.tree->ends.clear();

  // A caption click while an edit is open: the edit goes unstored, the rows sort by
  // that column and its mark shows the way (how later clicks move the mark is the
  // header's own test's).
  type(rows[2], "zz");
  clickCaption(2);
  EXPECT_EQ(f.tree->OpenEditBox(), nullptr);
  EXPECT_TRUE(f.tree->ends.empty());
  EXPECT_EQ(f.tree->GetItemText(rows[2], 2), "a");
  EXPECT_EQ(f.Order(), "Вход;Канал 10;Канал 9;Канал 2;");  // a, b, C, D
  EXPECT_EQ(header->GetSortMark(2), kMarkAscending);
  EXPECT_EQ(header->GetSortMark(0), kNoMark);
  clickCaption(2);
  EXPECT_EQ(f.Order(), "Канал 2;Канал 9;Канал 10;Вход;");
  EXPECT_EQ(header->GetSortMark(2), kMarkDescending);
}

// By keyboard alone: Enter (or F2) on the selected row opens the editor of its value,
// Enter takes the text, Down goes on to the next row. In a list the arrows only
// change the shown item; Enter, Tab or a click elsewhere take it, Escape keeps the
// cell.
TEST(TreeListCtrlXvfb, KeyboardAloneEditsRowAfterRowAndTakesOnlyConfirmedChoices) {
  Z580_REQUIRE_XCB();
  Fixture f;
  ASSERT_TRUE(realinput::ShowActive(f.view));
  Parameter number("Addr"), list("PrtY"), last("Sbit");
  number.type = last.type = "int";
  number.value = "16";
  last.value = "1";
  list.type = "нет:чет:нечет";
  list.value = "нет";
  const model::TreeItem rows[] = {number.InsertTreeItem(*f.tree, model::kNoItem, 28, 28, false),
                                  list.InsertTreeItem(*f.tree, model::kNoItem, 27, 27, false),
                                  last.InsertTreeItem(*f.tree, model::kNoItem, 28, 28, false)};
  f.tree->SelectRow(rows[0]);
  f.tree->setFocus();
  ASSERT_TRUE(Until([&] { return Focus() == f.tree; }));

  // Row after row, each value typed and confirmed.
  const char* typed[] = {"17", nullptr, "2"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    if (i > 0) QTest::keyClick(f.tree, Qt::Key_Down);
    ASSERT_EQ(f.tree->SelectedItem(), rows[i]);
    if (typed[i] == nullptr) continue;
    QTest::keyClick(f.tree, i == 0 ? Qt::Key_Return : Qt::Key_F2);
    ASSERT_TRUE(Until([&] { return f.tree->OpenEditBox() && Focus() == f.tree->OpenEditBox(); }));
    QTest::keyClick(Focus(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(Focus(), typed[i]);
    QTest::keyClick(Focus(), Qt::Key_Return);
    EXPECT_EQ(f.tree->OpenEditBox(), nullptr);
    EXPECT_EQ(f.tree->GetItemText(rows[i], 2), typed[i]);
    EXPECT_EQ(Focus(), f.tree);
  }
  EXPECT_EQ(f.tree->ends.size(), 2u);

  constexpr Qt::Key kClick = Qt::Key_unknown;  // a click on another row
  struct Case {
    const char* name;
    std::vector<Qt::Key> choose;
    Qt::Key end;
    const char* stored;
  } const cases[] = {
      {"Down, Enter", {Qt::Key_Down}, Qt::Key_Return, "чет"},
      {"Down, Down, Tab", {Qt::Key_Down, Qt::Key_Down}, Qt::Key_Tab, "нечет"},
      {"Down, click elsewhere", {Qt::Key_Down}, kClick, "чет"},
      {"Down, Escape", {Qt::Key_Down}, Qt::Key_Escape, "нет"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    f.tree->SetItemText(rows[1], 2, "нет");
    f.tree->ends.clear();
    f.tree->SelectRow(rows[1]);
    f.tree->setFocus();
    QTest::keyClick(f.tree, Qt::Key_Return);
    QPointer<QComboBox> box = f.tree->OpenListEditor();
    ASSERT_TRUE(box);
    ASSERT_TRUE(Until([&] { return Focus() == box; }));
    for (Qt::Key key : c.choose) QTest::keyClick(Focus(), key);
    EXPECT_EQ(f.tree->OpenListEditor(), box);
    EXPECT_TRUE(f.tree->ends.empty());
    EXPECT_EQ(f.tree->GetItemText(rows[1], 2), "нет");
    if (c.end == kClick)
      QTest::mouseClick(f.tree->viewport(), Qt::LeftButton, {}, f.tree->CellRect(rows[0], 1).center());
    else
      QTest::keyClick(Focus(), c.end);
    ASSERT_TRUE(Until([&] { return f.tree->OpenListEditor() == nullptr; }));
    QTest::qWait(50);
    EXPECT_EQ(f.tree->ends.size(), 1u);
    EXPECT_EQ(f.tree->GetItemText(rows[1], 2), c.stored);
  }
}

// A double click on a column's right border fits the column to its widest shown
// text (column 0 with each row's indent and images); a column without texts keeps
// its width.
TEST(TreeListCtrlXvfb, BorderDoubleClickFitsTheWidestText) {
  Z580_REQUIRE_XCB();
  Fixture f;
  ASSERT_TRUE(realinput::ShowActive(f.view));
  const std::string longest = "Время усреднения измеренного значения входного сигнала";
  const model::TreeItem top = f.tree->InsertItem("Вход", 28, 28, false, false, model::kNoItem);
  const model::TreeItem child = f.tree->InsertItem(longest, 28, 28, false, false, top);
  f.tree->InsertItem("Фильтр", 28, 28, false, false, top);
  f.tree->SetItemText(child, 2, "12345678901234567890");
  f.tree->ExpandRow(top, true);
  CTreeListHeaderCtrl* header = f.tree->Header();
  auto fit = [&](int column) {
    const int border = header->sectionViewportPosition(column) + header->sectionSize(column) - 1;
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, QPoint(border, header->height() / 2));
    QTest::qWait(50);
    return f.tree->GetColumnWidth(column);
  };
  const QFontMetrics metrics(f.tree->font());
  // The child's text starts two indents, the images and 2 pixels in; the painting
  // wants 12 pixels free after it.
  const int column0 = fit(0);
  const int text0 = 2 * f.tree->indentation() + 2 * 16 + 2 + metrics.horizontalAdvance(QString::fromStdString(longest));
  EXPECT_GE(column0, text0 + 12);
  EXPECT_LE(column0, text0 + 40);
  const int column2 = fit(2);
  EXPECT_GE(column2, metrics.horizontalAdvance("12345678901234567890") + 12);
  EXPECT_LE(column2, metrics.horizontalAdvance("12345678901234567890") + 40);
  EXPECT_EQ(fit(4), 90);
}

}  // namespace
