#include "platform/SettingsStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/Text.h"

namespace platform {
namespace {

// Larger files are not ours; they read as empty rather than filling memory.
constexpr size_t kMaxFileSize = 4u << 20;
constexpr auto kLockWait = std::chrono::seconds(5);

std::mutex& WriteMutex() {
  static std::mutex m;
  return m;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool ValidKeyPath(std::string_view path) {
  if (path.empty() || path != Trim(path)) return false;
  for (unsigned char c : path) {
    if (c < 0x20 || c == 0x7F || c == '[' || c == ']') return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses a quoted text starting at s[0] == '"'; sets `used` to the characters consumed.
bool ParseQuoted(std::string_view s, std::string& out, size_t& used) {
  out.clear();
  size_t i = 1;
  while (i < s.size()) {
    char c = s[i];
    if (c == '"') {
      used = i + 1;
      return true;
    }
    if (c != '\\') {
      out.push_back(c);
      ++i;
      continue;
    }
    if (i + 1 >= s.size()) return false;
    char e = s[i + 1];
    i += 2;
    switch (e) {
      case '\\': out.push_back('\\'); break;
      case '"': out.push_back('"'); break;
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case 't': out.push_back('\t'); break;
      case 'x': {
        if (i + 2 > s.size()) return false;
        int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return false;
}

void AppendQuoted(std::string& out, std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  out.push_back('"');
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\x";
          out.push_back(kHex[c >> 4]);
          out.push_back(kHex[c & 15]);
        } else {
          out.push_back(ch);
        }
    }
  }
  out.push_back('"');
}

bool ParseValueLine(std::string_view line, SettingValue& value) {
  size_t pos = 0;
  if (line.front() == '"') {
    size_t used = 0;
    if (!ParseQuoted(line, value.name, used)) return false;
    std::string_view rest = Trim(line.substr(used));
    if (rest.empty() || rest.front() != '=') return false;
    pos = line.size() - rest.size() + 1;
  } else {
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    std::string_view name = Trim(line.substr(0, eq));
    if (name.empty()) return false;
    value.name.assign(name);
    pos = eq + 1;
  }
  std::string_view data = Trim(line.substr(pos));
  if (!data.empty() && data.front() == '"') {
    size_t used = 0;
    if (!ParseQuoted(data, value.text, used) || used != data.size()) return false;
    value.type = ValueType::String;
    return true;
  }
  if (StartsWithNoCase(data, "dword:")) {
    std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t v = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) return false;
      v = v * 16 + static_cast<uint32_t>(d);
    }
    value.type = ValueType::Dword;
    value.dword = v;
    return true;
  }
  value.type = ValueType::String;
  value.text.assign(data);
  return true;
}

// `missing` tells a file that is not there from one that could not be read.
bool ReadWholeFile(const std::string& path, std::string& out, bool* missing = nullptr) {
  out.clear();
  if (missing) *missing = false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (missing) *missing = errno == ENOENT;
    return false;
  }
  char buf[8192];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    if (out.size() + static_cast<size_t>(n) > kMaxFileSize) {
      ok = false;
      break;
    }
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  if (!ok) out.clear();
  return ok;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool MakeDirectories(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeDirectories(path.substr(0, slash))) return false;
  if (::mkdir(path.c_str(), 0700) == 0) return true;
  return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

const char* HiveName(Hive hive) {
  return hive == Hive::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// Exclusive lock on the settings folder for one read-change-write, bounded in time.
class FolderLock {
 public:
  explicit FolderLock(const std::string& dir) {
    fd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    auto until = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= until) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Writes the text of a damaged hive file to a new file beside it.
bool KeepDamagedCopy(const std::string& path, std::string_view text) {
  std::string copy = path + ".damaged-XXXXXX";
  int fd = ::mkostemp(copy.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok) ::unlink(copy.c_str());
  return ok;
}

template <typename Change>
bool ChangeHive(Hive hive, Change change) {
  std::lock_guard<std::mutex> guard(WriteMutex());
  const std::string dir = SettingsDirectory();
  if (!MakeDirectories(dir)) return false;
  FolderLock lock(dir);
  if (!lock.Held()) return false;

  const std::string path = HiveFilePath(hive);
  // A file that is there but cannot be read is never replaced: its values would be lost.
  SettingsData data;
  std::string old;
  bool missing = false;
  bool damaged = false;
  if (ReadWholeFile(path, old, &missing)) {
    damaged = !ParseSettingsText(old, data);
  } else if (!missing) {
    return false;
  }
  const std::string before = missing || damaged ? std::string() : SerializeSettings(data, hive);
  if (!change(data)) return false;
  // A damaged file (a hand edit gone wrong) is replaced, but its text stays beside it.
  if (damaged && !KeepDamagedCopy(path, old)) return false;
  const std::string text = SerializeSettings(data, hive);
  // Values written again as they are (the program's registration at every start)
  // leave the file alone: each rewrite waits for the disk twice.
  if (!missing && !damaged && text == before) return true;

  std::string temp = path + ".XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace

const SettingKey* SettingsData::FindKey(std::string_view keyPath) const {
  for (const SettingKey& key : keys) {
    if (EqualsNoCase(key.path, keyPath)) return &key;
  }
  return nullptr;
}

const SettingValue* SettingsData::Find(std::string_view keyPath, std::string_view valueName) const {
  const SettingKey* key = FindKey(keyPath);
  if (!key) return nullptr;
  for (const SettingValue& v : key->values) {
    if (EqualsNoCase(v.name, valueName)) return &v;
  }
  return nullptr;
}

bool SettingsData::Put(std::string_view keyPath, const SettingValue& value) {
  if (!ValidKeyPath(keyPath)) return false;
  SettingKey* key = nullptr;
  for (SettingKey& k : keys) {
    if (EqualsNoCase(k.path, keyPath)) {
      key = &k;
      break;
    }
  }
  if (!key) {
    keys.push_back(SettingKey{std::string(keyPath), {}});
    key = &keys.back();
  }
  for (SettingValue& v : key->values) {
    if (EqualsNoCase(v.name, value.name)) {
      std::string keptName = std::move(v.name);
      v = value;
      v.name = std::move(keptName);
      return true;
    }
  }
  key->values.push_back(value);
  return true;
}

std::string SettingsDirectory() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') {
      base = home;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
      base = pw->pw_dir;
    } else {
      base = "/tmp";
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    base += "/.config";
  }
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/TEVI";
}

std::string HiveFilePath(Hive hive) { return SettingsDirectory() + "/" + HiveName(hive) + ".ini"; }

bool ParseSettingsText(std::string_view text, SettingsData& data) {
  data.keys.clear();
  if (text.find('\0') != std::string_view::npos) return false;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  // Indexes by upper-cased name, so that a long file parses in one pass; they mirror
  // SettingsData::Put (the first spelling of a name stays, the last value wins).
  std::unordered_map<std::string, size_t> keyIndex;
  std::vector<std::unordered_map<std::string, size_t>> valueIndex;
  int current = -1;
  while (!text.empty()) {
    size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') {
        data.keys.clear();
        return false;
      }
      std::string_view path = Trim(line.substr(1, line.size() - 2));
      if (!ValidKeyPath(path)) {
        data.keys.clear();
        return false;
      }
      auto [it, added] = keyIndex.try_emplace(ToUpper(path), data.keys.size());
      if (added) {
        data.keys.push_back(SettingKey{std::string(path), {}});
        valueIndex.emplace_back();
      }
      current = static_cast<int>(it->second);
      continue;
    }
    SettingValue value;
    if (current < 0 || !ParseValueLine(line, value)) {
      data.keys.clear();
      return false;
    }
    std::vector<SettingValue>& values = data.keys[static_cast<size_t>(current)].values;
    auto [it, added] = valueIndex[static_cast<size_t>(current)].try_emplace(ToUpper(value.name), values.size());
    if (added) {
      values.push_back(std::move(value));
    } else {
      value.name = std::move(values[it->second].name);
      values[it->second] = std::move(value);
    }
  }
  return true;
}

std::string SerializeSettings(const SettingsData& data, Hive hive) {
  std::string out = "; ";
  out += HiveName(hive);
  out += " settings of the TEVI programs. Texts are quoted; escapes: \\\\ \\\" \\n \\r \\t \\xHH.\n";
  for (const SettingKey& key : data.keys) {
    out += "\n[";
    out += key.path;
    out += "]\n";
    for (const SettingValue& v : key.values) {
      AppendQuoted(out, v.name);
      out.push_back('=');
      if (v.type == ValueType::Dword) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(v.dword));
        out += buf;
      } else {
        AppendQuoted(out, v.text);
      }
      out.push_back('\n');
    }
  }
  return out;
}

