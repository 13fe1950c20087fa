// Speed of the tree-list control against a plain QTreeWidget with the same rows and
// no delegate: fill with the largest model's tree and its polled rows, sort by each
// column, update 100 polled cells. Each time includes one repaint of the rows, so
// the painting counts.
#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/CPelmDoc.h"
#include "controls/CNewTreeListCtrlView.h"
#include "controls/CTreeListCtrl.h"
#include "model/DescBranch.h"
#include "model/Parameter.h"
#include "platform/Prompter.h"

namespace {

constexpr int kColumns = 6;
constexpr int kRuns = 40;

struct RowData {
  int parent;  // index into the rows, -1 at the top
  std::vector<std::string> texts;
  model::ColorRef colour;
  bool polled;
};

struct Model {
  std::string name;
  std::unique_ptr<CPelmDoc> doc;
  std::vector<RowData> rows;
};

std::unique_ptr<CPelmDoc> LoadDoc(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  auto doc = std::make_unique<CPelmDoc>();
  if (!doc->ParseDescriptionText(text.str())) return nullptr;
  doc->BuildTrees();
  return doc;
}

// The rows a model's trees give, read back from a control they were inserted into.
std::vector<RowData> CollectRows(CPelmDoc& doc) {
  TreeList::CTreeListCtrl tree;
  for (int i = 0; i < kColumns; ++i) tree.InsertColumn(i, "c", 0, 100);
  if (doc.rootBranch) doc.rootBranch->InsertTreeItems(tree, model::kNoItem, -1, false);
  if (doc.scannersBranch) doc.scannersBranch->InsertTreeItems(tree, model::kNoItem, -1, false);
  std::vector<RowData> rows;
  std::function<void(model::TreeItem, int)> walk = [&](model::TreeItem row, int parent) {
    for (; row != model::kNoItem; row = tree.GetNextSiblingItem(row)) {
      RowData data{parent, {}, tree.Record(row)->colour, false};
      for (int c = 0; c < kColumns; ++c) data.texts.push_back(tree.GetItemText(row, c));
      auto* p = dynamic_cast<Parameter*>(tree.GetItemObject(row));
      data.polled = p && p->IsPolled();
      rows.push_back(data);
      walk(tree.GetChildItem(row), static_cast<int>(rows.size()) - 1);
    }
  };
  walk(tree.GetChildItem(model::kNoItem), -1);
  return rows;
}

// The two sides run in turns, so that the load of the machine falls on both alike;
// each time is the smallest of the runs.
struct Times {
  double ours = 1e300;
  double plain = 1e300;
};

Times Measure(const std::function<void()>& prepareOurs, const std::function<void()>& ours,
              const std::function<void()>& preparePlain, const std::function<void()>& plain) {
  Times t;
  auto once = [](const std::function<void()>& prepare, const std::function<void()>& work) {
    prepare();
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
  };
  for (int i = 0; i < kRuns; ++i) {
    t.ours = std::min(t.ours, once(prepareOurs, ours));
    t.plain = std::min(t.plain, once(preparePlain, plain));
  }
  return t;
}

void Report(const char* what, double ours, double plain, double target) {
  const double ratio = plain > 0 ? ours / plain : 0;
  std::printf("%-22s tree-list %8.3f ms   plain %8.3f ms   ratio %5.2f (target <= %.1f)%s\n", what, ours, plain,
              ratio, target, ratio > target ? "  OVER" : "");
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const std::string settings = bench::UsePrivateSettingsFolder();
  QApplication app(argc, argv);
  platform::CollectingPrompter quiet;

  // The model with the most rows.
  Model largest;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(Z580_SOURCE_DIR) / "data/descriptions")) {
    auto doc = LoadDoc(entry.path());
    if (!doc) continue;
    std::vector<RowData> rows = CollectRows(*doc);
    if (rows.size() > largest.rows.size()) largest = {entry.path().stem().string(), std::move(doc), std::move(rows)};
  }
  if (largest.rows.empty()) {
    std::fprintf(stderr, "treelist_bench: no model description could be loaded\n");
    return 1;
  }
  std::vector<size_t> polled;
  for (size_t i = 0; i < largest.rows.size(); ++i)
    if (largest.rows[i].polled) polled.push_back(i);
  std::printf("model %s: %zu rows, %zu polled\n", largest.name.c_str(), largest.rows.size(), polled.size());

  auto* tree = new TreeList::CTreeListCtrl;
  TreeList::CNewTreeListCtrlView view(nullptr, tree);
  for (int i = 0; i < kColumns; ++i) tree->InsertColumn(i, "column", 0, 120);
  view.resize(900, 700);
  view.Create();
  view.show();
  QTreeWidget plain;
  plain.setColumnCount(kColumns);
  plain.setUniformRowHeights(true);  // as the tree-list has it
  for (int i = 0; i < kColumns; ++i) plain.setColumnWidth(i, 120);
  plain.resize(900, 700);
  plain.show();
  app.processEvents();

  std::vector<model::TreeItem> handles;
  std::vector<QTreeWidgetItem*> items;
  auto paint = [&](QWidget* w) { w->repaint(); };
  auto fillOurs = [&] {
    handles.clear();
    for (const RowData& r : largest.rows) {
      const model::TreeItem parent = r.parent < 0 ? model::kNoItem : handles[static_cast<size_t>(r.parent)];
      const model::TreeItem row =
          tree->InsertItem(nullptr, r.texts[0], 28, 28, model::RowEditor::EditBox, parent, false);
      tree->SetItemTexts(row, &r.texts[1], &r.texts[2], &r.texts[3], &r.texts[4], &r.texts[5], r.colour);
      handles.push_back(row);
    }
    tree->expandAll();
    paint(tree->viewport());
  };
  auto fillPlain = [&] {
    items.clear();
    for (const RowData& r : largest.rows) {
      auto* item = r.parent < 0 ? new QTreeWidgetItem(&plain) : new QTreeWidgetItem(items[static_cast<size_t>(r.parent)]);
      for (int c = 0; c < kColumns; ++c) item->setText(c, QString::fromStdString(r.texts[static_cast<size_t>(c)]));
      item->setForeground(0, TreeList::ToQColor(r.colour));
      items.push_back(item);
    }
    plain.expandAll();
    paint(plain.viewport());
  };
  const Times fill = Measure([&] { tree->DeleteAllItems(); }, fillOurs, [&] { plain.clear(); }, fillPlain);
  Report("fill", fill.ours, fill.plain, 1.5);

  for (int c = 0; c < kColumns; ++c) {
    bool plainAscending = true;
    const Times sort = Measure(
        [] {},
        [&] {
          view.OnHeaderItemClick(c);
          paint(tree->viewport());
        },
        [] {},
        [&] {
          plain.sortItems(c, plainAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
          plainAscending = !plainAscending;
          paint(plain.viewport());
        });
    char what[32];
    std::snprintf(what, sizeof what, "sort by column %d", c);
    Report(what, sort.ours, sort.plain, 1.5);
  }

  if (!polled.empty()) {
    int tick = 0;
    const Times update = Measure(
        [] {},
        [&] {
      for (int i = 0; i < 100; ++i) {
        const std::string value = std::to_string(++tick);
        tree->SetItemTexts(handles[polled[static_cast<size_t>(i) % polled.size()]], nullptr, &value, nullptr, nullptr,
                           nullptr, model::kBlack);
      }
      paint(tree->viewport());
        },
        [] {},
        [&] {
      for (int i = 0; i < 100; ++i) {
        QTreeWidgetItem* item = items[polled[static_cast<size_t>(i) % polled.size()]];
        item->setText(2, QString::number(++tick));
        item->setForeground(2, Qt::black);
      }
      paint(plain.viewport());
        });
    Report("update 100 polled", update.ours, update.plain, 2.0);
  }
  if (!settings.empty()) std::filesystem::remove_all(settings);
  return 0;
}
