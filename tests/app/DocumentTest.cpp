// The document without a module: the tree loader and its description store, the
// commands' checks of their target, the program modes, and the process-wide state.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "devices/CBaseDevice.h"
#include "devices/CDevicePW.h"
#include "devices/MainMenu.h"
#include "link/Device.h"
#include "link/ResultFlags.h"
#include "model/DescriptionStore.h"
#include "platform/Text.h"
#include "resources/StringTable.h"
#include "support/CompoundFileBuilder.h"
#include "platform/Prompter.h"

using resources::LoadString;

namespace {

constexpr int kModel = 22;

std::vector<char> Deflate(const std::string& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::vector<char> out(size);
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
                      static_cast<uLong>(text.size()), Z_BEST_COMPRESSION),
            Z_OK);
  out.resize(size);
  return out;
}

class DocumentTest : public DocumentTestBase {
 protected:
  void TearDown() override {
    doc_.reset();
    DocumentTestBase::TearDown();
  }

  // A description store in the test's folder holding one text for the model.
  void UseStore(const std::string& utf8Text) {
    testsupport::CompoundFileBuilder builder;
    builder.AddStream(DescriptionStreamName(kModel), Deflate(platform::Utf8ToCp1251(utf8Text)));
    const testsupport::CompoundFileImage image = builder.Build();
    WriteBytes(Path("zt580.dat"), std::vector<uint8_t>(image.bytes.begin(), image.bytes.end()));
    App().SetProgramDirectory(root_);
  }

  FakeViews views_;
  platform::CollectingPrompter prompter_;
  std::unique_ptr<CPelmDoc> doc_ = std::make_unique<CPelmDoc>();
};

TEST_F(DocumentTest, TreeLoaderFindsNothingOutsideTheModelTableOrTheStore) {
  for (int model : {-1, 23}) {
    App().modelIndex = model;
    EXPECT_FALSE(doc_->LoadTree());
  }
  EXPECT_TRUE(prompter_.requests.empty());

  // A program directory without the store.
  App().modelIndex = kModel;
  App().SetProgramDirectory(root_);
  EXPECT_FALSE(doc_->LoadTree());
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(prompter_.requests[0].text, LoadString(kStrTreeFileError));
  EXPECT_EQ(prompter_.requests[0].icon, platform::MessageIcon::Error);
  EXPECT_EQ(doc_->rootBranch, nullptr);
  EXPECT_EQ(App().DeviceModel(), nullptr);
}

TEST_F(DocumentTest, StoreIsLookedUpInTheProgramDirectoryNotTheCurrentOne) {
  App().modelIndex = kModel;
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  // A folder with a store of its own must not be used.
  UseStore("root Чужой 1 1 1\n");
  App().SetProgramDirectory(BuiltProgramDirectory());
  ASSERT_EQ(chdir(root_.c_str()), 0);
  const bool loaded = doc_->LoadTree();
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_TRUE(loaded);
  ASSERT_NE(doc_->rootBranch, nullptr);
  EXPECT_NE(doc_->rootBranch->elementName, "Чужой");
}

TEST_F(DocumentTest, TreeLoaderSplitsLinesAndBuildsWhatParsedBeforeAFailure) {
  App().modelIndex = kModel;
  UseStore(
      "parameter A int Первый\r\n\r\n"
      "parameter B int Второй\r"
      "branch Ветвь 1 2 3 A B\n\n"
      "root Корень 1 1 1 Ветвь\r\n"
      "непонятная строка\n"
      "parameter C int Третий\n");
  EXPECT_TRUE(doc_->LoadTree());
  // The parser's own message, then the loader's.
  ASSERT_EQ(prompter_.requests.size(), 2u);
  EXPECT_EQ(prompter_.requests[1].text, LoadString(kStrTreeNotCreated));
  EXPECT_EQ(prompter_.requests[1].caption, LoadString(kStrAppTitle));
  ASSERT_NE(doc_->rootBranch, nullptr);
  ASSERT_EQ(doc_->rootBranch->children.size(), 1u);
  const auto& branch = *doc_->rootBranch->children[0];
  ASSERT_EQ(branch.parameters.size(), 2u);
  EXPECT_EQ(branch.parameters[1]->name, "B");
  // The descriptions stay; constants, types and the branch list go.
  EXPECT_EQ(doc_->descParameters.size(), 2u);
  EXPECT_TRUE(doc_->branchList.empty());
  EXPECT_NE(App().DeviceModel(), nullptr);
}

