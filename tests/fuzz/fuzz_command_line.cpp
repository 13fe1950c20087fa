// The command line comes from whoever starts the program (a shell, a desktop entry,
// another program's batch job): parsing any argument list must end without a crash
// or a sanitizer report, and what it keeps must stay within its limits.
//
// Input: the words, separated by zero bytes (so any count, empty words, any bytes
// within a word). The first byte chooses the start folder's form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/CmyCommandLineInfo.h"
#include "link/BatchSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const char* const kStartFolders[] = {"", "/", "/tmp", "/tmp/", "relative/dir"};
  const std::string start = kStartFolders[data[0] % (sizeof kStartFolders / sizeof kStartFolders[0])];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::string> words;
  size_t from = 0;
  for (;;) {
    const size_t end = text.find('\0', from);
    words.emplace_back(text.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from));
    if (end == std::string_view::npos) break;
    from = end + 1;
  }

  CmyCommandLineInfo info(start);
  info.ParseWords(words);

  const exchange::BatchSettings& b = info.batch;
  if (b.address.size() > 5 || b.stopBits.size() > 4) std::abort();
  // A file name or an error log named relative to a start folder is made absolute from it.
  const bool absoluteStart = !start.empty() && start[0] == '/';
  for (const std::string* path : {&info.fileName, &info.errorLogPath})
    if (absoluteStart && !path->empty() && (*path)[0] != '/') std::abort();
  // Any switch word makes a batch run.
  for (const std::string& word : words)
    if (!word.empty() && word[0] == '-' && !(b.runFlags & exchange::kRunBatch) && word.size() > 1 &&
        word.find_first_not_of('/', 1) != std::string::npos)
      std::abort();

  const int first = FirstBatchCommand(b);
  if (first != 0 && first != 139 && first != 140 && first != 303) std::abort();
  (void)BatchFileProblem(b, info.fileName);
  (void)CmyCommandLineInfo::IsSwitchWord(text);
  return 0;
}
