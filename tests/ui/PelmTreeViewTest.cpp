// The parameter tree view as the user works it: against the simulated module it
// reads a branch when it is opened, reads all, takes an edit in place, writes only
// that change, polls a parameter from its state icon, offers the row menus and
// fills itself again when another model's tree comes.
// The screenshot samples a red, a green and a polled row (also run under Xvfb).
#include "RealInput.h"
#include "ServiceDialogTestSupport.h"
#include "app/TreeControlLogic.h"
#include "app/ui/CPelmTreeListCtrl.h"
#include "app/ui/CPelmTreeListView.h"
#include "app/MainFrameRules.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/TaskWindowQt.h"
#include "controls/CTreeListEditors.h"
#include "controls/CTreeListHeaderCtrl.h"
#include "link/ModelTable.h"
#include "link/PollWindow.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QToolBar>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

// The module with polled readings whose values the user may edit.
constexpr int kModel = 8;

class PelmTreeViewTest : public ServiceDialogTest {
 protected:
  void TearDown() override {
    if (doc_) doc_->SetViews(nullptr);
    view_.reset();
    ServiceDialogTest::TearDown();
  }

  // The document (of the module, or offline) with its view shown and filled.
  void OpenView(bool connect) {
    if (connect) {
      ASSERT_NO_FATAL_FAILURE(StartModule(kModel));
      ASSERT_NO_FATAL_FAILURE(OpenDocument());
    } else {
      App().modelIndex = kModel;
      doc_ = std::make_unique<CPelmDoc>(nullptr, false);
      ASSERT_TRUE(doc_->OnNewDocument());
    }
    ASSERT_NE(doc_->scannersBranch, nullptr);
    view_ = std::make_unique<CPelmTreeListView>(*doc_);
    doc_->SetViews(view_.get());
    view_->resize(1100, 700);
    view_->show();
    requestsBeforeFill_ = sim_ ? sim_->Requests().size() : 0;
    view_->UpdateAllViews();
    tree_ = view_->PelmTree();
    ASSERT_NE(view_->BuiltRows().polledParameters, model::kNoItem);
  }

  // Opens every row above the row and brings it into view.
  void Reveal(model::TreeItem row) {
    for (model::TreeItem up = tree_->ParentItem(row); up != model::kNoItem; up = tree_->ParentItem(up))
      tree_->ExpandRow(up, true);
    tree_->SelectRow(row);
    QApplication::processEvents();
  }

  // Types text into the cell's in-place editor and confirms it with Enter.
  void EditCell(model::TreeItem row, int column, const std::string& text) {
    Reveal(row);
    QTest::mouseDClick(tree_->viewport(), Qt::LeftButton, {}, tree_->CellRect(row, column).center());
    TreeList::CTreeListEditBox* box = tree_->OpenEditBox();
    ASSERT_NE(box, nullptr) << "no editor in column " << column;
    box->setText(QString::fromStdString(text));
    QTest::keyClick(box, Qt::Key_Return);
    QApplication::processEvents();
  }

  // A right click on the row; returns the ids the popup offered (none shown: empty).
  std::vector<int> RightClick(model::TreeItem row, int choose) {
    Reveal(row);
    std::vector<int> offered;
    tree_->runPopup = [&](const std::vector<PopupItem>& items, const QPoint&) {
      for (const PopupItem& item : items) offered.push_back(item.id);
      return choose;
    };
    const QPoint at = tree_->CellRect(row, 0).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree_->viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree_->viewport(), &event);
    return offered;
  }

  // The first polled parameter with a row, and a poll result for it as the polling
  // thread hands it over.
  Parameter* FirstPolled() {
    Parameter* polled = nullptr;
    ForEachParameter(*doc_->scannersBranch, [&](Parameter& p) {
      if (!polled && p.IsPolled() && p.treeItem != model::kNoItem) polled = &p;
    });
    return polled;
  }
  static bool Deliver(Parameter* p, const std::string& value) {
    auto record = std::make_unique<exchange::PollResult>();
    record->parameter = p;
    record->value = value;
    record->generation = App().pollResults.Generation();
    return exchange::DeliverPollResult(std::move(record));
  }

  std::string Text(model::TreeItem row, int column) const { return tree_->GetItemText(row, column); }
  model::ColorRef Colour(model::TreeItem row) const { return tree_->Record(row)->colour; }

  std::unique_ptr<CPelmTreeListView> view_;
  CPelmTreeListCtrl* tree_ = nullptr;
  size_t requestsBeforeFill_ = 0;
};

