// The parameter list page: its bytes, its groups and counters, what a real HTML
// parser reads from it, and the command that writes it into the documents folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "app/HtmlExport.h"
#include "platform/Prompter.h"
#include "platform/Text.h"

namespace {

namespace fs = std::filesystem;

DescBranch& AddBranch(DescBranch& parent, const std::string& name) {
  parent.children.push_back(std::make_unique<DescBranch>(name, 0, 0, 0, 0));
  return *parent.children.back();
}

Parameter& AddParameter(DescBranch& branch, const std::string& name, int linearIndex = 0) {
  Parameter& p = branch.AddParameter(std::make_unique<Parameter>(name));
  p.type = "int";
  p.description = "Описание " + name;
  p.linearIndex = linearIndex;
  return p;
}

// Three repeated inputs with a nested filter, a single-parameter branch and a
// branch whose texts need escaping.
std::unique_ptr<DescBranch> SampleTree() {
  auto root = std::make_unique<DescBranch>("root", 0, 0, 0, 0);
  for (int i = 0; i < 3; ++i) {
    DescBranch& input = AddBranch(*root, "Вход №" + std::to_string(i + 1) + " настройки");
    AddParameter(input, "In.t", i + 1);
    AddParameter(input, i == 0 ? "In.a" : "In.x" + std::to_string(i));
    DescBranch& filter = AddBranch(input, "Фильтр");
    AddParameter(filter, "Flt" + std::to_string(i));
    AddParameter(filter, "Flu" + std::to_string(i));
  }
  AddParameter(AddBranch(*root, "Одиночный"), "One");
  DescBranch& odd = AddBranch(*root, "A<B & C");
  Parameter& unknown = odd.AddParameter(std::make_unique<Parameter>("Unk"));
  unknown.type = "int";
  AddParameter(odd, "Two").description = "Ток & напряжение";
  return root;
}

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(HtmlExport, PageBytesGroupsCountersAndEscaping) {
  auto root = SampleTree();
  const std::string bytes = Text(htmlexport::PageBytes(htmlexport::BuildPage(root.get(), "Z580-M<1>")));

  // The header as written, in Windows-1251 with CR LF.
  const std::string header = platform::Utf8ToCp1251(
      "<html>\r\n<head>\r\n<meta HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">\r\n"
      "\t<title>Список параметров прибора Z580-M&lt;1&gt;</title>\r\n</head>\r\n\r\n<body>\r\n"
      "<h4>Список конфигурационных параметров</h4>\r\n<table border=1 width=\"100%\" style=\"font-size=12px\">\r\n");
  EXPECT_EQ(bytes.substr(0, header.size()), header);
  EXPECT_TRUE(bytes.ends_with("</TABLE>\r\n</body>\r\n</html>"));
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at " << i;
    }
    if (bytes[i] == '\r') {
      ASSERT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "bare CR at " << i;
    }
  }

  const std::string page = platform::Cp1251ToUtf8(bytes);
  auto count = [&](const std::string& what) {
    int n = 0;
    for (size_t at = page.find(what); at != std::string::npos; at = page.find(what, at + 1)) ++n;
    return n;
  };
  // One group for the three inputs, described by the first; the nested heading
  // carries the path.
  EXPECT_EQ(count("<b>Вход №... настройки</b>"), 1);
  EXPECT_EQ(count("<b>Вход №... настройки\\Фильтр</b>"), 1);
  EXPECT_EQ(count("In.x"), 0);
  EXPECT_EQ(count("Flt1"), 0);
  EXPECT_EQ(count("<td>Flt0\t"), 1);
  // The single-parameter branch has no heading of its own.
  EXPECT_EQ(count("Одиночный"), 0);
  EXPECT_EQ(count("<td><strong><b>Команда</b></strong></td>"), 3);
  // Escaped model texts stay visible.
  EXPECT_EQ(count("<b>A&lt;B &amp; C</b>"), 1);
  EXPECT_EQ(count("&lt;неизвестный параметр&gt;"), 1);
  EXPECT_EQ(count("<td>Ток &amp; напряжение\t</td>"), 1);
  // Counters: per call, across its children; a nested call starts at 1.
  EXPECT_NE(page.find("<td>1\t</td>\r\n\t<td>In.t"), std::string::npos);
  EXPECT_NE(page.find("<td>2\t</td>\r\n\t<td>In.a"), std::string::npos);
  EXPECT_NE(page.find("<td>1\t</td>\r\n\t<td>Flt0"), std::string::npos);
  EXPECT_NE(page.find("<td>2\t</td>\r\n\t<td>Flu0"), std::string::npos);
  EXPECT_NE(page.find("<td>3\t</td>\r\n\t<td>One"), std::string::npos);
  EXPECT_NE(page.find("<td>5\t</td>\r\n\t<td>Two"), std::string::npos);
  // Index texts: the range of an indexed parameter, else "без индекса".
  EXPECT_NE(page.find("<td>0,1..3\t</td>"), std::string::npos);
  EXPECT_EQ(count("<td>без индекса\t</td>"), 6);
}

