// The table control: its rules as tables of cases, and the widget offscreen
// (editors, end of editing, focus over disabled rows, button cells, owned objects).
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "controls/CFlyProgress.h"
#include "controls/CTableCtrl.h"
#include "controls/core/TableCells.h"
#include "controls/core/TableRules.h"
#include "model/Parameter.h"
#include "RealInput.h"

using myClass::TableControl;
namespace table = myClass::table;

namespace {

constexpr std::uint32_t kRowBlue = 0xFF0000;

TEST(TableRules, ColourPrecedenceAndEditGating) {
  struct Case {
    std::uint16_t flags;
    bool focused;
    std::uint32_t text;
    bool button;
    bool fill;
  };
  const Case cases[] = {
      {0, false, kRowBlue, false, false},
      {0, true, kRowBlue, false, true},
      {0x40, false, table::kGreenText, false, false},
      {0x08 | 0x40, false, table::kRedText, false, false},
      {0x20 | 0x08, false, table::kButtonText, true, false},
      {0x01 | 0x20 | 0x08 | 0x40, true, table::kDisabledText, false, false},  // disabled wins, no fill
  };
  for (const Case& c : cases) {
    const table::CellLook look = table::LookOfCell(c.flags, kRowBlue, c.focused);
    EXPECT_EQ(look.text, c.text) << c.flags;
    EXPECT_EQ(look.button, c.button) << c.flags;
    EXPECT_EQ(look.focusFill, c.fill) << c.flags;
  }
  // Row read-only anywhere, or a disabled, not-edited or button cell: no editor.
  EXPECT_TRUE(table::CanBeginEdit(0x08 | 0x40 | 0x80 | 0x10, 0x08 | 0x40 | 0x80 | 0x10));
  EXPECT_FALSE(table::CanBeginEdit(0x02, 0));
  for (std::uint16_t blocking : {0x01, 0x04, 0x20}) EXPECT_FALSE(table::CanBeginEdit(0, blocking)) << blocking;
}

TEST(TableRules, EditorsAndTheirTexts) {
  for (const char* number : {"float", "INT", "int16", "Stored_Dot", "clk_frm"})
    EXPECT_EQ(table::EditorForType(number), table::EditorKind::Edit) << number;
  for (const char* other : {"sint", "string", "a:b", "DEC_dot"})
    EXPECT_EQ(table::EditorForType(other), table::EditorKind::List) << other;
  EXPECT_EQ(table::ListItemsOfType("a:b::c"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(table::ListItemsOfType(":a"), std::vector<std::string>{});
  EXPECT_EQ(table::EditorTextOf("Нет данных", true), "Н/Д");
  EXPECT_EQ(table::EditorTextOf("Нет данных", false), "Нет данных");  // a text, not the state
  EXPECT_EQ(table::EditorTextOf("12", false), "12");
  EXPECT_FALSE(table::IsEdit(true, "Н/Д"));
  EXPECT_TRUE(table::IsEdit(true, "5"));
  EXPECT_TRUE(table::IsEdit(false, "Н/Д"));

  Parameter p("K.Usr");
  p.description = "Коэффициент";
  p.min = -1.5;
  p.max = 2.25;
  p.type = "FLOAT";
  EXPECT_EQ(table::RangeTipTitle(p), "Коэффициент (K.Usr)");
  EXPECT_EQ(table::RangeTipText(p), "Значение параметра должно быть вещественного типа, от -1.500 до 2.250.");
  p.type = "int";
  EXPECT_EQ(table::RangeTipText(p), "Значение параметра должно быть целого типа, от -2 до 2.");
}

TEST(TableRules, FocusSizesAndWidths) {
  // Rows 2, 3 and 6 are disabled.
  auto disabled = [](int row) { return row == 2 || row == 3 || row == 6; };
  struct Case {
    int last, requested, expected;
  };
  const Case cases[] = {
      {1, 0, 0},   // allowed
      {1, 2, 4},   // down over two disabled rows
      {4, 3, 1},   // up over two
      {5, 6, -1},  // nothing below the last allowed row: refused
      {0, 3, 1},   // a click from afar lands on the next allowed row in its direction
      {1, 9, -1},  // beyond the rows
  };
  for (const Case& c : cases)
    EXPECT_EQ(table::NextFocusRow(7, c.last, c.requested, disabled), c.expected) << c.last << "->" << c.requested;

  EXPECT_EQ(table::FitHeight(20, 18, 24), 16 * 18 + 24 + 10);
  EXPECT_EQ(table::FitHeight(3, 18, 24), 3 * 18 + 24 + 10);
  EXPECT_EQ(table::ColumnWidths({100, 50}, true, 17), (std::vector<int>{100, 50}));
  EXPECT_EQ(table::ColumnWidths({100, 50}, false, 17), (std::vector<int>{91, 41}));  // round(8.5) = 9
}

// Counts how often objects of this kind are deleted.
struct Counted : CObject {
  explicit Counted(int& deletes) : deletes_(deletes) {}
  ~Counted() override { ++deletes_; }
  int& deletes_;
};

TEST(TableCells, OwnedObjectsGoOnceAndRecordsGoWithTheirRows) {
  int deletes = 0;
  {
    table::TableCells cells;
    for (int i = 0; i < 3; ++i) cells.InsertRow(i);
    // One object owned by every cell of the row: deleted once.
    cells.SetCell(0, -1, 4, new Counted(deletes), TableControl::kCellOwnsObject);
    // Owned and also shown, not owned, in another row: it stays while that row does.
    auto* shared = new Counted(deletes);
    cells.SetCell(1, 0, 4, shared, TableControl::kCellOwnsObject);
    cells.SetCell(2, 1, 4, shared, 0);
    cells.RemoveRow(1);
    EXPECT_EQ(deletes, 0);
    EXPECT_EQ(cells.GetCell(1, 1), shared);
    // Replacing an owned object releases it.
    cells.InsertRow(2);
    cells.SetCell(2, 0, 4, new Counted(deletes), TableControl::kCellOwnsObject);
    cells.SetCell(2, 0, 4, nullptr, 0);
    EXPECT_EQ(deletes, 1);
    // A row without a record ignores flags and colour.
    cells.InsertRow(0);
    EXPECT_FALSE(cells.SetFlags(0, -1, 4, 0x08, 0x08));
    EXPECT_FALSE(cells.SetRowColor(0, kRowBlue));
    EXPECT_FALSE(cells.HasRecord(0));
    EXPECT_EQ(cells.GetFlags(1, -1), TableControl::kCellOwnsObject);
    // The shared one was never owned by a remaining row.
    cells.RemoveRow(2);
    EXPECT_EQ(deletes, 1);
    delete shared;
  }
  EXPECT_EQ(deletes, 3);
}

// A table that records its hooks.
class RecordingTable : public myClass::CTableCtrl {
 public:
  using CTableCtrl::CTableCtrl;
  void OnButtonCell(int row, int column) override { buttons.push_back({row, column}); }
  void OnBeginEdit(CObject* object) override { begun.push_back(object); }
  void OnEndEdit(const std::string& text) override { ended.push_back(text); }
  void OnCancelEdit() override { ++cancelled; }
  int cancelled = 0;
  std::vector<std::pair<int, int>> buttons;
  std::vector<CObject*> begun;
  std::vector<std::string> ended;
};

class TableCtrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<QWidget>();
    window_->resize(400, 400);
    table_ = new RecordingTable(window_.get());
    table_->setGeometry(0, 0, 300, 300);
    other_ = new QLineEdit(window_.get());
    other_->setGeometry(0, 320, 100, 20);
    table_->SetRowHeight(18);
    table_->InsertColumn(0, "Параметр", TableControl::kColumnLeft, 150);
    table_->InsertColumn(1, "Значение", TableControl::kColumnCentre, 100);
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }

  Parameter& AddRow(const std::string& type, const ValueText& value, std::uint16_t flags = 0) {
    auto p = std::make_unique<Parameter>("P" + std::to_string(parameters_.size()));
    p->type = type;
    p->value = value;
    p->max = 10;
    const int row = table_->InsertItem(table_->GetItemCount(), p->name);
    table_->SetItemText(row, 1, p->value);
    table_->SetCell(row, -1, p.get(), flags);
    parameters_.push_back(std::move(p));
    return *parameters_.back();
  }

  QPoint CellCentre(int row, int column) {
    return table_->visualRect(table_->model()->index(row, column)).center();
  }

  std::vector<std::unique_ptr<Parameter>> parameters_;
  std::unique_ptr<QWidget> window_;
  RecordingTable* table_ = nullptr;
  QLineEdit* other_ = nullptr;
};

TEST_F(TableCtrlTest, EditBoxEndsOnceWithTheTextOrNotAtAll) {
  ValueText noData;
  noData.SetNoData();
  Parameter& p = AddRow("float", noData);
  AddRow("int", "3", TableControl::kCellNoRangeTip);

  table_->BeginEdit(0, 1);
  ASSERT_NE(table_->EditBox(), nullptr);
  EXPECT_EQ(table_->EditBox()->text(), "Н/Д");
  EXPECT_EQ(table_->begun, std::vector<CObject*>{&p});
  ASSERT_NE(table_->EditBox()->RangeTip(), nullptr);
  EXPECT_EQ(table_->EditBox()->RangeTipText(), "Значение параметра должно быть вещественного типа, от 0.000 до 10.000.");
  // An untouched "Н/Д" is no edit.
  other_->setFocus();
  EXPECT_EQ(table_->EditBox(), nullptr);
  EXPECT_TRUE(table_->ended.empty());
  EXPECT_EQ(table_->cancelled, 1);

  // Escape: no end of editing.
  table_->BeginEdit(0, 1);
  QTest::keyClicks(table_->EditBox(), "7");
  QTest::keyClick(table_->EditBox(), Qt::Key_Escape);
  EXPECT_EQ(table_->EditBox(), nullptr);
  EXPECT_TRUE(table_->ended.empty());
  EXPECT_EQ(table_->cancelled, 2);
  // An editor dropped for another one is cancelled too.
  table_->BeginEdit(0, 1);
  table_->BeginEdit(1, 1);
  EXPECT_EQ(table_->cancelled, 3);
  QTest::keyClick(table_->EditBox(), Qt::Key_Escape);

  // A click elsewhere: exactly one, with the typed text.
  table_->BeginEdit(1, 1);
  EXPECT_EQ(table_->EditBox()->RangeTip(), nullptr);
  table_->EditBox()->setText("5");
  QTest::mouseClick(other_, Qt::LeftButton);
  other_->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(table_->ended, std::vector<std::string>{"5"});

  // Enter in the edit box hands the text over once as well.
  table_->BeginEdit(1, 1);
  table_->EditBox()->setText("6");
  QTest::keyClick(table_->EditBox(), Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_EQ(table_->ended, (std::vector<std::string>{"5", "6"}));
  EXPECT_EQ(table_->cancelled, 4);
}

TEST_F(TableCtrlTest, ListTakesTheTypeItemsAndACommittedChoice) {
  AddRow("on:off::never", "off");
  AddRow("a:b", "a", TableControl::kCellNotEdited);
  AddRow("a:b", "a");
  table_->SetFlags(2, 0, TableControl::kCellRowReadOnly, TableControl::kCellRowReadOnly);

  table_->BeginEdit(1, 1);
  table_->BeginEdit(2, 1);
  EXPECT_EQ(table_->ListBox(), nullptr);
  EXPECT_TRUE(table_->begun.empty());

  table_->BeginEdit(0, 1);
  myClass::CmyComboBox* list = table_->ListBox();
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->currentText(), "off");
  // Escape closes without a change, and goes no further (in a dialog it would close it).
  bool escapeReachedTheWindow = false;
  struct EscapeWatch : QObject {
    bool* seen;
    explicit EscapeWatch(bool* s) : seen(s) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) *seen = true;
      return false;
    }
  } watch(&escapeReachedTheWindow);
  window_->installEventFilter(&watch);
  QTest::keyClick(list, Qt::Key_Escape);
  window_->removeEventFilter(&watch);
  EXPECT_FALSE(escapeReachedTheWindow);
  EXPECT_EQ(table_->ListBox(), nullptr);
  EXPECT_TRUE(table_->ended.empty());
  EXPECT_EQ(table_->cancelled, 1);

  table_->BeginEdit(0, 1);
  emit table_->ListBox()->activated(0);
  EXPECT_EQ(table_->ListBox(), nullptr);
  EXPECT_EQ(table_->GetItemText(0, 1), "on");
  EXPECT_EQ(table_->ended, std::vector<std::string>{"on"});
  EXPECT_EQ(table_->cancelled, 1);
}

