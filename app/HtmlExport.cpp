#include "app/HtmlExport.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <system_error>
#include <thread>

#include "app/CPelmDoc.h"
#include "link/AppState.h"
#include "link/ModelTable.h"
#include "model/DescBranch.h"
#include "platform/CFormat.h"
#include "platform/FileBytes.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "resources/StringTable.h"

extern char** environ;

namespace htmlexport {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFolderName = "Zt580";
constexpr const char* kFileName = "parlist.html";
constexpr const char* kWriteFailed = "Не удалось записать файл \"%s\":\n%s";
constexpr const char* kOpenFailed = "Не удалось открыть файл \"%s\":\n%s";
constexpr const char* kNoDocumentsFolder = "Не найдена папка документов пользователя.";

// The note on the data formats that ends the page. Its table is left open: the
// page's last line closes it. Plain line ends; the page's conversion makes them CR LF.
constexpr const char* kFormatsNote = R"(<br>
<h4>Примечание:</h4>
<p>Форматы, в которых представляются данные параметров:</p>
<table border=1 width="100%" style="font-size=12px">
<tr>
<td><strong><b>№</b></strong></td>
<td><strong><b>Мнемоника</b></strong></td>
<td><strong><b>Характеристика</b></strong></td>
</tr>
<tr><td>1</td><td>float</td><td>Вещественное число в формате с плавающей точкой (4 байта).</td></tr>
<tr><td>2</td><td>int</td><td>Целое число без знака; длина (1-4 байта) определяется значением.</td></tr>
<tr><td>3</td><td>ASCI</td><td>Строка символов, передаваемая кодами семисегментного индикатора.</td></tr>
<tr><td>4</td><td>CLK_frm</td><td>Время в формате часов: часы и минуты или минуты и секунды.</td></tr>
<tr><td>5</td><td>string</td><td>Строка символов в кодировке Windows-1251.</td></tr>
<tr><td>6</td><td>STORED_DOT</td><td>Число с запятой, положение которой передается вместе с мантиссой (2-4 байта).</td></tr>
<tr><td>7</td><td>Перечень значений</td><td>Одно значение из списка; передается номер значения в списке, начиная с 0.</td></tr>
)";

std::string TitleCell(const std::string& title) { return "<td><strong><b>" + title + "</b></strong></td>\n"; }

// Children of the home folder's ".config" unless XDG_CONFIG_HOME says otherwise.
fs::path ConfigHome(const fs::path& home) {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return xdg;
  return home.empty() ? fs::path() : home / ".config";
}

// One value of user-dirs.dirs: "$HOME/rest" or an absolute path, in double quotes.
fs::path UserDirValue(std::string value, const fs::path& home) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  if (value.rfind("$HOME", 0) == 0) {
    if (home.empty()) return {};
    std::string rest = value.substr(5);
    while (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
    return rest.empty() ? home : home / rest;
  }
  if (!value.empty() && value.front() == '/') return value;
  return {};
}

// Opener processes that were still running when their caller went on; reaped later.
std::mutex gPendingLock;
std::vector<pid_t> gPending;

void ReapPending() {
  std::lock_guard lock(gPendingLock);
  std::erase_if(gPending, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; });
}

}  // namespace