TEST_F(DocumentTest, ADescriptionTextEndsAtItsFirstZeroByte) {
  App().modelIndex = kModel;
  UseStore(std::string("parameter A int Первый\nroot R 1 1 1 A\n") + '\0' + "what follows is no text\n");
  EXPECT_TRUE(doc_->LoadTree());
  EXPECT_TRUE(prompter_.requests.empty());
  ASSERT_NE(doc_->rootBranch, nullptr);
  EXPECT_EQ(doc_->rootBranch->parameters.size(), 1u);
}

TEST_F(DocumentTest, TheTreeLimitCountsWhatTheFinishedTreesHold) {
  App().modelIndex = kModel;
  const std::string six = "parameter p int P\nbranch A 6000 0 0 p\n";
  // 6000 parameters, their branches copied into the root: a tree within the limit.
  UseStore(six + "root R 1 0 0 A\n");
  EXPECT_TRUE(doc_->LoadTree());
  EXPECT_TRUE(prompter_.requests.empty());
  ASSERT_NE(doc_->rootBranch, nullptr);
  EXPECT_EQ(doc_->rootBranch->children.size(), 6000u);
  ASSERT_FALSE(doc_->rootBranch->children.empty());
  EXPECT_EQ(doc_->rootBranch->children.back()->parameters.size(), 1u);

  // Trees that would pass it: twice that nested in the root, or root and scanners together.
  const struct {
    std::string text;
    bool root;
  } refused[] = {
      {six + "branch B 2 0 0 A\nroot R 1 0 0 B\n", false},
      {six + "root R 1 0 0 A\nscanners S 1 0 0 A\n", true},
  };
  for (const auto& c : refused) {
    doc_->ClearContents();
    prompter_.requests.clear();
    UseStore(c.text);
    EXPECT_TRUE(doc_->LoadTree());
    ASSERT_FALSE(prompter_.requests.empty());
    EXPECT_EQ(prompter_.requests[0].text, LoadString(kStrTreeNotCreated));
    EXPECT_EQ(doc_->rootBranch != nullptr, c.root);
    EXPECT_EQ(doc_->scannersBranch, nullptr);
  }
}

TEST_F(DocumentTest, TreeLoaderWithoutRootStillMakesTheModelObject) {
  App().modelIndex = kModel;
  UseStore("parameter A int Первый\n");
  EXPECT_TRUE(doc_->LoadTree());
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(prompter_.requests[0].text, LoadString(kStrNoRootBranch));
  EXPECT_EQ(doc_->rootBranch, nullptr);
  EXPECT_NE(App().DeviceModel(), nullptr);
}

TEST_F(DocumentTest, LoadingTwiceLeavesTheSecondModelObject) {
  App().modelIndex = kModel;
  ASSERT_TRUE(doc_->LoadTree());
  doc_->ClearContents();
  ASSERT_TRUE(doc_->LoadTree());
  ASSERT_NE(App().DeviceModel(), nullptr);
  EXPECT_EQ(model::CurrentDeviceModel(), App().DeviceModel());
  auto* second = dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel());
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->GetDocument(), doc_.get());
  // The document takes its model object with it.
  doc_.reset();
  EXPECT_EQ(App().DeviceModel(), nullptr);
  EXPECT_EQ(model::CurrentDeviceModel(), nullptr);
}

TEST_F(DocumentTest, TasksNeedTheirTarget) {
  doc_ = std::make_unique<CPelmDoc>(&views_, false);
  prompter_.requests.clear();
  EXPECT_FALSE(doc_->OnTreeTask(CPelmDoc::kCmdReadTree));
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(prompter_.requests[0].text, "Дерево не определено");
  EXPECT_EQ(prompter_.requests[0].caption, LoadString(kStrAppTitle));
  EXPECT_EQ(prompter_.requests[0].icon, platform::MessageIcon::Error);

  App().modelIndex = kModel;
  ASSERT_TRUE(doc_->OnNewDocument());
  // A parameter or an element that is not a branch is no branch target.
  Parameter& parameter = FirstParameter(*doc_->rootBranch);
  for (CObject* selected : {static_cast<CObject*>(nullptr), static_cast<CObject*>(&parameter),
                            static_cast<CObject*>(&doc_->ServiceElement())}) {
    doc_->selected = selected;
    prompter_.requests.clear();
    EXPECT_FALSE(doc_->OnTreeTask(CPelmDoc::kCmdWriteBranch));
    ASSERT_EQ(prompter_.requests.size(), 1u);
    EXPECT_EQ(prompter_.requests[0].text, "Ветвь не определена");
  }
  EXPECT_EQ(views_.updates, 0);

  // Emptying the document forgets the selection and the view's rows.
  doc_->selected = doc_->rootBranch;
  const int deletes = views_.rowDeletes;
  doc_->ClearContents();
  EXPECT_EQ(doc_->selected, nullptr);
  EXPECT_EQ(views_.rowDeletes, deletes + 1);
}