TEST_F(TableCtrlTest, DoubleClickAndEnterStartEditing) {
  AddRow("int", "1");
  QTest::mouseDClick(table_->viewport(), Qt::LeftButton, {}, CellCentre(0, 1));
  ASSERT_NE(table_->EditBox(), nullptr);
  QTest::keyClick(table_->EditBox(), Qt::Key_Escape);
  table_->setFocus();
  table_->setCurrentIndex(table_->model()->index(0, 1));
  QTest::keyClick(table_, Qt::Key_Return);
  EXPECT_NE(table_->EditBox(), nullptr);
}

TEST_F(TableCtrlTest, FocusSkipsDisabledRows) {
  for (int i = 0; i < 6; ++i) AddRow("int", "1");
  for (int row : {2, 3, 5}) table_->SetFlags(row, 1, TableControl::kCellDisabled, TableControl::kCellDisabled);
  table_->setFocus();
  table_->setCurrentIndex(table_->model()->index(1, 0));
  QTest::keyClick(table_, Qt::Key_Down);
  EXPECT_EQ(table_->GetFocusRow(), 4);
  // Nothing allowed below: the focus stays on the last allowed row.
  QTest::keyClick(table_, Qt::Key_Down);
  EXPECT_EQ(table_->GetFocusRow(), 4);
  QTest::keyClick(table_, Qt::Key_Up);
  EXPECT_EQ(table_->GetFocusRow(), 1);
  // A click on a disabled row does not keep the focus there.
  QTest::mouseClick(table_->viewport(), Qt::LeftButton, {}, CellCentre(5, 0));
  EXPECT_NE(table_->GetFocusRow(), 5);
  EXPECT_FALSE(table_->GetFlags(table_->GetFocusRow(), -1) & TableControl::kCellDisabled);
}