bool IsWriteOf(const z580sim::RequestRecord& r, const std::string& name) {
  return !r.read && (r.name == name || r.name.ends_with(":" + name));
}

TEST_F(PelmTreeViewTest, ReadEditWriteChangedPollAndMenusOnTheRealView) {
  ASSERT_NO_FATAL_FAILURE(OpenView(true));
  // Filling opens the top rows without reading anything.
  EXPECT_EQ(sim_->Requests().size(), requestsBeforeFill_) << "the fill read from the module";

  // The parameter to edit: a plain writable number in a branch of its own.
  Parameter* edited = nullptr;
  ForEachParameter(*doc_->rootBranch, [&](Parameter& p) {
    if (!edited && p.writable && p.type == "int" && p.treeItem != model::kNoItem && p.owner == 0 &&
        !model::IsBaseNetworkParameter(p.name) && tree_->ParentItem(p.treeItem) != view_->BuiltRows().deviceParameters)
      edited = &p;
  });
  ASSERT_NE(edited, nullptr);
  const model::TreeItem branchRow = tree_->ParentItem(edited->treeItem);

  // The user opens its branch: the unread parameters there are read at once.
  Reveal(branchRow);
  tree_->ExpandRow(branchRow, false);
  ASSERT_EQ(Text(edited->treeItem, 2), "Нет данных");
  QTest::mouseDClick(tree_->viewport(), Qt::LeftButton, {}, tree_->CellRect(branchRow, 0).center());
  EXPECT_NE(edited->value, "Нет данных") << prompter_.Texts();
  EXPECT_EQ(Text(edited->treeItem, 2), edited->value);

  // Read all, then an edit in place: taken, green, nothing written yet.
  ASSERT_TRUE(doc_->OnTreeTask(CPelmDoc::kCmdReadTree));
  { std::lock_guard wait(App().exchangeLock); }
  EXPECT_EQ(Text(edited->treeItem, 2), edited->value);
  App().immediateWriting = false;
  const std::string typed = edited->value == "1" ? "0" : "1";
  ASSERT_NO_FATAL_FAILURE(EditCell(edited->treeItem, 2, typed));
  EXPECT_EQ(edited->value, typed) << prompter_.Texts();
  EXPECT_TRUE(edited->valueChanged);
  EXPECT_TRUE(doc_->modified);
  EXPECT_EQ(Colour(edited->treeItem), model::kChangedGreen);

  // "Write changed" sends that parameter only, and the row turns black again.
  const size_t before = sim_->Requests().size();
  ASSERT_TRUE(doc_->OnTreeTask(CPelmDoc::kCmdWriteChangedTree));
  { std::lock_guard wait(App().exchangeLock); }
  const auto requests = sim_->Requests();
  int written = 0;
  for (size_t i = before; i < requests.size(); ++i) {
    if (requests[i].read) continue;
    ++written;
    EXPECT_TRUE(IsWriteOf(requests[i], edited->name)) << requests[i].name;
  }
  EXPECT_GT(written, 0);
  EXPECT_EQ(Colour(edited->treeItem), model::kBlack);

  // Polling: a period typed into the polled row, then its state icon switches it on.
  Parameter* polled = FirstPolled();
  ASSERT_EQ(polled->requestIndex, 0);
  const model::TreeItem pollRow = polled->treeItem;
  ASSERT_NO_FATAL_FAILURE(EditCell(pollRow, 1, "150.7"));
  EXPECT_EQ(polled->pollPeriod, 150);
  EXPECT_EQ(Text(pollRow, 1), "150");
  ASSERT_EQ(tree_->GetItemStateImage(pollRow), 1);
  const std::string unpolled = Text(pollRow, 2);
  QTest::mouseClick(tree_->viewport(), Qt::LeftButton, {}, tree_->StateImageRect(pollRow).center());
  ASSERT_TRUE(QTest::qWaitFor([&] { return tree_->GetItemStateImage(pollRow) == 3; }, 2000));
  EXPECT_TRUE(polled->pollRunning);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Text(pollRow, 2).empty() && Text(pollRow, 2) != unpolled; }, 10000));
  const std::string first = Text(pollRow, 2);
  EXPECT_EQ(Text(pollRow, 5), "");
  // The module's reading changes (by the simulator's control command): the row
  // follows without anything else done.
  std::string error;
  ASSERT_TRUE(z580sim::ApplyFaultCommand(*sim_, "set " + polled->name + " 12.5", &error)) << error;
  EXPECT_TRUE(QTest::qWaitFor([&] { return Text(pollRow, 2).starts_with("12.5"); }, 10000)) << Text(pollRow, 2);

  // The menus: none on a polled row, the branch menu on a branch, the parameter
  // menu on a parameter, whose "no data" command acts on that parameter.
  EXPECT_TRUE(RightClick(pollRow, 0).empty());
  EXPECT_EQ(RightClick(branchRow, 0), (std::vector<int>{279, 280, 281, 282}));
  EXPECT_EQ(doc_->selected, tree_->GetItemObject(branchRow));
  EXPECT_EQ(RightClick(edited->treeItem, kCmdSetNoData), (std::vector<int>{32808, 32809, 0, 32811}));
  EXPECT_EQ(doc_->selected, edited);
  EXPECT_EQ(edited->value, "Нет данных");
  EXPECT_EQ(Text(edited->treeItem, 2), "Нет данных");

  // Another model's tree replaces this one: the rows go with the old tree, a poll
  // record still queued for it is dropped, and the view fills itself again.
  ASSERT_TRUE(Deliver(polled, "1"));
  App().modelIndex = 0;
  ASSERT_TRUE(doc_->FollowModelChange(kModel));
  QApplication::processEvents();  // the drain posted for the old record runs here
  ASSERT_NE(doc_->rootBranch, nullptr);
  EXPECT_EQ(tree_->GetItemObject(view_->BuiltRows().deviceParameters), static_cast<CObject*>(doc_->rootBranch));
  EXPECT_TRUE(doc_->GetDevice()->TransmitThreadRunning());
}