TEST_F(DocumentTest, DestroyedDocumentLeavesTheViewsAlone) {
  // At exit the windows go first: the document's end must not reach into them.
  doc_ = std::make_unique<CPelmDoc>(&views_, false);
  const int deletes = views_.rowDeletes;
  const int updates = views_.updates;
  doc_.reset();
  EXPECT_EQ(views_.rowDeletes, deletes);
  EXPECT_EQ(views_.updates, updates);
}

TEST_F(DocumentTest, ModeCommands) {
  doc_ = std::make_unique<CPelmDoc>(&views_, false);
  prompter_.requests.clear();

  doc_->OnModeCommand(CPelmDoc::kCmdNoAttributes);
  EXPECT_TRUE(App().noAttributeExchange);
  ASSERT_EQ(prompter_.requests.size(), 1u);
  EXPECT_EQ(prompter_.requests[0].text, LoadString(kStrNoAttributesNotice));
  EXPECT_EQ(prompter_.requests[0].icon, platform::MessageIcon::Information);
  doc_->OnModeCommand(CPelmDoc::kCmdNoAttributes);
  EXPECT_FALSE(App().noAttributeExchange);
  EXPECT_EQ(prompter_.requests.size(), 1u);

  doc_->OnModeCommand(CPelmDoc::kCmdShowLinearIndexes);
  EXPECT_TRUE(App().showLinearIndexes);
  EXPECT_EQ(views_.updates, 1);
  doc_->OnModeCommand(CPelmDoc::kCmdImmediateWriting);
  EXPECT_TRUE(App().immediateWriting);
  const bool reading = App().automaticReading;
  doc_->OnModeCommand(CPelmDoc::kCmdAutomaticReading);
  EXPECT_NE(App().automaticReading.load(), reading);

  doc_->OnConverterMode(CPelmDoc::kCmdConverterSemiAuto);
  EXPECT_EQ(doc_->GetDevice()->ConverterMode(), 0);
  doc_->OnConverterMode(CPelmDoc::kCmdConverterAuto);
  EXPECT_EQ(doc_->GetDevice()->ConverterMode(), 1);
}

TEST_F(DocumentTest, TestModeQuitsAndInteractiveApplyOpensItsDialog) {
  exchange::BatchSettings batch;
  batch.runFlags = exchange::kRunBatch;
  batch.modeFlags = exchange::kModeTest;
  App().SetBatch(batch);
  doc_ = std::make_unique<CPelmDoc>(&views_, false);
  EXPECT_TRUE(doc_->quitFlag);
  EXPECT_FALSE(doc_->OnNewDocument());

  App().ClearBatch();
  doc_ = std::make_unique<CPelmDoc>(&views_, false);
  EXPECT_FALSE(doc_->quitFlag);
  views_.applyResult = false;
  doc_->OnApply();
  EXPECT_EQ(views_.applyDialogs, 1);
  EXPECT_EQ(views_.updates, 1);
}

// The main menu as the models change it: the items they added.
class ItemMenu : public BaseDevice::MainMenu {
 public:
  ItemMenu() { BaseDevice::SetMainMenu(this); }
  ~ItemMenu() override { BaseDevice::SetMainMenu(nullptr); }
  bool InsertItem(int, int, int command, const std::string&) override {
    items.insert(command);
    return true;
  }
  bool RemoveItem(int, int command) override { return items.erase(command) != 0; }
  bool HasItem(int, int command) override { return items.count(command) != 0; }
  void PostCommand(int) override {}
  std::set<int> items;
};

