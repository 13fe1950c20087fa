// Configuration files through the document without a module: the saved layout,
// loading back into a fresh tree, the schemas, refused and cut files, another
// model's file, and the batch read's saving.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "app/DocumentFiles.h"
#include "link/ModelTable.h"
#include "link/ResultFlags.h"
#include "platform/Text.h"
#include "resources/StringTable.h"
#include "platform/Prompter.h"
#include "support/ReadFile.h"
#include "support/Unprivileged.h"

using resources::LoadString;

namespace {

constexpr int kSmallModel = 22;
constexpr int kOtherModel = 5;

class ConfigurationFileTest : public DocumentTestBase {
 protected:
  void SetUp() override {
    DocumentTestBase::SetUp();
    prompter_ = std::make_unique<platform::CollectingPrompter>();
  }
  void TearDown() override {
    doc_.reset();
    prompter_.reset();
    DocumentTestBase::TearDown();
  }

  // A document of the model with a fresh tree, not connected.
  void NewDocument(int model) {
    App().modelIndex = model;
    if (!doc_) doc_ = std::make_unique<CPelmDoc>(&views_, false);
    ASSERT_TRUE(doc_->OnNewDocument());
    ASSERT_NE(doc_->rootBranch, nullptr);
    prompter_->requests.clear();  // the port that does not exist
  }

  // A saved configuration of the small model with distinct values.
  std::vector<uint8_t> SavedConfiguration(std::vector<std::string>* snapshot = nullptr) {
    NewDocument(kSmallModel);
    if (HasFatalFailure()) return {};
    FillDistinct(*doc_->rootBranch);
    if (snapshot) *snapshot = Snapshot(*doc_->rootBranch);
    const std::string path = Path("saved.z580");
    EXPECT_TRUE(SaveDocumentFile(*doc_, path));
    return testsupport::ReadFile<std::vector<uint8_t>>(path);
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& r : prompter_->requests) texts.push_back(r.text);
    return texts;
  }

  FakeViews views_;
  std::unique_ptr<platform::CollectingPrompter> prompter_;
  std::unique_ptr<CPelmDoc> doc_;
};

// ---------------------------------------------------------------- an independent writer of the layout

struct LayoutWriter {
  std::vector<uint8_t> bytes;
  std::map<std::string, uint16_t> classes;

  void Byte(uint8_t v) { bytes.push_back(v); }
  void Word(uint16_t v) {
    Byte(static_cast<uint8_t>(v));
    Byte(static_cast<uint8_t>(v >> 8));
  }
  void Dword(uint32_t v) {
    Word(static_cast<uint16_t>(v));
    Word(static_cast<uint16_t>(v >> 16));
  }
  void Text(const std::string& utf8) {
    const std::string cp = platform::Utf8ToCp1251(utf8);
    EXPECT_LT(cp.size(), 255u);  // a small model's texts all take the one-byte length
    Byte(static_cast<uint8_t>(cp.size()));
    bytes.insert(bytes.end(), cp.begin(), cp.end());
  }
  void Tag(const std::string& name, uint16_t schema) {
    if (auto it = classes.find(name); it != classes.end()) {
      Word(static_cast<uint16_t>(0x8000 | it->second));
      return;
    }
    const uint16_t number = static_cast<uint16_t>(classes.size() + 1);
    classes[name] = number;
    Word(0xFFFF);
    Word(schema);
    Word(static_cast<uint16_t>(name.size()));
    bytes.insert(bytes.end(), name.begin(), name.end());
  }
  void ParameterRecord(const Parameter& p) {
    Tag("MyConverter", 3);
    Text(p.name);
    Text(p.value);
    Tag("Parameter", 1);
    Text(p.description);
    Byte(p.indexed);
    Dword(static_cast<uint32_t>(p.linearIndex));
    Dword(static_cast<uint32_t>(p.requestIndex));
    Byte(p.writable);
    Text(p.note);
    Byte(p.valueChanged);
    Byte(p.editableChanged);
    Byte(p.ownerChanged);
    Byte(p.editable);
    Byte(p.owner);
    Dword(static_cast<uint32_t>(p.mode));
  }
  void Branch(const DescBranch& b) {
    Tag("DescBranch", 3);
    Text(b.elementName);
    Dword(static_cast<uint32_t>(b.parameters.size()));
    for (const auto& p : b.parameters) {
      const uint32_t high = p->indexed ? (static_cast<uint32_t>(p->linearIndex) & 0xFFFF) : 0xFFFF;
      Dword(high << 16 | p->NameHash());
      ParameterRecord(*p);
    }
    Dword(static_cast<uint32_t>(b.repeatCount));
    Dword(static_cast<uint32_t>(b.instance));
    for (const auto& child : b.children) Branch(*child);
  }
};

