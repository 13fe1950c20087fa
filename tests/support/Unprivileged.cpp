#include "support/Unprivileged.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

std::optional<std::string> RunUnprivileged(const std::function<std::string()>& body) {
  if (::geteuid() != 0) return std::nullopt;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return "pipe failed";
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return "fork failed";
  }
  if (pid == 0) {
    ::close(fds[0]);
    std::string text;
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kUnprivilegedId, kUnprivilegedId, kUnprivilegedId) != 0 ||
        ::setresuid(kUnprivilegedId, kUnprivilegedId, kUnprivilegedId) != 0)
      text = "cannot drop privileges";
    else
      text = body();
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::write(fds[1], text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    // No exit handlers: the parent's test framework must not run twice.
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) text += "\nthe unprivileged child ended abnormally";
  return text;
}
