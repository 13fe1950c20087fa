// The description language: tokens, comments, version directives, every command
// and every message, the limits that protect against damaged texts, and the 23
// model descriptions that come with the program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/CPelmDoc.h"
#include "platform/CFormat.h"
#include "platform/Prompter.h"
#include "support/ReadFile.h"

namespace {

using platform::MessageIcon;

// Parses the lines in order; the index of the first failing line, or -1.
int Parse(CPelmDoc& doc, const std::vector<std::string>& lines, bool& skip) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (!doc.ParseDescriptionLine(lines[i], skip)) return static_cast<int>(i);
  return -1;
}

int Parse(CPelmDoc& doc, const std::vector<std::string>& lines) {
  bool skip = false;
  return Parse(doc, lines, skip);
}

std::vector<std::string> DescriptionNames(const CPelmDoc& doc) {
  std::vector<std::string> names;
  for (const auto& d : doc.descParameters) names.push_back(d.name);
  return names;
}

TEST(DescriptionParser, TokensCommentsAndIgnoredLines) {
  platform::CollectingPrompter prompter;
  CPelmDoc doc;
  EXPECT_EQ(Parse(doc, {"", "  \t ", "; parameter x int X", "' anything", "\t parameter \t a  int\tA_b  ",
                        "unknownword", ";"}),
            -1);
  EXPECT_EQ(DescriptionNames(doc), std::vector<std::string>{"a"});
  EXPECT_EQ(doc.descParameters[0].caption, "A_b");
  EXPECT_TRUE(prompter.requests.empty());

  // A first token that only begins with a comment mark is an unknown command.
  EXPECT_EQ(Parse(doc, {";x parameter"}), 0);
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_EQ(prompter.requests[0].text, "Непонятная команда в описателе ';x parameter'");
  EXPECT_EQ(prompter.requests[0].caption, "Ошибка в описателе");
  EXPECT_EQ(prompter.requests[0].icon, MessageIcon::Error);
  EXPECT_FALSE(prompter.requests[0].ownedByMainWindow);
  // Keywords ignore case.
  EXPECT_EQ(Parse(doc, {"PARAMETER b INT B", "Type t x", "CONST c 1"}), -1);
  EXPECT_EQ(doc.descParameters.size(), 2u);
}

TEST(DescriptionParser, ParameterLineFields) {
  platform::CollectingPrompter prompter;
  CPelmDoc doc;
  ASSERT_EQ(Parse(doc, {"type T 50_Гц 60_Гц", "type T2", "parameter a T Cap", "parameter b t2 Cap noattr",
                        "parameter c int Cap table2+ 4", "parameter d int Cap table2+", "parameter e int Cap TABLE5* 7",
                        "parameter f int Cap table6 3", "parameter @g int Cap NOATTR 5", "type T x", "parameter h T C"}),
            -1);
  const auto& d = doc.descParameters;
  ASSERT_EQ(d.size(), 8u);
  EXPECT_EQ(d[0].type, "50 Гц:60 Гц");
  EXPECT_EQ(d[0].attribute, 1);
  EXPECT_EQ(d[1].type, "");
  EXPECT_EQ(d[1].attribute, 0);
  EXPECT_EQ(d[2].table, 2);
  EXPECT_EQ(d[2].mode, 1);
  EXPECT_EQ(d[2].number, 4);
  EXPECT_EQ(d[3].table, 0);
  EXPECT_EQ(d[3].mode, 0);
  EXPECT_EQ(d[3].number, 0);
  EXPECT_EQ(d[4].table, 5);
  EXPECT_EQ(d[4].mode, 2);
  EXPECT_EQ(d[4].number, 7);
  EXPECT_EQ(d[5].table, 0);
  EXPECT_EQ(d[5].number, 3);
  EXPECT_EQ(d[6].name, "g");
  EXPECT_EQ(d[6].attribute, 0);
  // A redefined type counts for later lines only.
  EXPECT_EQ(d[7].type, "x");
  EXPECT_EQ(d[0].type, "50 Гц:60 Гц");
  // Too few tokens stop the load without a message.
  EXPECT_EQ(Parse(doc, {"parameter x int"}), 0);
  EXPECT_TRUE(prompter.requests.empty());
}