TEST_F(ConfigurationFileTest, SavedFileHasTheArchiveLayout) {
  std::vector<uint8_t> saved;
  ASSERT_NO_FATAL_FAILURE(saved = SavedConfiguration());

  // The document's class record and the model byte are the same for every file of the model.
  const std::vector<uint8_t> head = {0xFF, 0xFF, 0x05, 0x00, 0x08, 0x00, 'C', 'P',
                                     'e',  'l',  'm',  'D',  'o',  'c',  kSmallModel};
  ASSERT_GT(saved.size(), head.size());
  EXPECT_EQ(std::vector<uint8_t>(saved.begin(), saved.begin() + 15), head);
  // The root's class record follows: the second class of the archive.
  const std::vector<uint8_t> rootTag = {0xFF, 0xFF, 0x03, 0x00, 0x0A, 0x00, 'D', 'e',
                                        's',  'c',  'B',  'r',  'a',  'n',  'c', 'h'};
  EXPECT_EQ(std::vector<uint8_t>(saved.begin() + 15, saved.begin() + 15 + 16), rootTag);

  LayoutWriter expected;
  expected.Tag("CPelmDoc", 5);
  expected.Byte(kSmallModel);
  expected.Branch(*doc_->rootBranch);
  ASSERT_EQ(saved.size(), expected.bytes.size());
  for (size_t i = 0; i < saved.size(); ++i) ASSERT_EQ(saved[i], expected.bytes[i]) << "offset " << i;
  // Two parameters at least, so that the reference tags were checked.
  EXPECT_GE(expected.classes.size(), 4u);
}

TEST_F(ConfigurationFileTest, FileLoadsBackIntoAFreshTree) {
  std::vector<std::string> stored;
  ASSERT_NO_FATAL_FAILURE(SavedConfiguration(&stored));
  const std::string path = Path("saved.z580");

  ASSERT_TRUE(doc_->OnNewDocument());
  EXPECT_NE(Snapshot(*doc_->rootBranch), stored);
  prompter_->requests.clear();
  const OpenOutcome outcome = OpenDocumentFile(*doc_, path);
  EXPECT_TRUE(outcome.opened);
  EXPECT_TRUE(outcome.becameDocument);
  EXPECT_TRUE(prompter_->requests.empty()) << Texts()[0];
  EXPECT_EQ(Snapshot(*doc_->rootBranch), stored);
  EXPECT_EQ(doc_->pathName, path);
  EXPECT_EQ(doc_->title, "saved.z580");
  EXPECT_FALSE(doc_->modified);
  EXPECT_EQ(App().modelIndex.load(), kSmallModel);
  EXPECT_NE(App().DeviceModel(), nullptr);
}

// The document's header for a schema, with the extra bytes of that schema.
std::vector<uint8_t> Header(uint16_t schema, std::vector<uint8_t> extra) {
  std::vector<uint8_t> h = {0xFF, 0xFF, static_cast<uint8_t>(schema), static_cast<uint8_t>(schema >> 8),
                            0x08, 0x00, 'C',  'P', 'e', 'l', 'm', 'D', 'o', 'c'};
  for (uint8_t b : extra) h.push_back(b);  // (insert() trips a false -Warray-bounds of GCC 12 at -O2)
  return h;
}