SettingsData LoadHive(Hive hive) {
  SettingsData data;
  std::string text;
  if (ReadWholeFile(HiveFilePath(hive), text)) ParseSettingsText(text, data);
  return data;
}

bool ReadSettingString(Hive hive, std::string_view keyPath, std::string_view valueName, std::string& out) {
  SettingsData data = LoadHive(hive);
  const SettingValue* v = data.Find(keyPath, valueName);
  if (!v || v->type != ValueType::String) return false;
  out = v->text;
  return true;
}

bool ReadSettingDword(Hive hive, std::string_view keyPath, std::string_view valueName, uint32_t& out) {
  SettingsData data = LoadHive(hive);
  const SettingValue* v = data.Find(keyPath, valueName);
  if (!v || v->type != ValueType::Dword) return false;
  out = v->dword;
  return true;
}

bool WriteSettingString(Hive hive, std::string_view keyPath, std::string_view valueName, std::string_view text) {
  SettingValue value{std::string(valueName), ValueType::String, std::string(text), 0};
  return ChangeHive(hive, [&](SettingsData& data) { return data.Put(keyPath, value); });
}

bool WriteSettingDword(Hive hive, std::string_view keyPath, std::string_view valueName, uint32_t v) {
  SettingValue value{std::string(valueName), ValueType::Dword, {}, v};
  return ChangeHive(hive, [&](SettingsData& data) { return data.Put(keyPath, value); });
}

std::vector<std::pair<std::string, std::string>> ReadSettingStrings(Hive hive, std::string_view keyPath) {
  std::vector<std::pair<std::string, std::string>> out;
  SettingsData data = LoadHive(hive);
  if (const SettingKey* key = data.FindKey(keyPath)) {
    for (const SettingValue& v : key->values) {
      if (v.type == ValueType::String) out.emplace_back(v.name, v.text);
    }
  }
  return out;
}

}  // namespace platform