bool Dark(QRgb c) { return qGray(c) < 140; }
bool Red(QRgb c) { return qRed(c) > 180 && qGreen(c) < 90 && qBlue(c) < 90; }
bool Green(QRgb c) { return qGreen(c) > 120 && qRed(c) < 90 && qBlue(c) < 90; }

int Count(const QImage& image, const QRect& r, const std::function<bool(QRgb)>& test) {
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x)
      if (image.rect().contains(x, y) && test(image.pixel(x, y))) ++n;
  return n;
}

TEST_F(PelmTreeViewTest, ScreenshotShowsRedGreenAndPolledRows) {
  ASSERT_NO_FATAL_FAILURE(OpenView(false));  // no module: the tree of the chosen model, nothing read
  Parameter* failed = nullptr;
  Parameter* changed = nullptr;
  ForEachParameter(*doc_->rootBranch, [&](Parameter& p) {
    if (p.treeItem == model::kNoItem || !p.writable) return;
    if (!failed)
      failed = &p;
    else if (!changed && tree_->ParentItem(p.treeItem) == tree_->ParentItem(failed->treeItem))
      changed = &p;
  });
  ASSERT_NE(changed, nullptr);
  failed->note = "Таймаут при передаче данных (нет связи)";
  changed->value = "7";
  changed->valueChanged = true;
  view_->UpdateAllViews();

  Parameter* polled = FirstPolled();
  ASSERT_TRUE(Deliver(polled, "123.456"));
  QApplication::processEvents();
  ASSERT_EQ(Text(polled->treeItem, 2), "123.456");

  Reveal(polled->treeItem);
  Reveal(failed->treeItem);
  tree_->SelectRow(view_->BuiltRows().configuration);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view_.get()) || qgetenv("QT_QPA_PLATFORM") == "offscreen");
  QApplication::processEvents();
  const QImage image = view_->grab().toImage();
  if (const char* dir = std::getenv("Z580_BUILD_DIR"))
    image.save(QString::fromLocal8Bit(dir) + "/pelmtree-screenshot-" + QApplication::platformName() + ".png");
  const QPoint origin = tree_->viewport()->mapTo(view_.get(), QPoint(0, 0));
  auto cell = [&](model::TreeItem r, int column) { return tree_->CellRect(r, column).translated(origin); };

  EXPECT_GT(Count(image, cell(failed->treeItem, 0), Red), 10);
  EXPECT_GT(Count(image, cell(failed->treeItem, 5), Red), 10);
  EXPECT_GT(Count(image, cell(changed->treeItem, 2), Green), 10);
  EXPECT_EQ(Count(image, cell(changed->treeItem, 2), Red), 0);
  EXPECT_GT(Count(image, cell(polled->treeItem, 2), Dark), 10);
  EXPECT_EQ(Count(image, cell(polled->treeItem, 2), Red), 0);
  EXPECT_EQ(Count(image, cell(polled->treeItem, 2), Green), 0);
}