TEST(DescriptionParser, RuleInitAndTheirMessages) {
  platform::CollectingPrompter prompter;
  CPelmDoc doc;
  ASSERT_EQ(Parse(doc, {"parameter a int A", "parameter A int Second", "rule a -1.5 2e2", "init A 50_Гц"}), -1);
  EXPECT_EQ(doc.descParameters[0].lower, -1.5);
  EXPECT_EQ(doc.descParameters[0].upper, 200);
  EXPECT_EQ(doc.descParameters[0].initialValue, "50 Гц");
  EXPECT_EQ(doc.descParameters[1].upper, 0);

  EXPECT_EQ(Parse(doc, {"rule zz 1 2"}), 0);
  EXPECT_EQ(Parse(doc, {"init zz 1"}), 0);
  ASSERT_EQ(prompter.requests.size(), 2u);
  EXPECT_EQ(prompter.requests[0].text, "Параметр 'zz' не определен.");
  EXPECT_EQ(prompter.requests[0].caption, "Ошибка описателя");
  EXPECT_EQ(prompter.requests[0].icon, MessageIcon::Warning);
  EXPECT_TRUE(prompter.requests[0].ownedByMainWindow);
  EXPECT_EQ(prompter.requests[1].text, "Параметр 'zz' не определен.");
  EXPECT_EQ(prompter.requests[1].caption, "Ошибка в описателе");
  EXPECT_EQ(prompter.requests[1].icon, MessageIcon::Warning);
  // A known name with too few tokens fails without a message.
  EXPECT_EQ(Parse(doc, {"rule a 1"}), 0);
  EXPECT_EQ(Parse(doc, {"init a"}), 0);
  EXPECT_EQ(prompter.requests.size(), 2u);
}

TEST(DescriptionParser, ConstantsAndCountsFromConstants) {
  platform::CollectingPrompter prompter;
  CPelmDoc doc;
  ASSERT_EQ(Parse(doc, {"const N 3.9", "const Zero 0", "parameter a int A", "branch B N 1 1 a", "branch C Zero 1 1 a",
                        "branch D Unknown 1 1 a", "branch E -2 1 1 a", "branch F 0"}),
            -1);
  ASSERT_EQ(doc.branchList.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(doc.branchList[i]->instance, i + 1);
    EXPECT_EQ(doc.branchList[i]->repeatCount, 3);
  }
  double v = 0;
  EXPECT_TRUE(doc.FindConst("n", v));
  EXPECT_EQ(v, 3.9);
  EXPECT_FALSE(doc.FindConst("M", v));

  EXPECT_FALSE(doc.AddDescConst("n", "1"));
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_EQ(prompter.requests[0].text, "Константа 'n' уже определена!");
  EXPECT_EQ(prompter.requests[0].caption, "Ошибка в описателе");
  EXPECT_EQ(prompter.requests[0].icon, MessageIcon::Error);
  EXPECT_TRUE(prompter.requests[0].ownedByMainWindow);
  EXPECT_EQ(Parse(doc, {"const q"}), 0);
  EXPECT_EQ(Parse(doc, {"branch"}), -1);  // a command word alone is ignored
  EXPECT_EQ(Parse(doc, {"branch F"}), 0);
}

TEST(DescriptionParser, VersionDirectives) {
  platform::CollectingPrompter prompter;
  struct Case {
    int major, minor;
    const char* line;
    bool taken;
  };
  const Case cases[] = {
      {2, 9, "#if ver < 2.10", true},  {2, 10, "#if ver < 2.10", false}, {2, 11, "#if ver > 2.10", true},
      {2, 10, "#if ver > 2.10", false}, {2, 10, "#if ver <= 2.10", true}, {3, 0, "#if ver <= 2.10", false},
      {2, 10, "#if ver >= 2.10", true}, {2, 9, "#if ver >= 2.10", false}, {1, 0, "#if ver >= 1", true},
      {1, 99, "#if ver >= 1", true},    {0, 99, "#if ver >= 1", false},   {2, 16, "#if ver >= 2.0x10", true},
      {2, 8, "#if ver < 2.010", false}, {2, 7, "#if ver < 2.010", true},  {2, 0, "#if ver == 9.9", true},
      {2, 0, "#if ver < ..3..4", true}, {2, 0, "#if VER < 1.0", true},    {-1, -1, "#if ver >= 0.0", false},
      {-1, 5, "#if ver < 9.0", true},
  };
  for (const Case& c : cases) {
    CPelmDoc doc;
    doc.versionMajor = c.major;
    doc.versionMinor = c.minor;
    ASSERT_EQ(Parse(doc, {c.line, "parameter in int A", "#else", "parameter out int A", "#endif",
                          "parameter after int A"}),
              -1)
        << c.line;
    const std::vector<std::string> expected =
        c.taken ? std::vector<std::string>{"in", "after"} : std::vector<std::string>{"out", "after"};
    EXPECT_EQ(DescriptionNames(doc), expected) << c.line << " with " << c.major << "." << c.minor;
  }
  EXPECT_TRUE(prompter.requests.empty());
}