std::string BranchHeading(std::string_view name) {
  static constexpr std::string_view kNumber = "№";
  const size_t at = name.find(kNumber);
  if (at == std::string_view::npos) return std::string(name);
  std::string heading(name.substr(0, at));
  heading += "№...";
  const size_t blank = name.find(' ', at + kNumber.size());
  if (blank != std::string_view::npos) heading += name.substr(blank);
  return heading;
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

void WriteBranchHtml(std::string& out, DescBranch& branch, const std::string& prefix, DescBranch& root) {
  using resources::LoadString;
  int counter = 0;
  std::string lastHeading;
  for (const auto& child : branch.children) {
    const std::string heading = BranchHeading(child->elementName);
    // A group of repeated branches is described once, by its first member.
    if (heading == lastHeading) continue;
    lastHeading = heading;
    if (!child->parameters.empty()) {
      if (!child->IsSingleParameter()) {
        out += "<tr><td colspan=8 bgColor=\"#ffffaa\"><b>" + EscapeHtml(prefix + heading) + "</b></td></tr>\n";
        out += "<tr>\n";
        out += TitleCell("№");
        for (int id : {kStrCommand, kStrHash, kStrDescription, kStrType, kStrIndexing, kStrRange, kStrAttributes})
          out += TitleCell(LoadString(id));
        out += "</tr>\n";
      }
      for (const auto& parameter : child->parameters) {
        ++counter;
        int maximum = 0;
        int offset = 0;
        root.FindParameter(parameter->name, nullptr, &maximum, &offset);
        const std::string indexing =
            maximum != 0 ? platform::Format("0,%i..%i", offset, maximum) : LoadString(kStrNoIndex);
        parameter->WriteHtmlRow(out, counter, indexing);
      }
    }
    WriteBranchHtml(out, *child, prefix + heading + "\\", root);
  }
}

std::string BuildPage(DescBranch* root, const std::string& modelName) {
  using resources::LoadString;
  std::string page = "<html>\n<head>\n<meta HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">\n\t";
  page += platform::Format(LoadString(kStrTitle).c_str(), EscapeHtml(modelName).c_str());
  page += "\n</head>\n\n<body>\n<h4>" + LoadString(kStrListHeading) +
          "</h4>\n<table border=1 width=\"100%\" style=\"font-size=12px\">\n";
  if (root) WriteBranchHtml(page, *root, std::string(), *root);
  page += "</table>\n\n<br>\n";
  page += kFormatsNote;
  page += "</TABLE>\n</body>\n</html>";
  return page;
}

std::vector<std::uint8_t> PageBytes(std::string_view page) {
  const std::string cp1251 = platform::Utf8ToCp1251(page);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(cp1251.size() + cp1251.size() / 16);
  for (size_t i = 0; i < cp1251.size(); ++i) {
    const char c = cp1251[i];
    if (c == '\n' && (i == 0 || cp1251[i - 1] != '\r')) bytes.push_back('\r');
    bytes.push_back(static_cast<std::uint8_t>(c));
  }
  return bytes;
}

fs::path DocumentsFolder() {
  const char* homeEnv = std::getenv("HOME");
  const fs::path home = homeEnv && *homeEnv == '/' ? fs::path(homeEnv) : fs::path();
  const fs::path config = ConfigHome(home);
  if (!config.empty()) {
    std::ifstream in(config / "user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
      static constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
      if (line.rfind(kKey, 0) != 0) continue;
      fs::path folder = UserDirValue(line.substr(kKey.size()), home);
      if (!folder.empty()) return folder;
    }
  }
  return home.empty() ? fs::path() : home / "Documents";
}

bool OpenWithProgram(const std::string& program, const fs::path& path, std::string& error) {
  ReapPending();
  std::string file = path.string();
  char* argv[] = {const_cast<char*>(program.c_str()), file.data(), nullptr};
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ);
  if (spawned != 0) {
    error = program + ": " + std::error_code(spawned, std::generic_category()).message();
    return false;
  }
  // The opener hands the file on and ends; wait a little for its verdict, never long.
  for (int waited = 0; waited < 3000; waited += 20) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
      error = WIFEXITED(status) ? program + platform::Format(": код завершения %i", WEXITSTATUS(status))
                                : program + ": процесс прерван";
      return false;
    }
    if (r < 0) return true;  // reaped elsewhere: it ran
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::lock_guard lock(gPendingLock);
  gPending.push_back(pid);
  return true;
}

bool OpenWithDefaultHandler(const fs::path& path, std::string& error) {
  return OpenWithProgram("xdg-open", path, error);
}

fs::path ExportHtml(CPelmDoc& document, const FileOpener& open) {
  using resources::LoadString;
  const std::string caption = LoadString(kStrAppTitle);
  document.BeginWaitCursor();
  fs::path folder = DocumentsFolder();
  if (folder.empty()) {
    document.EndWaitCursor();
    platform::ShowMessage(kNoDocumentsFolder, caption, platform::MessageIcon::Error);
    return {};
  }
  folder /= kFolderName;
  std::error_code ignored;
  fs::create_directories(folder, ignored);
  const fs::path file = folder / kFileName;
  const std::string page = BuildPage(document.rootBranch, exchange::ModelDisplayName(App().modelIndex.load()));
  const std::vector<std::uint8_t> bytes = PageBytes(page);
  std::string error;
  const bool written = platform::WriteFileAtomically(file, bytes, error);
  document.EndWaitCursor();
  if (!written) {
    platform::ShowMessage(platform::Format(kWriteFailed, file.c_str(), error.c_str()), caption,
                          platform::MessageIcon::Error);
    return {};
  }
  if (open && !open(file, error))
    platform::ShowMessage(platform::Format(kOpenFailed, file.c_str(), error.c_str()), caption,
                          platform::MessageIcon::Error);
  return file;
}

}  // namespace htmlexport
