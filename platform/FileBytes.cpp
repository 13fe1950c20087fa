#include "platform/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <system_error>

namespace platform {
namespace {

namespace fs = std::filesystem;

// The reason in the user's language; the system's own (English) text only for the
// rare failures named by their code.
std::string SystemText(int err) {
  switch (err) {
    case EACCES:
    case EPERM: return "нет прав доступа";
    case ENOENT: return "нет такого файла или папки";
    case ENOTDIR: return "часть пути не является папкой";
    case EISDIR: return "это папка";
    case ENOSPC: return "на диске нет места";
#ifdef EDQUOT
    case EDQUOT: return "превышена дисковая квота";
#endif
    case EROFS: return "файловая система доступна только для чтения";
    case EIO: return "ошибка ввода-вывода";
    case ENAMETOOLONG: return "слишком длинное имя";
    case ELOOP: return "слишком много символических ссылок в пути";
    case EFBIG: return "файл слишком велик";
    case EBUSY:
    case ETXTBSY: return "файл занят";
    case EMFILE:
    case ENFILE:
    case ENOMEM: return "системе не хватает ресурсов";
    default:
      return "системная ошибка " + std::to_string(err) + " (" +
             std::error_code(err, std::generic_category()).message() + ")";
  }
}

// GCC 12 at -O2 and above reports a false -Wrestrict inside std::string's insert
// here (GCC bug 105329); the code is plain concatenation.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
std::string Quoted(const fs::path& path) { return "\"" + path.string() + "\""; }
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

bool SetError(std::string& error, const std::string& what, const fs::path& path, int err) {
  error = what + " " + Quoted(path) + ": " + SystemText(err);
  return false;
}

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now so that a failing close can be reported.
  int Close() {
    const int r = ::close(fd_);
    fd_ = -1;
    return r;
  }