TEST(DescriptionParser, DirectivesHaveNoNesting) {
  CPelmDoc doc;
  doc.versionMajor = 1;
  doc.versionMinor = 0;
  bool skip = false;
  // "#else" toggles outside a block, an "#if" inside a skipped block is ignored, and
  // the first "#endif" ends everything.
  ASSERT_EQ(Parse(doc,
                  {"#else", "parameter a int A", "#ELSE", "parameter b int B", "#if ver > 5.0", "#if ver < 5.0",
                   "parameter c int C", "#endif", "parameter d int D", "#if ver > 5.0", "#else", "parameter e int E",
                   "#else", "parameter f int F", "#Endif", "#if version 9", "parameter g int G"},
                  skip),
            -1);
  EXPECT_EQ(DescriptionNames(doc), (std::vector<std::string>{"b", "d", "e", "g"}));
  EXPECT_FALSE(skip);
  // An operator without a version stops the load.
  EXPECT_EQ(Parse(doc, {"#if ver <"}), 0);
}

TEST(DescriptionParser, BranchesMembersAndMessages) {
  platform::CollectingPrompter prompter;
  CPelmDoc doc;
  ASSERT_EQ(Parse(doc, {"parameter a int A", "parameter b int B", "parameter a int Again", "branch Inner 2 5 6 b",
                        "branch Outer 1 1 2 a inner b", "root Root 1 0 0 outer"}),
            -1);
  ASSERT_EQ(doc.branchList.size(), 4u);
  DescBranch* outer = doc.branchList[2];
  EXPECT_EQ(outer->descriptions.size(), 3u);  // both "a" descriptions, then "b"
  EXPECT_EQ(outer->children.size(), 2u);      // both instances of "Inner"
  EXPECT_EQ(outer->memberOrder, (std::vector<bool>{false, false, true, true, false}));
  EXPECT_EQ(outer->children[1]->instance, 2);
  EXPECT_EQ(outer->children[1]->image, 5);
  EXPECT_EQ(outer->children[1]->selectedImage, 6);
  ASSERT_NE(doc.rootBranch, nullptr);
  EXPECT_EQ(doc.rootBranch, doc.branchList[3]);
  EXPECT_NE(doc.rootBranch->children[0].get(), outer);

  EXPECT_EQ(Parse(doc, {"branch X 1 1 1 a what"}), 0);
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_EQ(prompter.requests[0].text, "Что такое 'what', не ясно!");
  EXPECT_EQ(prompter.requests[0].caption, "Ошибка в описателе");
  EXPECT_EQ(prompter.requests[0].icon, MessageIcon::Error);
  EXPECT_TRUE(prompter.requests[0].ownedByMainWindow);
  EXPECT_EQ(doc.branchList.size(), 4u);
  // An instance needs its two image tokens.
  EXPECT_EQ(Parse(doc, {"branch Y 1 1"}), 0);
}