// Typed into a float cell as a person types (double click, the keys, Enter) with
// immediate writing on: a text that is no number writes nothing and says so; a
// decimal comma is the point.
class PelmTreeViewXvfb : public PelmTreeViewTest {};

TEST_F(PelmTreeViewXvfb, TypedScaleValuesAreNumbersOrNothingIsWritten) {
  Z580_REQUIRE_XCB();
  ASSERT_NO_FATAL_FAILURE(OpenView(true));
  ASSERT_TRUE(realinput::ShowActive(*view_));
  App().immediateWriting = true;
  Parameter* scale = nullptr;
  ForEachParameter(*doc_->rootBranch, [&](Parameter& p) {
    if (!scale && p.name == "An.Hi" && p.treeItem != model::kNoItem) scale = &p;
  });
  ASSERT_NE(scale, nullptr);
  struct Case {
    const char* keys;
    const char* stored;  // nullptr: refused
    z580sim::Bytes written;
  } cases[] = {{"abc", nullptr, {}},
               {"", nullptr, {}},  // an emptied cell
               {"12abc", nullptr, {}},
               {"1,9", "1.900", {0x3F, 0xF3, 0x33, 0x33}},
               {"-2,5", "-2.500", {0xC0, 0x20, 0x00, 0x00}}};
  for (const Case& c : cases) {
    Reveal(scale->treeItem);
    const std::string before = Text(scale->treeItem, 2);
    const std::string held = scale->value;
    prompter_.requests.clear();
    sim_->ClearRequests();
    QTest::mouseDClick(tree_->viewport(), Qt::LeftButton, {}, tree_->CellRect(scale->treeItem, 2).center());
    ASSERT_TRUE(realinput::Until([&] { return tree_->OpenEditBox() != nullptr && QApplication::focusWidget(); }))
        << c.keys;
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(focus, Qt::Key_Backspace);
    QTest::keyClicks(focus, c.keys);
    QTest::keyClick(focus, Qt::Key_Return);
    QApplication::processEvents();
    std::vector<z580sim::RequestRecord> writes;
    for (const z580sim::RequestRecord& r : sim_->Requests())
      if (IsWriteOf(r, "An.Hi")) writes.push_back(r);
    if (c.stored == nullptr) {
      EXPECT_TRUE(writes.empty()) << c.keys;
      EXPECT_EQ(scale->value, held) << c.keys;
      EXPECT_EQ(Text(scale->treeItem, 2), before) << c.keys;
      EXPECT_NE(prompter_.Texts().find("'" + std::string(c.keys) + "'"), std::string::npos)
          << c.keys << ": " << prompter_.Texts();
    } else {
      EXPECT_EQ(scale->value, c.stored) << prompter_.Texts();
      EXPECT_EQ(Text(scale->treeItem, 2), c.stored);
      ASSERT_FALSE(writes.empty()) << c.keys;
      ASSERT_GE(writes.back().data.size(), 4u);  // the value, then the index bytes
      EXPECT_EQ(z580sim::Bytes(writes.back().data.begin(), writes.back().data.begin() + 4), c.written) << c.keys;
      EXPECT_TRUE(prompter_.requests.empty()) << prompter_.Texts();
    }
  }
}

// ---- driven as a person does, on the X display

