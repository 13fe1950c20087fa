#include "app/RecentFileList.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "platform/CFormat.h"
#include "platform/SettingsStore.h"

using platform::Hive;

void RecentFileList::Load() {
  entries_.clear();
  for (int i = 1; i <= kSize; ++i) {
    std::string path;
    if (!platform::ReadSettingString(Hive::CurrentUser, kKeyPath, platform::Format("File%d", i), path)) continue;
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) continue;
    if (std::find(entries_.begin(), entries_.end(), path) == entries_.end()) entries_.push_back(path);
  }
}

bool RecentFileList::Save() const {
  bool ok = true;
  for (int i = 0; i < kSize; ++i) {
    const std::string text = i < static_cast<int>(entries_.size()) ? entries_[static_cast<size_t>(i)] : std::string();
    ok &= platform::WriteSettingString(Hive::CurrentUser, kKeyPath, platform::Format("File%d", i + 1), text);
  }
  return ok;
}

void RecentFileList::Add(std::string path) {
  if (path.empty()) return;
  Remove(path);
  entries_.insert(entries_.begin(), std::move(path));
  if (entries_.size() > kSize) entries_.resize(kSize);
}

void RecentFileList::Remove(const std::string& path) { std::erase(entries_, path); }