TEST(DescriptionParser, FailedBranchLinesLeaveNoDanglingPointers) {
  platform::CollectingPrompter prompter;
  auto doc = std::make_unique<CPelmDoc>();
  // The root is made, then its line fails: the pointer must stay valid until the
  // document goes.
  ASSERT_EQ(Parse(*doc, {"parameter a int A", "root R 2 0 0 a missing"}), 1);
  ASSERT_NE(doc->rootBranch, nullptr);
  EXPECT_TRUE(doc->branchList.empty());
  doc->rootBranch->BuildParameters(*doc, false, 0);
  EXPECT_EQ(doc->rootBranch->parameters.size(), 1u);
  EXPECT_EQ(Parse(*doc, {"scanners S 1 0 0 missing"}), 0);
  EXPECT_EQ(Parse(*doc, {"branch network_PARAMETRES 1 0 0 a nope"}), 0);
  ASSERT_NE(doc->scannersBranch, nullptr);
  ASSERT_NE(doc->networkBranch, nullptr);
  EXPECT_EQ(doc->networkBranch->elementName, "network_PARAMETRES");
  doc->ReleaseParseLists();
  // Root kept; the network branch lies outside the tree and is dropped, not left dangling.
  EXPECT_EQ(doc->rootBranch->parameters.size(), 1u);
  EXPECT_EQ(doc->networkBranch, nullptr);
  doc.reset();  // no leak, no double delete (the sanitizers watch)
}

TEST(DescriptionParser, NetworkBranchLeadsIntoTheFinishedTree) {
  const std::string prologue = "parameter Addr int Адрес";
  auto check = [&](const std::vector<std::string>& lines, const std::string& label) {
    platform::CollectingPrompter prompter;
    CPelmDoc doc;
    std::vector<std::string> all{prologue};
    all.insert(all.end(), lines.begin(), lines.end());
    ASSERT_EQ(Parse(doc, all), -1) << label;
    ASSERT_NE(doc.rootBranch, nullptr);
    doc.rootBranch->BuildParameters(doc, false, 0);
    doc.ReleaseParseLists();
    ASSERT_NE(doc.networkBranch, nullptr) << label;
    EXPECT_TRUE(doc.IsInTree(doc.networkBranch)) << label;
    ASSERT_EQ(doc.networkBranch->parameters.size(), 1u) << label;
    EXPECT_EQ(doc.rootBranch->FindParameterAt("Addr", 0), doc.networkBranch->parameters[0].get()) << label;
    EXPECT_TRUE(prompter.requests.empty());
  };
  ASSERT_NO_FATAL_FAILURE(check({"branch Сетевые_параметры 1 4 4 Addr", "root R 1 0 0 сетевые_параметры"}, "a direct member of root"));
  ASSERT_NO_FATAL_FAILURE(check({"branch Network_parametres 1 4 4 Addr", "branch Связь 1 1 1 network_parametres",
                                 "branch Прибор 1 1 1 Связь", "root R 1 0 0 Прибор"},
                                "two levels down"));
  // The holder is copied again after the root, outside the tree.
  ASSERT_NO_FATAL_FAILURE(check({"branch Сетевые_параметры 1 4 4 Addr", "branch Связь 1 1 1 Сетевые_параметры",
                                 "root R 1 0 0 Связь", "branch Лишняя 1 1 1 Связь"},
                                "copied again after the root"));
  // Only the scanners branch holds it.
  {
    platform::CollectingPrompter prompter;
    CPelmDoc doc;
    ASSERT_EQ(Parse(doc, {prologue, "parameter x int X", "branch Сетевые_параметры 1 4 4 Addr", "root R 1 0 0 x",
                          "scanners S 1 0 0 Сетевые_параметры"}),
              -1);
    doc.ReleaseParseLists();
    ASSERT_NE(doc.networkBranch, nullptr);
    EXPECT_TRUE(doc.scannersBranch->Contains(doc.networkBranch));
  }
}