class PelmTreeRowsXvfb : public PelmTreeViewTest {
 protected:
  // A plain writable number in a branch of its own, shown.
  Parameter* ShowPlainNumber() {
    Parameter* found = nullptr;
    ForEachParameter(*doc_->rootBranch, [&](Parameter& p) {
      if (!found && p.writable && p.type == "int" && p.treeItem != model::kNoItem && p.owner == 0 &&
          !model::IsBaseNetworkParameter(p.name) &&
          tree_->ParentItem(p.treeItem) != view_->BuiltRows().deviceParameters)
        found = &p;
    });
    if (found != nullptr) Reveal(found->treeItem);
    return found;
  }
  // A double click opens the row's value editor; the text replaces the value.
  bool Type(model::TreeItem row, const std::string& text) {
    QTest::mouseDClick(tree_->viewport(), Qt::LeftButton, {}, tree_->CellRect(row, 2).center());
    if (!realinput::Until([&] { return tree_->OpenEditBox() && QApplication::focusWidget() == tree_->OpenEditBox(); }))
      return false;
    QTest::keyClick(tree_->OpenEditBox(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(tree_->OpenEditBox(), QString::fromStdString(text));
    return true;
  }
};

// The link's window layer, which notes the moment a task's dialog is about to run.
class WatchedTasks : public TaskWindowQt {
 public:
  std::function<void()> atStart;
  bool RunTaskDialog(Device& device, int taskCode, int captionId, int total) override {
    atStart();
    return TaskWindowQt::RunTaskDialog(device, taskCode, captionId, total);
  }
};

// The view in a main window whose commands and close only note what they found,
// with immediate writing on.
class PelmTreeEditEndingXvfb : public PelmTreeRowsXvfb {
 protected:
  void TearDown() override {
    if (frame_) frame_->takeCentralWidget();  // the view is the fixture's
    frame_.reset();
    PelmTreeRowsXvfb::TearDown();
  }
  void OpenFrame() {
    ASSERT_NO_FATAL_FAILURE(OpenView(true));
    CMainFrame::Hooks hooks;
    hooks.canClose = [this] { return Note(), false; };
    frame_ = std::make_unique<CMainFrame>(std::move(hooks));
    frame_->setCentralWidget(view_.get());
    for (int command : {mainframe::kCmdNew, mainframe::kCmdOpen, mainframe::kCmdSave, mainframe::kCmdSaveAs,
                        mainframe::kCmdExit, mainframe::kCmdStateInOut, mainframe::kCmdExportHtml})
      frame_->SetCommandHandler(command, [this] { Note(); });
    ASSERT_TRUE(realinput::ShowActive(*frame_));
    tasks_.SetMainWindow(frame_.get());
    tasks_.atStart = [this] { Note(); };
    doc_->GetDevice()->fullAccess = true;
    App().immediateWriting = true;
    ASSERT_NE(edited_ = ShowPlainNumber(), nullptr);
  }
  int EditedWrites(const Parameter* p = nullptr) const {
    int n = 0;
    for (const z580sim::RequestRecord& r : sim_->Requests()) n += IsWriteOf(r, (p ? p : edited_)->name) ? 1 : 0;
    return n;
  }
  void Note() { moment_ = {true, tree_->OpenEditBox() != nullptr, edited_->value, EditedWrites()}; }

  // Each row starts with a value half typed: whatever it starts finds that value
  // taken as Enter takes it (written at once) and no editor open.
  void ExpectEachEndsTheEditFirst(const std::vector<std::pair<const char*, std::function<void()>>>& rows) {
    for (const auto& [name, start] : rows) {
      SCOPED_TRACE(name);
      const std::string typed = edited_->value == "1" ? "0" : "1";
      ASSERT_TRUE(realinput::ShowActive(*frame_));  // a task's dialog or a menu had the focus
      Reveal(edited_->treeItem);
      ASSERT_TRUE(Type(edited_->treeItem, typed));
      const int writesBefore = EditedWrites();
      moment_ = {};
      start();
      ASSERT_TRUE(QTest::qWaitFor([&] { return moment_.reached; }, 10000));
      { std::lock_guard wait(App().exchangeLock); }
      EXPECT_FALSE(moment_.editorOpen);
      EXPECT_EQ(moment_.value, typed);
      EXPECT_GT(moment_.writes, writesBefore);
      tree_->CloseEditors();
    }
  }
  static std::function<void()> Keys(Qt::Key key) {
    return [key] { QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier); };
  }
  // Keys and clicks through the X server, as a person's reach the program.
  static QByteArray Xdotool(const QStringList& args) {
    QProcess run;
    run.start("xdotool", args);
    return run.waitForFinished(5000) && run.exitCode() == 0 ? run.readAllStandardOutput().trimmed() : "failed";
  }
  static std::function<void()> XKeys(const char* keys) {
    return [keys] { ASSERT_NE(Xdotool({"key", keys}), "failed"); };
  }
  // A click on the first menu, or F10: a menu opens.
  std::function<void()> MenuOpened(bool byF10) {
    return [this, byF10] {
      const QMenuBar* bar = frame_->menuBar();
      const QPoint at = bar->mapToGlobal(bar->actionGeometry(bar->actions().front()).center());
      ASSERT_NE(byF10 ? Xdotool({"key", "F10"})
                      : Xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"}),
                "failed");
      ASSERT_TRUE(realinput::Until([] { return QApplication::activePopupWidget() != nullptr; }));
    };
  }

  // Each row leaves an editor (the value's box with a half-typed number, the list
  // of a channel's sensor with an item shown by Down) for the menu bar or another
  // program and comes back without a command: the editor is open with what it
  // showed, nothing was written.
  void ExpectEachLeavesTheEditOpen(const std::vector<std::pair<const char*, std::function<void()>>>& rows) {
    Parameter* list = nullptr;
    ForEachParameter(*doc_->rootBranch, [&](Parameter& p) {
      if (!list && p.name == "in-t" && p.treeItem != model::kNoItem) list = &p;
    });
    ASSERT_NE(list, nullptr);
    const auto shown = [this] {
      return tree_->OpenEditBox() ? tree_->OpenEditBox()->text()
                                  : tree_->OpenListEditor() ? tree_->OpenListEditor()->currentText() : QString();
    };
    for (const auto& [name, leave] : rows)
      for (Parameter* edited : {edited_, list, edited_, list}) {
        App().immediateWriting = !App().immediateWriting;  // off, on, off, on
        SCOPED_TRACE(std::string(name) + " " + edited->name + (App().immediateWriting ? "" : ", stored only"));
        ASSERT_TRUE(realinput::ShowActive(*frame_));
        Reveal(edited->treeItem);
        QTest::mouseDClick(tree_->viewport(), Qt::LeftButton, {}, tree_->CellRect(edited->treeItem, 2).center());
        ASSERT_TRUE(realinput::Until([&] { return !shown().isNull() && QApplication::focusWidget(); }));
        QWidget* editor = QApplication::focusWidget();
        QTest::keyClick(editor, edited == edited_ ? Qt::Key_3 : Qt::Key_Down);
        const QString before = shown();
        const int writes = EditedWrites(edited);
        leave();
        // Back without a command: Escape leaves a menu and the bar; another
        // program's window is left by activating this one.
        for (int i = 0; i < 10 && (QTest::qWait(150), QApplication::focusWidget() != editor); ++i)
          frame_->isActiveWindow() ? void(Xdotool({"key", "Escape"})) : frame_->activateWindow();
        EXPECT_EQ(QApplication::focusWidget(), editor);
        EXPECT_EQ(shown(), before);
        EXPECT_EQ(EditedWrites(edited), writes);
        tree_->CloseEditors();
      }
  }

  std::unique_ptr<CMainFrame> frame_;
  WatchedTasks tasks_;
  Parameter* edited_ = nullptr;
  struct {
    bool reached = false, editorOpen = false;
    std::string value;
    int writes = 0;  // of the edited parameter
  } moment_;
};

// Every link task, and every command that saves, opens, shows or leaves the
// configuration, begins with the value being typed taken: nothing is left open
// under it, written after it or saved without it.
TEST_F(PelmTreeEditEndingXvfb, EveryTaskAndCommandEndsAnOpenEditFirst) {
  Z580_REQUIRE_XCB();
  ASSERT_NO_FATAL_FAILURE(OpenFrame());
  const auto toolbar = [this](int command) {
    return [this, command] {
      QTest::mouseClick(frame_->ToolBar()->widgetForAction(frame_->Action(command)), Qt::LeftButton);
    };
  };
  const auto menu = [this](int sub, int command) {
    return [this, sub, command] {
      QMenu* menu = frame_->SubMenu(sub);
      menu->popup(frame_->mapToGlobal(QPoint(20, 30)));
      ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
      QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(frame_->Action(command)).center());
    };
  };
  using namespace mainframe;
  ExpectEachEndsTheEditFirst({
      {"read all", [&] { doc_->OnTreeTask(CPelmDoc::kCmdReadTree); }},
      {"write all", [&] { doc_->OnTreeTask(CPelmDoc::kCmdWriteTree); }},
      {"write changed", [&] { doc_->OnTreeTask(CPelmDoc::kCmdWriteChangedTree); }},
      {"compare", [&] { doc_->OnTreeTask(CPelmDoc::kCmdCompareTree); }},
      {"init", [&] { doc_->StartInitTask(); }},
      {"read one", [&] { doc_->GetDevice()->StartReadOneTask(*edited_); }},
      {"write one", [&] { doc_->GetDevice()->StartWriteOneTask(*edited_); }},
      {"Ctrl+S", Keys(Qt::Key_S)},
      {"toolbar Save", toolbar(kCmdSave)},
      {"menu Save as", menu(0, kCmdSaveAs)},
      {"Ctrl+O", Keys(Qt::Key_O)},
      {"Ctrl+N", Keys(Qt::Key_N)},
      {"menu Exit", menu(0, kCmdExit)},
      {"window closed", [this] { frame_->close(); }},
      {"toolbar state window", toolbar(kCmdStateInOut)},
      {"menu export", menu(3, kCmdExportHtml)},
  });
}