TEST_F(ConfigurationFileTest, OlderAndUnknownSchemas) {
  std::vector<std::string> stored;
  std::vector<uint8_t> saved;
  ASSERT_NO_FATAL_FAILURE(saved = SavedConfiguration(&stored));
  const std::vector<uint8_t> root(saved.begin() + 15, saved.end());
  ASSERT_TRUE(doc_->OnNewDocument());
  const std::vector<std::string> defaults = Values(*doc_->rootBranch);

  struct Case {
    uint16_t schema;
    std::vector<uint8_t> extra;
    int message;  // 0: loads
  };
  const Case cases[] = {
      {3, {}, 0}, {4, {1, 2, 3, 4}, 0}, {5, {kSmallModel}, 0}, {1, {}, 167},
      {0xFFFF, {}, 167}, {0, {}, 168}, {2, {}, 168}, {6, {kSmallModel}, 168},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.schema);
    std::vector<uint8_t> file = Header(c.schema, c.extra);
    file.insert(file.end(), root.begin(), root.end());
    const std::string path = Path("schema.z580");
    WriteBytes(path, file);
    doc_->pathName.clear();
    FirstParameter(*doc_->rootBranch).value = "прежнее";
    prompter_->requests.clear();

    const OpenOutcome outcome = OpenDocumentFile(*doc_, path);
    EXPECT_EQ(App().modelIndex.load(), kSmallModel);
    if (c.message == 0) {
      EXPECT_TRUE(prompter_->requests.empty());
      EXPECT_TRUE(outcome.becameDocument);
      EXPECT_EQ(doc_->pathName, path);
      EXPECT_EQ(Snapshot(*doc_->rootBranch), stored);
    } else {
      ASSERT_EQ(prompter_->requests.size(), 1u);
      EXPECT_EQ(prompter_->requests[0].text, LoadString(c.message));
      EXPECT_EQ(prompter_->requests[0].caption, LoadString(kStrOpenFileCaption));
      EXPECT_EQ(prompter_->requests[0].icon, platform::MessageIcon::Warning);
      // The content reset has run; the file did not become the document.
      EXPECT_FALSE(outcome.becameDocument);
      EXPECT_TRUE(doc_->pathName.empty());
      EXPECT_EQ(Values(*doc_->rootBranch), defaults);
    }
  }
}

TEST_F(ConfigurationFileTest, FailedLoadLeavesNoFileToSaveOver) {
  std::vector<uint8_t> saved;
  ASSERT_NO_FATAL_FAILURE(saved = SavedConfiguration());
  const std::string previous = Path("saved.z580");
  const std::vector<uint8_t> brokenTag = {0xFF, 0xFF, 0x03, 0x00, 0x03, 0x00, 'F', 'o', 'o', 0, 0, 0, 0};
  std::vector<uint8_t> broken = Header(5, {kSmallModel});
  broken.insert(broken.end(), brokenTag.begin(), brokenTag.end());
  for (const std::vector<uint8_t>& file : {Header(1, {}), Header(6, {kSmallModel}), broken}) {
    ASSERT_TRUE(OpenDocumentFile(*doc_, previous).becameDocument);
    ASSERT_EQ(doc_->pathName, previous);
    const std::string path = Path("bad.z580");
    WriteBytes(path, file);
    prompter_->requests.clear();
    EXPECT_FALSE(OpenDocumentFile(*doc_, path).becameDocument);
    EXPECT_EQ(prompter_->requests.size(), 1u);
    // The tree no longer holds the previous file's values: saving must not write
    // them back under its name.
    EXPECT_TRUE(doc_->pathName.empty());
    EXPECT_TRUE(doc_->title.empty());
  }
  EXPECT_EQ(testsupport::ReadFile<std::vector<uint8_t>>(previous), saved);
}