TEST(DescriptionParser, AbsurdCountsFailInsteadOfExhaustingMemory) {
  platform::CollectingPrompter prompter;
  CPelmDoc doc;
  // The instances made before the limit of copies stay, like those of any failed line.
  EXPECT_EQ(Parse(doc, {"parameter a int A", "branch X 100000000 1 1 a a a a a a a a a a"}), 1);
  EXPECT_EQ(doc.branchList.size(), static_cast<size_t>(CPelmDoc::kMaxParseCopies / 10));
  // Branches without members count as branch objects.
  EXPECT_EQ(Parse(doc, {"branch Empty 100000000 1 1"}), 0);
  EXPECT_EQ(doc.branchList.size(), static_cast<size_t>(CPelmDoc::kMaxParseCopies));
  EXPECT_TRUE(prompter.requests.empty());

  // Growth by copies: each level holds ten of the one below; a level of a whole
  // tree's size passes the bound of copies.
  CPelmDoc copies;
  ASSERT_EQ(Parse(copies, {"parameter a int A", "branch L0 10 1 1 a a a a a a a a a a", "branch L1 10 1 1 L0",
                           "branch L2 10 1 1 L1"}),
            -1);
  EXPECT_EQ(Parse(copies, {"branch L3 10 1 1 L2"}), 0);
  EXPECT_EQ(copies.branchList.size(), 30u);
  // A branch that names itself holds copies of every earlier branch of that name,
  // its own earlier instances too, which doubles at every instance.
  CPelmDoc self;
  EXPECT_EQ(Parse(self, {"parameter a int A", "branch S 1 1 1 a", "branch S 3 1 1 a S"}), -1);
  ASSERT_EQ(self.branchList.size(), 4u);
  EXPECT_EQ(self.branchList[1]->children.size(), 1u);
  EXPECT_EQ(self.branchList[3]->children.size(), 3u);
  EXPECT_EQ(self.branchList[3]->CountDescriptions(), 8);
  EXPECT_EQ(Parse(self, {"branch S 1000 1 1 a S"}), 0);
  EXPECT_TRUE(prompter.requests.empty());
  EXPECT_EQ(Parse(self, {"branch U 1 1 1 U"}), 0);
  EXPECT_EQ(prompter.requests.size(), 1u);
  // Just below the limit is fine.
  CPelmDoc fits;
  EXPECT_EQ(Parse(fits, {"parameter a int A", "branch X 5000 1 1 a a"}), -1);
  EXPECT_EQ(fits.branchList.size(), 5000u);
  // Definitions are bounded as well: the one past the bound fails its line, each kind.
  for (const char* kind : {"parameter p%d int P", "type t%d a b", "const c%d 1"}) {
    SCOPED_TRACE(kind);
    CPelmDoc many;
    std::vector<std::string> lines;
    for (long long i = 0; i <= CPelmDoc::kMaxParseCopies; ++i) lines.push_back(platform::Format(kind, static_cast<int>(i)));
    EXPECT_EQ(Parse(many, lines), static_cast<int>(CPelmDoc::kMaxParseCopies));
  }
  // Names are found whatever their case, the first description and the last type of a name.
  CPelmDoc names;
  EXPECT_EQ(Parse(names, {"type T a b", "type t c d", "const Четыре 4", "parameter x T X", "parameter X int Y",
                          "rule x 1 2", "branch B четыре 1 1 x"}),
            -1);
  ASSERT_EQ(names.descParameters.size(), 2u);
  EXPECT_EQ(names.descParameters[0].type, "c:d");
  EXPECT_EQ(names.descParameters[0].upper, 2);
  EXPECT_EQ(names.descParameters[1].upper, 0);
  ASSERT_EQ(names.branchList.size(), 4u);
  EXPECT_EQ(names.branchList[3]->descriptions.size(), 2u);
  EXPECT_EQ(Parse(names, {"const ЧЕТЫРЕ 5"}), 0);
}

TEST(DescriptionParser, EveryModelDescriptionParsesAndBuilds) {
  const char* source = std::getenv("Z580_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  const std::filesystem::path dir = std::filesystem::path(source) / "data" / "descriptions";
  int texts = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".tree") continue;
    ++texts;
    SCOPED_TRACE(entry.path().filename().string());
    platform::CollectingPrompter prompter;
    CPelmDoc doc;
    bool skip = false;
    std::istringstream text(testsupport::ReadFile(entry.path()));
    std::string line;
    while (std::getline(text, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      ASSERT_TRUE(doc.ParseDescriptionLine(line, skip)) << line;
    }
    ASSERT_NE(doc.rootBranch, nullptr);
    ASSERT_NE(doc.scannersBranch, nullptr);
    doc.rootBranch->BuildParameters(doc, false, 0);
    doc.scannersBranch->BuildParameters(doc, false, 0);
    doc.ReleaseParseLists();
    EXPECT_TRUE(prompter.requests.empty());
    EXPECT_GT(doc.rootBranch->CountParametersToWrite(1), 0);
    EXPECT_GT(doc.scannersBranch->CountParametersToWrite(1), 0);
    ASSERT_NE(doc.networkBranch, nullptr);
    EXPECT_TRUE(doc.IsInTree(doc.networkBranch));
  }
  EXPECT_EQ(texts, 23);
}

}  // namespace