TEST_F(PelmTreeEditEndingXvfb, MenuBarAltF10AndAltTabLeaveTheEditOpen) {
  Z580_REQUIRE_XCB();
  ASSERT_NO_FATAL_FAILURE(OpenFrame());
  ExpectEachLeavesTheEditOpen({{"Alt", XKeys("alt")},
                               {"F10", MenuOpened(true)},
                               {"menu clicked, Escape", MenuOpened(false)},
                               {"Alt+Tab", XKeys("alt+Tab")},
                               {"a message box of the program, closed", [this] {
                                  // As one the link posts while a person types.
                                  QMessageBox box(QMessageBox::Warning, "Z580", "message", QMessageBox::Ok, frame_.get());
                                  box.setWindowModality(Qt::ApplicationModal);
                                  box.show();
                                  ASSERT_TRUE(realinput::Until([&] { return box.isActiveWindow(); }));
                                  ASSERT_NE(Xdotool({"key", "Escape"}), "failed");
                                  ASSERT_TRUE(realinput::Until([&] { return !box.isVisible(); }));
                                }}});

  // A close by the program itself (the exit event, the end of a batch run) takes
  // nothing that was typed.
  ASSERT_TRUE(Type(edited_->treeItem, "3"));
  const int writes = EditedWrites();
  frame_->CloseFromProgram();
  QApplication::processEvents();
  EXPECT_EQ(tree_->OpenEditBox(), nullptr);
  EXPECT_EQ(EditedWrites(), writes);
}

