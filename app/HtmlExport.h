#pragma once
// The printable list of every parameter of the loaded model ("parlist.html" in the
// "Zt580" folder of the user's documents folder): the page's text, its bytes on
// disk (Windows-1251, CR LF), where it goes and how it is opened.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CPelmDoc;
class DescBranch;

namespace htmlexport {

// The heading of a branch: a name with "№" keeps the text before it, then "№...",
// then the rest from the first blank after it, so that repeated branches share one.
std::string BranchHeading(std::string_view name);

// Text for an HTML element or attribute: &, <, > and " as entities.
std::string EscapeHtml(std::string_view text);

// Appends the rows of every branch below `branch`; `root` is searched for the
// index range of each parameter. `prefix` is the path of headings above (raw text).
void WriteBranchHtml(std::string& out, DescBranch& branch, const std::string& prefix, DescBranch& root);

// The whole page as UTF-8 with "\n" line ends; root may be null (an empty table).
std::string BuildPage(DescBranch* root, const std::string& modelName);

// The page's bytes: Windows-1251, every line ending in CR LF (a CR LF already
// there stays one).
std::vector<std::uint8_t> PageBytes(std::string_view page);

// The user's documents folder: XDG_DOCUMENTS_DIR of $XDG_CONFIG_HOME/user-dirs.dirs,
// else $HOME/Documents. Empty when there is no home folder.
std::filesystem::path DocumentsFolder();

// Starts `program` with the path as its one argument (by default the desktop's
// opener "xdg-open"). False with the reason when it could not be started or
// reported failure within a few seconds; an opener still running then counts as
// started.
bool OpenWithProgram(const std::string& program, const std::filesystem::path& path, std::string& error);
bool OpenWithDefaultHandler(const std::filesystem::path& path, std::string& error);

using FileOpener = std::function<bool(const std::filesystem::path&, std::string&)>;

// Writes the page of the document's tree into the documents folder and opens it.
// Failures are reported in message boxes; a page that cannot be opened stays on
// disk. Returns the page's path, empty when nothing was written.
std::filesystem::path ExportHtml(CPelmDoc& document, const FileOpener& open = OpenWithDefaultHandler);

}  // namespace htmlexport