TEST_F(ConfigurationFileTest, ModelByteOutsideTheTableChangesNothing) {
  std::vector<uint8_t> saved;
  ASSERT_NO_FATAL_FAILURE(saved = SavedConfiguration());
  for (uint8_t model : {uint8_t{23}, uint8_t{0x7F}, uint8_t{0x80}, uint8_t{0xFF}}) {
    SCOPED_TRACE(int{model});
    std::vector<uint8_t> file = saved;
    file[14] = model;
    const std::string path = Path("bad-model.z580");
    WriteBytes(path, file);
    doc_->pathName = "/previous.z580";
    FirstParameter(*doc_->rootBranch).value = "прежнее";
    prompter_->requests.clear();

    const OpenOutcome outcome = OpenDocumentFile(*doc_, path);
    EXPECT_FALSE(outcome.opened);
    ASSERT_EQ(prompter_->requests.size(), 1u);
    EXPECT_EQ(prompter_->requests[0].text, LoadString(kStrDamagedData));
    EXPECT_EQ(FirstParameter(*doc_->rootBranch).value, "прежнее");
    EXPECT_EQ(doc_->pathName, "/previous.z580");
    EXPECT_EQ(App().modelIndex.load(), kSmallModel);

    // Loaded past the check, the document refuses it as well.
    prompter_->requests.clear();
    EXPECT_EQ(doc_->OnOpenDocument(path), DocumentLoad::Refused);
    ASSERT_EQ(prompter_->requests.size(), 1u);
    EXPECT_EQ(prompter_->requests[0].text, LoadString(kStrDamagedData));
    EXPECT_EQ(App().modelIndex.load(), kSmallModel);
    EXPECT_EQ(FirstParameter(*doc_->rootBranch).value, "прежнее");
  }
}

TEST_F(ConfigurationFileTest, FileEndingAfterTheModelByteGivesAFreshTreeOfThatModel) {
  App().modelIndex = -1;
  doc_ = std::make_unique<CPelmDoc>(&views_, false);
  const std::string path = Path("header.z580");
  WriteBytes(path, Header(5, {kOtherModel}));
  prompter_->requests.clear();

  const OpenOutcome outcome = OpenDocumentFile(*doc_, path);
  EXPECT_TRUE(prompter_->requests.empty());
  EXPECT_TRUE(outcome.becameDocument);
  EXPECT_EQ(App().modelIndex.load(), kOtherModel);
  ASSERT_NE(doc_->rootBranch, nullptr);
  const std::vector<std::string> loaded = Snapshot(*doc_->rootBranch);

  ASSERT_TRUE(doc_->OnNewDocument());
  EXPECT_EQ(Snapshot(*doc_->rootBranch), loaded);
}

TEST_F(ConfigurationFileTest, FileCutAtEveryOffset) {
  std::vector<std::string> stored;
  std::vector<uint8_t> saved;
  ASSERT_NO_FATAL_FAILURE(saved = SavedConfiguration(&stored));
  const std::string path = Path("cut.z580");
  for (size_t size = 0; size < saved.size(); ++size) {
    SCOPED_TRACE(size);
    WriteBytes(path, std::vector<uint8_t>(saved.begin(), saved.begin() + static_cast<long>(size)));
    prompter_->requests.clear();
    const OpenOutcome outcome = OpenDocumentFile(*doc_, path);
    if (size < 15) {
      // Not even the header: the file is reported as unreadable and left alone.
      EXPECT_FALSE(outcome.opened);
      ASSERT_EQ(prompter_->requests.size(), 1u);
      EXPECT_EQ(prompter_->requests[0].text, LoadString(kStrReadError));
    } else {
      // A premature end loads as far as it goes, without a message.
      EXPECT_TRUE(outcome.opened);
      ASSERT_TRUE(prompter_->requests.empty()) << Texts()[0];
      ASSERT_NE(doc_->rootBranch, nullptr);
    }
  }
  WriteBytes(path, saved);
  EXPECT_TRUE(OpenDocumentFile(*doc_, path).becameDocument);
  EXPECT_EQ(Snapshot(*doc_->rootBranch), stored);
}