// The window manager's close (Alt+F4, sent once it holds the window active) and
// Ctrl+S end an open edit, with openbox keeping the focus; Alt, a menu and Alt+Tab
// to another program leave it open.
class PelmTreeEditEndingOpenbox : public PelmTreeEditEndingXvfb {};

TEST_F(PelmTreeEditEndingOpenbox, TheWindowManagersCloseAndCtrlSEndAnOpenEditFirst) {
  Z580_REQUIRE_XCB();
  ASSERT_NO_FATAL_FAILURE(OpenFrame());
  QProcess other;  // another program's window for Alt+Tab to go to
  other.start("xmessage", {"another program"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return Xdotool({"search", "--name", "xmessage"}) != "failed"; }, 5000));
  ExpectEachLeavesTheEditOpen({{"Alt", XKeys("alt")}, {"menu clicked, Escape", MenuOpened(false)}, {"Alt+Tab", [&] {
                                 XKeys("alt+Tab")();
                                 EXPECT_TRUE(QTest::qWaitFor([&] { return !frame_->isActiveWindow(); }, 2000));
                               }}});
  other.kill();
  other.waitForFinished(2000);
  ExpectEachEndsTheEditFirst({
      {"Ctrl+S", Keys(Qt::Key_S)},
      // Last: a window manager busy with the window may let a press pass, so it is
      // pressed again until the close comes.
      {"Alt+F4",
       [&] {
         const QByteArray frame = QByteArray::number(frame_->winId());
         ASSERT_TRUE(QTest::qWaitFor([&] { return Xdotool({"getactivewindow"}) == frame; }, 10000));
         for (int i = 0; i < 5; ++i) {
           ASSERT_NE(Xdotool({"key", "alt+F4"}), "failed");
           if (QTest::qWaitFor([&] { return moment_.reached; }, 2000)) break;
         }
       }},
  });
}

