// Temporary folders, file helpers, the recording view and the batch runner.

#include "test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace karvel::testing {

TempDir::TempDir() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/karvel-test-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = name.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Folders made read-only by a test must be writable again to be removed.
  for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
    if (entry.is_directory(ignored)) chmod(entry.path().c_str(), 0700);
  }
  chmod(path_.c_str(), 0700);
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string& name) const { return path_ + "/" + name; }

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool file_exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

int RecordingView::read_answer_key(const char* accepted) {
  while (next_key < keys.size()) {
    char c = keys[next_key++];
    if (c != '\0' && strchr(accepted, c) != nullptr) return static_cast<unsigned char>(c);
  }
  return -1;
}

namespace {

// Writes `input` to `fd_in` while reading `fd_out` and `fd_err` to their ends.
void pump(int fd_in, const std::string& input, int fd_out, std::string* out, int fd_err,
          std::string* err) {
  size_t written = 0;
  if (input.empty()) {
    close(fd_in);
    fd_in = -1;
  }
  while (fd_out >= 0 || fd_err >= 0 || fd_in >= 0) {
    pollfd fds[3];
    int n = 0;
    if (fd_out >= 0) fds[n++] = {fd_out, POLLIN, 0};
    if (fd_err >= 0) fds[n++] = {fd_err, POLLIN, 0};
    if (fd_in >= 0) fds[n++] = {fd_in, POLLOUT, 0};
    if (poll(fds, n, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < n; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == fd_in) {
        ssize_t put = write(fd_in, input.data() + written, input.size() - written);
        if (put > 0) written += static_cast<size_t>(put);
        if (put < 0 || written == input.size()) {
          close(fd_in);
          fd_in = -1;
        }
        continue;
      }
      char buffer[65536];
      ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      std::string* target = fds[i].fd == fd_out ? out : err;
      if (got > 0) {
        target->append(buffer, static_cast<size_t>(got));
      } else {
        close(fds[i].fd);
        (fds[i].fd == fd_out ? fd_out : fd_err) = -1;
      }
    }
  }
}

}  // namespace

int run_batch(const std::string& dir, const std::vector<std::string>& arguments,
              const std::string& input, std::string* out, std::string* err) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
      close(fd);
    }
    if (chdir(dir.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(KARVEL_BATCH_PATH));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(KARVEL_BATCH_PATH, argv.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  signal(SIGPIPE, SIG_IGN);
  out->clear();
  err->clear();
  pump(in_pipe[1], input, out_pipe[0], out, err_pipe[0], err);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace karvel::testing