TEST_F(TableCtrlTest, ButtonCellsAndFittedHeight) {
  AddRow("int", "Старт", 0);
  AddRow("int", "Стоп", 0);
  table_->SetFlags(0, 1, TableControl::kCellButton, TableControl::kCellButton);
  table_->SetFlags(1, 1, TableControl::kCellButton | TableControl::kCellDisabled,
                   TableControl::kCellButton | TableControl::kCellDisabled);
  QTest::mouseClick(table_->viewport(), Qt::LeftButton, {}, CellCentre(0, 1));
  QTest::mouseClick(table_->viewport(), Qt::LeftButton, {}, CellCentre(1, 1));
  EXPECT_EQ(table_->buttons, (std::vector<std::pair<int, int>>{{0, 1}}));
  // A double click: its first click presses the button, its second does not.
  QTest::mouseClick(table_->viewport(), Qt::LeftButton, {}, CellCentre(0, 1));
  QTest::mouseDClick(table_->viewport(), Qt::LeftButton, {}, CellCentre(0, 1));
  EXPECT_EQ(table_->buttons.size(), 2u);
  // Button cells are not edited.
  table_->BeginEdit(0, 1);
  EXPECT_EQ(table_->EditBox(), nullptr);

  for (int i = 0; i < 18; ++i) AddRow("int", "0");
  table_->FitHeightToRows();
  EXPECT_EQ(table_->height(), 16 * table_->rowHeight(0) + table_->horizontalHeader()->sizeHint().height() + 10);
}