TEST(HtmlExport, EmptyModelGivesHeaderEmptyTableNoteAndClosingLine) {
  DescBranch root("root", 0, 0, 0, 0);
  for (DescBranch* tree : {&root, static_cast<DescBranch*>(nullptr)}) {
    const std::string page = htmlexport::BuildPage(tree, "");
    EXPECT_NE(page.find("style=\"font-size=12px\">\n</table>\n\n<br>\n"), std::string::npos);
    EXPECT_NE(page.find("Примечание:"), std::string::npos);
    EXPECT_EQ(page.find("<tr><td colspan"), std::string::npos);
    EXPECT_TRUE(page.ends_with("</TABLE>\n</body>\n</html>"));
  }
  EXPECT_EQ(htmlexport::BranchHeading("Вход №12"), "Вход №...");
  EXPECT_EQ(htmlexport::BranchHeading("№3 канал  A"), "№... канал  A");
  EXPECT_EQ(htmlexport::BranchHeading("Вход№7"), "Вход№...");
}

// Sets an environment variable for one test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (previous_)
      setenv(name_, previous_->c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> previous_;
};

class HtmlExportFileTest : public DocumentTestBase {};

TEST_F(HtmlExportFileTest, WritesIntoTheDocumentsFolderReadsAsHtmlAndReportsAFailedOpen) {
  const std::string home = Path("home");
  fs::create_directories(home);
  ScopedEnv homeEnv("HOME", home);
  // The desktop's own name for the documents folder.
  {
    std::ofstream dirs(root_ + "/user-dirs.dirs");
    dirs << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Документы\"\n";
  }
  EXPECT_EQ(htmlexport::DocumentsFolder(), fs::path(home) / "Документы");

  auto root = SampleTree();
  CPelmDoc document;
  document.rootBranch = root.get();
  platform::CollectingPrompter prompter;
  std::vector<fs::path> opened;
  auto failingOpener = [&](const fs::path& path, std::string& error) {
    opened.push_back(path);
    error = "no handler";
    return false;
  };
  const fs::path file = htmlexport::ExportHtml(document, failingOpener);
  document.rootBranch = nullptr;
  EXPECT_EQ(file, fs::path(home) / "Документы" / "Zt580" / "parlist.html");
  ASSERT_EQ(opened, std::vector<fs::path>{file});
  // The page stays; the failure is told.
  ASSERT_TRUE(fs::exists(file));
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_EQ(prompter.requests[0].icon, platform::MessageIcon::Error);
  EXPECT_NE(prompter.requests[0].text.find("no handler"), std::string::npos);

  // A real HTML parser sees the title, two tables and rows of eight cells.
  const std::string script = EnvPath("Z580_SOURCE_DIR") + "/tests/app/scripts/check_parlist.py";
  const std::string command = "python3 '" + script + "' '" + file.string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string parsed;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) parsed.append(buffer, n);
  ASSERT_EQ(pclose(pipe), 0) << parsed;
  EXPECT_NE(parsed.find("charset windows-1251\n"), std::string::npos) << parsed;
  EXPECT_NE(parsed.find("title Список параметров прибора \n"), std::string::npos) << parsed;
  EXPECT_NE(parsed.find("tables 2\n"), std::string::npos) << parsed;
  EXPECT_NE(parsed.find("bad rows 0\n"), std::string::npos) << parsed;
  EXPECT_NE(parsed.find("row Вход №... настройки\\Фильтр\n"), std::string::npos) << parsed;
  EXPECT_NE(parsed.find("row 4|Unk|"), std::string::npos) << parsed;
  EXPECT_NE(parsed.find("|<неизвестный параметр>|int|без индекса|"), std::string::npos) << parsed;
  EXPECT_NE(parsed.find("row A<B & C\n"), std::string::npos) << parsed;

  // Without the desktop's file the folder is "Documents"; a file in the way of the
  // folder fails the write, which is told, and nothing is opened.
  fs::remove(root_ + "/user-dirs.dirs");
  EXPECT_EQ(htmlexport::DocumentsFolder(), fs::path(home) / "Documents");
  fs::create_directories(fs::path(home) / "Documents");
  std::ofstream(fs::path(home) / "Documents" / "Zt580") << "not a folder";
  prompter.requests.clear();
  opened.clear();
  EXPECT_TRUE(htmlexport::ExportHtml(document, failingOpener).empty());
  EXPECT_TRUE(opened.empty());
  ASSERT_EQ(prompter.requests.size(), 1u);
  EXPECT_NE(prompter.requests[0].text.find("parlist.html"), std::string::npos);
}

TEST(HtmlExportOpen, TheOpenersVerdictIsReported) {
  std::string error;
  EXPECT_TRUE(htmlexport::OpenWithProgram("true", "/tmp/x.html", error)) << error;
  EXPECT_FALSE(htmlexport::OpenWithProgram("false", "/tmp/x.html", error));
  EXPECT_NE(error.find("1"), std::string::npos) << error;
  error.clear();
  EXPECT_FALSE(htmlexport::OpenWithProgram("/nonexistent/opener", "/tmp/x.html", error));
  EXPECT_FALSE(error.empty());
  // An opener that keeps running counts as started and does not hold the caller long.
  EXPECT_TRUE(htmlexport::OpenWithProgram("sleep", "5", error));
}

}  // namespace
