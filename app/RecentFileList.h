#pragma once
// The recent-file list of the "File" menu: at most four paths, the latest first,
// kept in the settings store under the program's profile key. Entries whose file
// is gone are dropped when the list is loaded.
#include <string>
#include <vector>

class RecentFileList {
 public:
  static constexpr int kSize = 4;
  static constexpr const char* kKeyPath = "Software\\Configurator - Zt580\\Zt580\\Recent File List";

  void Load();
  // Writes every slot (an empty text for an unused one); false when the store refused.
  bool Save() const;
  // Moves or adds the path to the front. By value: callers pass an entry of this
  // very list (a recent file opened again), which the move erases.
  void Add(std::string path);
  void Remove(const std::string& path);
  const std::vector<std::string>& Entries() const { return entries_; }

 private:
  std::vector<std::string> entries_;
};