// A value the module refuses turns its row and every branch above it red, as a
// failed read does.
TEST_F(PelmTreeRowsXvfb, AFailedEditWriteTurnsItsBranchRed) {
  Z580_REQUIRE_XCB();
  ASSERT_NO_FATAL_FAILURE(OpenView(true));
  ASSERT_TRUE(realinput::ShowActive(*view_));
  App().immediateWriting = true;
  Parameter* edited = ShowPlainNumber();
  ASSERT_NE(edited, nullptr);
  std::vector<model::TreeItem> branches;
  for (model::TreeItem up = tree_->ParentItem(edited->treeItem); up != model::kNoItem; up = tree_->ParentItem(up))
    if (dynamic_cast<DescBranch*>(tree_->GetItemObject(up))) branches.push_back(up);
  ASSERT_GE(branches.size(), 2u);
  for (model::TreeItem branch : branches) ASSERT_EQ(Colour(branch), model::kBlack);

  sim_->SetFault(z580sim::Fault::DeviceError, 1, 0x47);
  ASSERT_TRUE(Type(edited->treeItem, "1"));
  QTest::keyClick(tree_->OpenEditBox(), Qt::Key_Return);
  EXPECT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(Colour(edited->treeItem), model::kRed);
  for (model::TreeItem branch : branches) EXPECT_EQ(Colour(branch), model::kRed) << Text(branch, 0);

  // The module takes the next value: all black again, also after the branch is reopened.
  ASSERT_TRUE(Type(edited->treeItem, "2"));
  QTest::keyClick(tree_->OpenEditBox(), Qt::Key_Return);
  tree_->ExpandRow(branches.front(), false);
  Reveal(edited->treeItem);
  EXPECT_EQ(Colour(edited->treeItem), model::kBlack);
  for (model::TreeItem branch : branches) EXPECT_EQ(Colour(branch), model::kBlack) << Text(branch, 0);
}

// A cell of a tree of another model than the module on the line (a file of
// another model was opened) is never written into it: the message names both.
TEST_F(PelmTreeRowsXvfb, ACellOfAnotherModelsTreeIsNeverWritten) {
  Z580_REQUIRE_XCB();
  ASSERT_NO_FATAL_FAILURE(OpenView(true));
  ASSERT_TRUE(realinput::ShowActive(*view_));
  App().immediateWriting = true;
  Parameter* edited = ShowPlainNumber();
  ASSERT_NE(edited, nullptr);
  const int tree = App().modelIndex;
  App().identifiedModel = tree == 5 ? 6 : 5;
  sim_->ClearRequests();
  ASSERT_TRUE(Type(edited->treeItem, "1"));
  QTest::keyClick(tree_->OpenEditBox(), Qt::Key_Return);
  EXPECT_TRUE(sim_->Requests().empty()) << sim_->Requests().size();
  ASSERT_EQ(prompter_.requests.size(), 1u);
  for (int model : {tree, App().identifiedModel.load()})
    EXPECT_NE(prompter_.requests[0].text.find(exchange::ModelDisplayName(model)), std::string::npos)
        << prompter_.requests[0].text;
  App().identifiedModel = tree;
}

// The bold heading of the polled parameters stays their first row whatever a
// caption click sorts by.
TEST_F(PelmTreeRowsXvfb, CaptionClicksKeepThePolledHeadingFirst) {
  Z580_REQUIRE_XCB();
  ASSERT_NO_FATAL_FAILURE(OpenView(false));
  ASSERT_TRUE(realinput::ShowActive(*view_));
  const model::TreeItem polledRows = view_->BuiltRows().polledParameters;
  const model::TreeItem heading = tree_->GetChildItem(polledRows);
  ASSERT_TRUE(tree_->Record(heading)->bold);
  Reveal(FirstPolled()->treeItem);
  TreeList::CTreeListHeaderCtrl* header = tree_->Header();
  // Column 0 starts ascending: the first click descends.
  for (int column : {0, 0, 2, 2, 1, 5}) {
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                             header->height() / 2));
    QTest::qWait(50);
    EXPECT_EQ(tree_->GetChildItem(polledRows), heading)
        << "column " << column << " mark " << header->GetSortMark(column);
  }
}

}  // namespace