TEST_F(TableCtrlTest, TheFocusedRowIsFilledUnlessDisabled) {
  for (int i = 0; i < 3; ++i) AddRow("int", "");
  table_->SetFlags(2, 1, TableControl::kCellDisabled, TableControl::kCellDisabled);
  table_->setCurrentIndex(table_->model()->index(1, 0));
  const QImage image = table_->viewport()->grab().toImage();
  auto pixel = [&](int row, int column) {
    const QRect cell = table_->visualRect(table_->model()->index(row, column));
    return image.pixelColor(cell.left() + 2, cell.center().y()).rgb() & 0xFFFFFF;
  };
  EXPECT_EQ(pixel(0, 1), 0xFFFFFFu);
  EXPECT_EQ(pixel(1, 1), 0xD2D2D2u);
  // Row 2 cannot take the focus: a move there is refused, and its cell is never filled.
  table_->setFocus();
  QTest::keyClick(table_, Qt::Key_Down);
  EXPECT_EQ(table_->GetFocusRow(), 1);
  EXPECT_EQ(pixel(2, 1), 0xFFFFFFu);
}

TEST_F(TableCtrlTest, DestroyingTheTableDeletesEachOwnedObjectOnce) {
  int deletes = 0;
  table_->InsertItem(0, "a");
  table_->InsertItem(1, "b");
  table_->SetCell(0, -1, new Counted(deletes), TableControl::kCellOwnsObject);
  table_->SetCell(1, 1, new Counted(deletes), TableControl::kCellOwnsObject);
  table_->DeleteItem(1);
  EXPECT_EQ(deletes, 1);
  window_.reset();
  EXPECT_EQ(deletes, 2);
}