TEST_F(DocumentTest, AFailedTreeLoadLeavesNoModelOfTheOldTree) {
  ItemMenu menu;
  doc_ = std::make_unique<CPelmDoc>(&views_, false);
  const std::string file = Path("old.z580");
  // The tare-weight model adds its menu item; the mains model caches parameters of
  // the tree for its step texts.
  for (int model : {13, 20}) {
    App().modelIndex = model;
    App().SetProgramDirectory(BuiltProgramDirectory());
    ASSERT_TRUE(doc_->OnNewDocument());
    auto* device = dynamic_cast<BaseDevice::CBaseDevice*>(App().DeviceModel());
    ASSERT_NE(device, nullptr);
    device->AddModelMenuItems();
    if (auto* mains = dynamic_cast<BaseDevice::CDevicePW*>(device)) {
      std::string text;
      mains->GetCalibrationStepText(text, 1);
    }
    std::string error;
    ASSERT_TRUE(doc_->OnSaveDocument(file, error)) << error;

    // New and Open while zt580.dat cannot be read: the model goes with the tree.
    App().SetProgramDirectory(root_);
    prompter_.requests.clear();
    EXPECT_FALSE(doc_->OnNewDocument());
    EXPECT_EQ(App().DeviceModel(), nullptr) << model;
    EXPECT_EQ(model::CurrentDeviceModel(), nullptr);
    EXPECT_TRUE(menu.items.empty()) << model;
    ASSERT_FALSE(prompter_.requests.empty());
    EXPECT_EQ(prompter_.requests.back().text, LoadString(kStrTreeFileError));

    App().SetProgramDirectory(BuiltProgramDirectory());
    ASSERT_TRUE(doc_->OnNewDocument());
    ASSERT_NE(App().DeviceModel(), nullptr);
    App().SetProgramDirectory(root_);
    EXPECT_EQ(doc_->OnOpenDocument(file), DocumentLoad::NoTree);
    EXPECT_EQ(App().DeviceModel(), nullptr) << model;
    EXPECT_EQ(doc_->rootBranch, nullptr);
  }
}

TEST(AppStateTest, ExitCodeIsTheLowestResultBit) {
  EXPECT_EQ(exchange::ExitCodeForResultFlags(0), std::nullopt);
  EXPECT_EQ(exchange::ExitCodeForResultFlags(0x01), 200);
  EXPECT_EQ(exchange::ExitCodeForResultFlags(0x12), 201);
  EXPECT_EQ(exchange::ExitCodeForResultFlags(0x60), 205);
  EXPECT_EQ(exchange::ExitCodeForResultFlags(0x40), 206);
  EXPECT_EQ(exchange::ExitCodeForResultFlags(0x80), std::nullopt);
}

TEST(AppStateTest, ProgramModesStartAsTheMenuShowsThem) {
  // Automatic reading is the one mode that is on until the user switches it off.
  App().automaticReading = false;
  App().immediateWriting = true;
  App().Reset();
  EXPECT_TRUE(App().automaticReading);
  EXPECT_FALSE(App().immediateWriting);
  EXPECT_FALSE(App().showLinearIndexes);
  EXPECT_FALSE(App().noAttributeExchange);
}

TEST(AppStateTest, BatchSettingsDriveTheLinkFlags) {
  App().Reset();
  exchange::BatchSettings batch;
  batch.runFlags = exchange::kRunBatch | exchange::kRunRead;
  batch.modeFlags = exchange::kModeSilent;
  App().SetBatch(batch);
  EXPECT_TRUE(App().batchRun);
  EXPECT_TRUE(App().batchRead);
  EXPECT_TRUE(App().silent);
  App().ClearBatch();
  EXPECT_FALSE(App().batchRun);
  EXPECT_FALSE(App().batchRead);
  EXPECT_FALSE(App().silent);
  EXPECT_EQ(App().Batch().runFlags, 0u);
}

TEST(AppStateTest, PollResultsComeOutInOrderAndFlushFreesThem) {
  exchange::PollResultQueue queue;
  for (int i = 0; i < 3; ++i) {
    auto record = std::make_unique<exchange::PollResult>();
    record->index = i;
    queue.Push(std::move(record));
  }
  EXPECT_EQ(queue.PopFront()->index, 0);
  EXPECT_EQ(queue.PopFront()->index, 1);
  queue.Flush();
  EXPECT_EQ(queue.Size(), 0u);
  EXPECT_EQ(queue.PopFront(), nullptr);
}

TEST(AppStateTest, ProgramDirectoryDefaultsToTheExecutablesFolder) {
  App().Reset();
  const std::string directory = App().ProgramDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_EQ(directory.back(), '/');
  EXPECT_EQ(GetProgramDirectory("zt580.dat"), directory + "zt580.dat");
  App().SetProgramDirectory("/opt/z580");
  EXPECT_EQ(App().ProgramDirectory(), "/opt/z580/");
  App().Reset();
}

}  // namespace