 private:
  int fd_;
};

// Writes everything, retrying after signals and short writes; false with errno set.
bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Opens a fresh file beside the target; the permissions follow the umask like any new file.
int CreateTemporary(const fs::path& dir, const std::string& name, fs::path& tempPath) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = dir / ("." + name + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

bool ReadWholeFile(const fs::path& path, std::vector<uint8_t>& bytes, std::string& error, size_t maxBytes) {
  bytes.clear();
  error.clear();
  // Non-blocking, so that opening a FIFO by mistake does not wait for a writer.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) return SetError(error, "Не удалось открыть", path, errno);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return SetError(error, "Не удалось прочитать", path, errno);
  if (!S_ISREG(st.st_mode)) {
    error = "Не удалось прочитать " + Quoted(path) + ": это не обычный файл";
    return false;
  }
  auto tooLarge = [&] {
    error = "Не удалось прочитать " + Quoted(path) + ": файл больше " + std::to_string(maxBytes) + " байт";
    bytes.clear();
    return false;
  };
  if (st.st_size < 0 || static_cast<uintmax_t>(st.st_size) > maxBytes) return tooLarge();
  bytes.reserve(static_cast<size_t>(st.st_size));
  // The file may change while it is read: read until its end, but never past the limit.
  uint8_t chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      bytes.clear();
      return SetError(error, "Не удалось прочитать", path, err);
    }
    if (n == 0) break;
    if (static_cast<size_t>(n) > maxBytes - bytes.size()) return tooLarge();
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  return true;
}

namespace {

// Puts the new bytes into the file itself: its inode, owner, mode and links stay.
// The old bytes are kept in memory first, so that a failed write can put them back.
bool WriteInPlace(int fd, const fs::path& path, std::span<const uint8_t> bytes, std::string& error) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return SetError(error, "Не удалось прочитать", path, errno);
  std::vector<uint8_t> old(static_cast<size_t>(std::max<off_t>(st.st_size, 0)));
  bool haveOld = true;
  for (size_t done = 0; done < old.size();) {
    const ssize_t n = ::pread(fd, old.data() + done, old.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) {
      old.resize(done);
      break;
    }
    if (n < 0) {
      // A file we may write but not read: a failed write cannot be undone.
      haveOld = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  auto putAt0 = [fd](std::span<const uint8_t> data) {
    size_t done = 0;
    while (done < data.size()) {
      const ssize_t n = ::pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      done += static_cast<size_t>(n);
    }
    return ::ftruncate(fd, static_cast<off_t>(data.size())) == 0 && ::fsync(fd) == 0;
  };
  if (putAt0(bytes)) return true;
  const int err = errno;
  SetError(error, "Не удалось записать", path, err);
  if (!haveOld || !putAt0(old)) error += " (файл может быть поврежден: его прежнее содержимое восстановить не удалось)";
  return false;
}

// Writes a fresh file beside the target and renames it over the target. 1 done,
// 0 failed (error set, nothing changed), -1 the folder takes no new file or the
// rename is refused there: the caller writes in place instead.
int WriteByRename(const fs::path& path, const fs::path& target, const struct stat* old,
                  std::span<const uint8_t> bytes, std::string& error) {
  const std::string name = target.filename().string();
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  fs::path tempPath;
  Fd fd(CreateTemporary(dir, name, tempPath));
  if (fd.get() < 0) {
    const int err = errno;
    if (old != nullptr) return -1;
    SetError(error, "Не удалось создать", path, err);
    return 0;
  }
  auto fail = [&](const char* what, int err) {
    ::unlink(tempPath.c_str());
    SetError(error, what, path, err);
    return 0;
  };
  if (old != nullptr) {
    // The group a direct write would leave; a folder that forces another one, or
    // a group we may not give, means writing in place.
    struct stat fresh {};
    if (::fstat(fd.get(), &fresh) != 0) return fail("Не удалось записать", errno);
    if (fresh.st_gid != old->st_gid && ::fchown(fd.get(), static_cast<uid_t>(-1), old->st_gid) != 0) {
      ::unlink(tempPath.c_str());
      return -1;
    }
    (void)::fchmod(fd.get(), old->st_mode & 07777);
  }
  if (!WriteAll(fd.get(), bytes)) return fail("Не удалось записать", errno);
  if (::fsync(fd.get()) != 0) return fail("Не удалось записать на диск", errno);
  if (fd.Close() != 0) return fail("Не удалось записать", errno);
  if (::rename(tempPath.c_str(), target.c_str()) != 0) {
    const int err = errno;
    // A sticky folder refuses to replace another user's entry.
    if (old != nullptr && (err == EPERM || err == EACCES)) {
      ::unlink(tempPath.c_str());
      return -1;
    }
    return fail("Не удалось заменить", err);
  }
  // Make the rename itself durable; the new file is in place either way.
  Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd.get() >= 0) (void)::fsync(dirFd.get());
  return 1;
}

}  // namespace

bool WriteFileAtomically(const fs::path& path, std::span<const uint8_t> bytes, std::string& error) {
  error.clear();
  fs::path target = path;
  std::error_code ec;
  // Replace the file a link points to, not the link itself.
  if (fs::is_symlink(path, ec)) {
    fs::path resolved = fs::weakly_canonical(path, ec);
    if (!ec) target = resolved;
  }
  const std::string name = target.filename().string();
  if (name.empty() || name == "." || name == "..") {
    error = "Не удалось записать " + Quoted(path) + ": это не имя файла";
    return false;
  }

  // Opening the file for writing asks the system what a direct write would: a file
  // the user may not write is refused with its reason before anything changes.
  // Non-blocking, so that a FIFO without a reader does not wait.
  const int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  int raw = ::open(target.c_str(), O_RDWR | flags);
  if (raw < 0 && errno == EACCES) raw = ::open(target.c_str(), O_WRONLY | flags);
  Fd fd(raw);
  if (fd.get() < 0) {
    if (errno != ENOENT) return SetError(error, "Не удалось записать", path, errno);
    return WriteByRename(path, target, nullptr, bytes, error) == 1;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return SetError(error, "Не удалось записать", path, errno);
  if (!S_ISREG(st.st_mode)) {
    error = "Не удалось записать " + Quoted(path) + ": это не обычный файл";
    return false;
  }
  // A rename would cut the other links and give the file to the writing user.
  if (st.st_nlink == 1 && st.st_uid == ::geteuid()) {
    const int renamed = WriteByRename(path, target, &st, bytes, error);
    if (renamed >= 0) return renamed == 1;
  }
  return WriteInPlace(fd.get(), path, bytes, error);
}

}  // namespace platform