// The table's list editor driven as a person does, on the X display.
class TableCtrlXvfb : public TableCtrlTest {};

TEST_F(TableCtrlXvfb, ListDropsDownTakesOneChoiceAndScrollingClosesIt) {
  Z580_REQUIRE_XCB();
  AddRow("2400:9600:19200", "9600");
  for (int i = 0; i < 30; ++i) AddRow("int", "1");
  ASSERT_TRUE(realinput::ShowActive(*window_));
  auto focus = [] { return QApplication::focusWidget(); };
  using realinput::Until;
  // Opens the list editor of row 0 by a double click; the list box has the focus.
  auto open = [&]() -> QPointer<myClass::CmyComboBox> {
    QTest::mouseDClick(table_->viewport(), Qt::LeftButton, {}, CellCentre(0, 1));
    QPointer<myClass::CmyComboBox> box = table_->ListBox();
    EXPECT_TRUE(box && Until([&] { return focus() == box; }));
    return box;
  };
  auto key = [focus](Qt::Key k, Qt::KeyboardModifiers m = {}) {
    return [=](QComboBox*) { QTest::keyClick(focus(), k, m); };
  };

  struct Case {
    const char* name;
    std::function<void(QComboBox*)> drop;
    std::vector<Qt::Key> keys;  // in the dropped list; none: a click on its third item
    std::vector<std::string> ended;
    int cancelled;
    const char* shown;
  } const cases[] = {
      {"arrow click, item click", realinput::ClickArrow, {}, {"19200"}, 0, "19200"},
      {"F4, Up, Enter", key(Qt::Key_F4), {Qt::Key_Up, Qt::Key_Return}, {"19200", "9600"}, 0, "9600"},
      // Escape in the open list closes it without a change.
      {"Alt+Down, Down, Escape", key(Qt::Key_Down, Qt::AltModifier), {Qt::Key_Down, Qt::Key_Escape}, {"19200", "9600"},
       1, "9600"},
  };
  for (const Case& c : cases) {
    QPointer<myClass::CmyComboBox> box = open();
    ASSERT_TRUE(box) << c.name;
    const size_t ends = table_->ended.size();
    const int cancels = table_->cancelled;
    c.drop(box);
    ASSERT_TRUE(realinput::Dropped(box)) << c.name;
    // The list taking the focus ends nothing.
    EXPECT_EQ(table_->ended.size(), ends) << c.name;
    EXPECT_EQ(table_->cancelled, cancels) << c.name;
    if (c.keys.empty()) realinput::ClickListItem(box->view(), 2);
    for (Qt::Key k : c.keys) QTest::keyClick(focus(), k);
    ASSERT_TRUE(Until([&] { return table_->ListBox() == nullptr; })) << c.name;
    QTest::qWait(50);
    EXPECT_EQ(table_->ended, c.ended) << c.name;
    EXPECT_EQ(table_->cancelled, c.cancelled) << c.name;
    EXPECT_EQ(table_->GetItemText(0, 1), c.shown) << c.name;
    EXPECT_EQ(table_->GetFocusRow(), 0) << c.name;
  }

  // Down in the closed list only shows the next item; a click into another field
  // takes it, and the focus stays in that field.
  QPointer<myClass::CmyComboBox> box = open();
  ASSERT_TRUE(box);
  QTest::keyClick(focus(), Qt::Key_Down);
  EXPECT_EQ(table_->ListBox(), box);
  EXPECT_EQ(table_->ended.size(), 2u);
  QTest::mouseClick(other_, Qt::LeftButton);
  ASSERT_TRUE(Until([&] { return table_->ListBox() == nullptr; }));
  EXPECT_EQ(table_->ended, (std::vector<std::string>{"19200", "9600", "19200"}));
  EXPECT_EQ(focus(), other_);
  table_->SetItemText(0, 1, "9600");
  table_->ended.pop_back();

  // The wheel over the closed list picks nothing; over the table it scrolls, and
  // that closes the list without a change.
  box = open();
  ASSERT_TRUE(box);
  ASSERT_TRUE(realinput::Wheel(box->mapToGlobal(box->rect().center()), 2));
  EXPECT_EQ(table_->ended.size(), 2u);
  EXPECT_EQ(table_->cancelled, 1);
  ASSERT_TRUE(box && table_->ListBox() == box);
  EXPECT_EQ(box->currentText(), "9600");
  ASSERT_TRUE(realinput::Wheel(table_->viewport()->mapToGlobal(CellCentre(8, 0)), 3));
  EXPECT_GT(table_->verticalScrollBar()->value(), 0);
  EXPECT_EQ(table_->ListBox(), nullptr);
  EXPECT_FALSE(box && box->isVisible());
  EXPECT_EQ(table_->cancelled, 2);
  EXPECT_EQ(table_->ended.size(), 2u);
}

