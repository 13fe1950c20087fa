#include "resources/StringTable.h"

#include <cstdlib>
#include <map>
#include <mutex>

namespace resources {
extern const char* const kStringTableText;

namespace {

struct Table {
  std::map<int, std::string> texts;
  std::vector<std::string> problems;
};

// Undoes the escapes a table line may hold: \n, \r, \t, \\ .
std::string Unescape(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char c = s[++i];
      out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
    } else {
      out += s[i];
    }
  }
  return out;
}

const Table& GetTable() {
  static Table table;
  static std::once_flag once;
  std::call_once(once, [] {
    std::string all(kStringTableText);
    size_t pos = 0;
    while (pos < all.size()) {
      size_t end = all.find('\n', pos);
      if (end == std::string::npos) end = all.size();
      std::string line = all.substr(pos, end - pos);
      pos = end + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line[0] == '#') continue;
      size_t tab = line.find('\t');
      char* idEnd = nullptr;
      long id = std::strtol(line.c_str(), &idEnd, 10);
      if (tab == std::string::npos || idEnd != line.c_str() + tab || tab == 0) {
        table.problems.push_back("unreadable line: " + line);
        continue;
      }
      std::string text = Unescape(line.substr(tab + 1));
      auto [it, inserted] = table.texts.emplace(static_cast<int>(id), text);
      if (!inserted && it->second != text) {
        table.problems.push_back("id " + std::to_string(id) + " defined twice with different texts");
      }
    }
  });
  return table;
}

}  // namespace

const std::string& LoadString(int id) {
  static const std::string empty;
  const Table& t = GetTable();
  auto it = t.texts.find(id);
  return it == t.texts.end() ? empty : it->second;
}

bool HasString(int id) { return GetTable().texts.count(id) != 0; }

std::vector<std::string> StringTableProblems() { return GetTable().problems; }

}  // namespace resources
