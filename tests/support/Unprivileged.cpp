#include "support/Unprivileged.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

std::optional<std::string> RunUnprivileged(const std::function<std::string()>& body) {
  int fds[2];
  if (::geteuid() != 0 || ::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
  const pid_t pid = ::fork();
  if (pid == 0) {
    const bool dropped = ::setgroups(0, nullptr) == 0 &&
                         ::setresgid(kUnprivilegedId, kUnprivilegedId, kUnprivilegedId) == 0 &&
                         ::setresuid(kUnprivilegedId, kUnprivilegedId, kUnprivilegedId) == 0;
    const std::string text = dropped ? body() : "cannot drop privileges";
    for (size_t done = 0; done < text.size();) {
      const ssize_t n = ::write(fds[1], text.data() + done, text.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    ::_exit(0);  // no exit handlers: the parent's test framework must not run twice
  }
  ::close(fds[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; pid > 0 && (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    text += "\nthe unprivileged child failed or ended abnormally";
  return text;
}