TEST_F(ConfigurationFileTest, SilentBatchRunRebuildsTheTreeAfterAFailedLoad) {
  std::vector<uint8_t> saved;
  ASSERT_NO_FATAL_FAILURE(saved = SavedConfiguration());
  ASSERT_TRUE(doc_->OnNewDocument());
  const std::vector<std::string> defaults = Snapshot(*doc_->rootBranch);
  exchange::BatchSettings batch;
  batch.runFlags = exchange::kRunBatch;
  batch.modeFlags = exchange::kModeSilent;
  App().SetBatch(batch);
  const std::string path = Path("cut.z580");
  WriteBytes(path, std::vector<uint8_t>(saved.begin(), saved.begin() + static_cast<long>(saved.size() / 2)));
  OpenDocumentFile(*doc_, path);
  EXPECT_EQ(Snapshot(*doc_->rootBranch), defaults);
}

TEST_F(ConfigurationFileTest, ForeignAndMalformedFiles) {
  std::vector<uint8_t> saved;
  ASSERT_NO_FATAL_FAILURE(saved = SavedConfiguration());
  const std::string path = Path("foreign.z580");

  // Another class: the check before opening cannot read it.
  std::vector<uint8_t> foreign = saved;
  foreign[6] = 'X';
  WriteBytes(path, foreign);
  prompter_->requests.clear();
  EXPECT_FALSE(OpenDocumentFile(*doc_, path).opened);
  ASSERT_EQ(prompter_->requests.size(), 1u);
  EXPECT_EQ(prompter_->requests[0].text, LoadString(kStrReadError));

  // A record of another class inside the tree: message 169, not the document.
  std::vector<uint8_t> broken = Header(5, {kSmallModel});
  const std::vector<uint8_t> fooTag = {0xFF, 0xFF, 0x03, 0x00, 0x03, 0x00, 'F', 'o', 'o', 0, 0, 0, 0};
  broken.insert(broken.end(), fooTag.begin(), fooTag.end());
  WriteBytes(path, broken);
  doc_->pathName.clear();
  prompter_->requests.clear();
  const OpenOutcome outcome = OpenDocumentFile(*doc_, path);
  EXPECT_TRUE(outcome.opened);
  EXPECT_FALSE(outcome.becameDocument);
  EXPECT_TRUE(doc_->pathName.empty());
  ASSERT_EQ(prompter_->requests.size(), 1u);
  EXPECT_EQ(prompter_->requests[0].text, LoadString(kStrBadFormat));

  // A missing file.
  prompter_->requests.clear();
  EXPECT_FALSE(OpenDocumentFile(*doc_, Path("missing.z580")).opened);
  ASSERT_EQ(prompter_->requests.size(), 1u);
  EXPECT_EQ(prompter_->requests[0].text, LoadString(kStrReadError));
}

TEST_F(ConfigurationFileTest, FileOfAnotherModelAsksFirst) {
  std::vector<std::string> stored;
  ASSERT_NO_FATAL_FAILURE(SavedConfiguration(&stored));
  const std::string path = Path("saved.z580");
  ASSERT_NO_FATAL_FAILURE(NewDocument(kOtherModel));
  const std::string otherRoot = doc_->rootBranch->elementName;
  const std::vector<std::string> otherValues = Snapshot(*doc_->rootBranch);

  prompter_->answer = platform::kAnswerNo;
  EXPECT_FALSE(OpenDocumentFile(*doc_, path).opened);
  ASSERT_EQ(prompter_->requests.size(), 1u);
  const platform::MessageRequest& question = prompter_->requests[0];
  EXPECT_EQ(question.buttons, platform::MessageButtons::YesNo);
  EXPECT_EQ(question.icon, platform::MessageIcon::Information);
  EXPECT_NE(question.text.find("\"" + exchange::ModelDisplayName(kSmallModel) + "\""), std::string::npos);
  EXPECT_NE(question.text.find("\"" + exchange::ModelDisplayName(kOtherModel) + "\""), std::string::npos);
  EXPECT_EQ(App().modelIndex.load(), kOtherModel);
  EXPECT_EQ(doc_->rootBranch->elementName, otherRoot);
  EXPECT_EQ(Snapshot(*doc_->rootBranch), otherValues);

  prompter_->answer = platform::kAnswerYes;
  prompter_->requests.clear();
  EXPECT_TRUE(OpenDocumentFile(*doc_, path).becameDocument);
  EXPECT_EQ(prompter_->requests.size(), 1u);
  EXPECT_EQ(App().modelIndex.load(), kSmallModel);
  EXPECT_EQ(Snapshot(*doc_->rootBranch), stored);
}

