// The document follows a model change of the link check (379) and of the
// connection-setup dialog (32819): the new model's tree replaces the old one,
// after the offer to save a modified document, and never under the old file name.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "DocumentTestSupport.h"
#include "Simulator.h"
#include "link/Device.h"
#include "platform/Archive.h"
#include "platform/Prompter.h"
#include "support/ReadFile.h"
#include "support/SimModule.h"

namespace {

class DocumentModelChangeTest : public DocumentTestBase {
 protected:
  void TearDown() override {
    doc_.reset();
    if (sim_) sim_->Stop();
    DocumentTestBase::TearDown();
  }

  void StartModule(int model) { ASSERT_NO_FATAL_FAILURE(testsupport::StartModuleForProgram(sim_, model)); }

  // The current tree's parameter names, joined.
  std::string TreeNames() {
    std::string names;
    ForEachParameter(*doc_->rootBranch, [&](Parameter& p) { names += p.name + ","; });
    return names;
  }

  FakeViews views_;
  platform::CollectingPrompter prompter_;
  std::unique_ptr<z580sim::Simulator> sim_;
  std::unique_ptr<CPelmDoc> doc_;
};

TEST_F(DocumentModelChangeTest, PortSetupAndLinkCheckRebuildTheTreeForAnotherModel) {
  ASSERT_NO_FATAL_FAILURE(StartModule(5));
  doc_ = std::make_unique<CPelmDoc>(&views_, true);
  ASSERT_TRUE(doc_->OnNewDocument());
  ASSERT_EQ(App().modelIndex.load(), 5);
  const std::string model5 = TreeNames();

  // The dialog changes nothing: the tree stays.
  DescBranch* root = doc_->rootBranch;
  doc_->OnPortSetup();
  EXPECT_EQ(views_.setupDialogs, 1);
  EXPECT_EQ(doc_->rootBranch, root);

  // An offline choice of another model, over a modified document with a file.
  doc_->SetPathName(Path("old.z580"));
  doc_->modified = true;
  views_.setupPicksModel = 12;
  views_.saveOfferPath = Path("saved.z580");
  doc_->OnPortSetup();
  EXPECT_EQ(views_.saveOffers, 1);
  // Saved at the offer, the file is the old model's, as its tree is.
  ASSERT_TRUE(views_.saved);
  const std::vector<uint8_t> bytes = testsupport::ReadFile<std::vector<uint8_t>>(Path("saved.z580"));
  platform::Archive archive = platform::Archive::Loading(bytes);
  ASSERT_EQ(archive.ReadClassTag(CPelmDoc::kClassName), CPelmDoc::kSchema);
  EXPECT_EQ(archive.ReadByte(), 5);
  EXPECT_EQ(App().modelIndex.load(), 12);
  ASSERT_NE(doc_->rootBranch, nullptr);
  EXPECT_NE(TreeNames(), model5);
  EXPECT_EQ(doc_->pathName, "");
  EXPECT_FALSE(doc_->modified);
  EXPECT_GT(views_.updates, 0);

  // The link check finds the module of model 5 again: its tree comes back,
  // without an offer for a document that was not modified.
  doc_->OnCheckLink();
  EXPECT_EQ(App().modelIndex.load(), 5);
  EXPECT_EQ(TreeNames(), model5);
  EXPECT_EQ(views_.saveOffers, 1);
}

}  // namespace