// Scrolling confirms nothing: the bar (wheel, click) and Page Down leave the edit
// box open over its cell with the half-typed text; the list closes unchosen.
TEST_F(TableCtrlXvfb, ScrollingLeavesTheEditBoxOpenAndTheListUnchosen) {
  Z580_REQUIRE_XCB();
  AddRow("2400:9600:19200", "9600");
  for (int i = 0; i < 30; ++i) AddRow("int", "1");
  ASSERT_TRUE(realinput::ShowActive(*window_));
  QScrollBar* bar = table_->verticalScrollBar();
  const auto click = [bar](QWidget*) { QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(5, bar->height() - 30)); };
  const std::pair<int, std::function<void(QWidget*)>> cases[] = {  // the row (0: the list), the scroll
      {1, [bar](QWidget*) { ASSERT_TRUE(realinput::Wheel(bar->mapToGlobal(QPoint(5, 40)), 2)); }},
      {1, click}, {1, [](QWidget* e) { QTest::keyClick(e, Qt::Key_PageDown); }}, {0, click}};
  for (const auto& [row, scroll] : cases) {
    bar->setValue(0);
    table_->cancelled = 0;
    QTest::mouseDClick(table_->viewport(), Qt::LeftButton, {}, CellCentre(row, 1));
    QPointer<QWidget> editor = row == 0 ? static_cast<QWidget*>(table_->ListBox()) : table_->EditBox();
    ASSERT_TRUE(realinput::Until([&] { return editor && QApplication::focusWidget() == editor; }));
    QTest::keyClick(editor, row == 0 ? Qt::Key_Down : Qt::Key_7);
    scroll(editor);
    QApplication::processEvents();
    EXPECT_GT(bar->value(), 0);
    EXPECT_TRUE(table_->ended.empty());
    EXPECT_EQ(table_->cancelled, row == 0 ? 1 : 0);
    EXPECT_EQ(table_->GetItemText(row, 1), row == 0 ? "9600" : "1");
    if (row == 0) continue;
    ASSERT_TRUE(editor && QApplication::focusWidget() == editor);
    EXPECT_EQ(table_->EditBox()->text(), "7");
    EXPECT_EQ(editor->pos(), table_->visualRect(table_->model()->index(row, 1)).topLeft());
    EXPECT_FALSE(table_->EditBox()->RangeTip()->isVisible());  // out of sight
    QTest::keyClick(editor, Qt::Key_Escape);
  }
}

TEST(FlyProgress, StartsAndStopsFromAnotherThread) {
  myClass::CFlyProgress bar;
  bar.Stop();  // never started: empty
  EXPECT_EQ(bar.value(), 0);
  EXPECT_FALSE(bar.IsRunning());
  std::thread([&] { bar.PostStart(50); }).join();
  EXPECT_FALSE(bar.IsRunning());  // only on the window thread
  QApplication::processEvents();
  EXPECT_TRUE(bar.IsRunning());
  EXPECT_EQ(bar.maximum(), 0);
  std::thread([&] { bar.PostStop(); }).join();
  QApplication::processEvents();
  EXPECT_FALSE(bar.IsRunning());
  EXPECT_EQ(bar.maximum(), 100);
  EXPECT_EQ(bar.value(), 0);
}

}  // namespace