TEST_F(ConfigurationFileTest, FailedSavesKeepTheOldFileAndReport) {
  ASSERT_NO_FATAL_FAILURE(NewDocument(kSmallModel));
  const std::string missingFolder = Path("no-such-folder/read.z580");

  EXPECT_FALSE(SaveToCommandLineFile(*doc_, missingFolder));
  EXPECT_EQ(App().resultFlags.load() & exchange::kResultMissingConfigFile, exchange::kResultMissingConfigFile);
  EXPECT_EQ(App().ExitCode(), 200);
  EXPECT_TRUE(doc_->pathName.empty());

  prompter_->requests.clear();
  EXPECT_FALSE(SaveDocumentFile(*doc_, missingFolder));
  ASSERT_EQ(prompter_->requests.size(), 1u);
  EXPECT_EQ(prompter_->requests[0].icon, platform::MessageIcon::Error);

  // A successful batch save makes the file the document's path.
  App().resultFlags = 0;
  const std::string path = Path("read.z580");
  WriteBytes(path, {'o', 'l', 'd'});
  EXPECT_TRUE(SaveToCommandLineFile(*doc_, path));
  EXPECT_EQ(App().resultFlags.load(), 0u);
  EXPECT_EQ(doc_->pathName, path);
  EXPECT_GT(testsupport::ReadFile<std::vector<uint8_t>>(path).size(), 15u);
  EXPECT_EQ(testsupport::ReadFile<std::vector<uint8_t>>(path)[14], kSmallModel);
}

TEST_F(ConfigurationFileTest, SavesRefuseAFileTheUserMayNotWrite) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the saves as user 65534";
  ASSERT_NO_FATAL_FAILURE(NewDocument(kSmallModel));
  // The user's own folder and a file that the user protected.
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("z580-protected-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  ASSERT_EQ(::chown(folder.c_str(), kUnprivilegedId, kUnprivilegedId), 0);
  const std::string path = (folder / "kept.z580").string();
  WriteBytes(path, {'o', 'l', 'd'});
  ASSERT_EQ(::chown(path.c_str(), kUnprivilegedId, kUnprivilegedId), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);

  App().resultFlags = 0;
  const std::optional<std::string> report = RunUnprivileged([&] {
    std::string out;
    out += SaveToCommandLineFile(*doc_, path) ? "saved " : "refused ";
    out += std::to_string(App().resultFlags.load()) + "\n";
    prompter_->requests.clear();
    out += SaveDocumentFile(*doc_, path) ? "saved" : "refused";
    for (const auto& r : prompter_->requests) out += "\n" + r.text;
    return out;
  });
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->rfind("refused 1\nrefused\n", 0), 0u) << *report;
  EXPECT_NE(report->find("kept.z580"), std::string::npos) << *report;
  EXPECT_NE(report->find("нет прав доступа"), std::string::npos) << *report;
  // The message is Russian throughout: no Latin letters but the file's path.
  std::string words = report->substr(report->find("\n", report->find("refused\n")));
  for (size_t at; (at = words.find(path)) != std::string::npos;) words.erase(at, path.size());
  for (char ch : words) EXPECT_FALSE(std::isalpha(static_cast<unsigned char>(ch))) << words;
  EXPECT_EQ(testsupport::ReadFile<std::vector<uint8_t>>(path), (std::vector<uint8_t>{'o', 'l', 'd'}));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
  std::filesystem::remove_all(folder);
}

}  // namespace
