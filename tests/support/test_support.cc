// Temporary folders, file helpers, the recording view and the runs.

#include "test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

namespace karvel::testing {

namespace {

constexpr uid_t kNobody = 65534;

// In a child process: gives up root for "nobody". Returns false on failure.
bool become_nobody() {
  return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
}

// Reads the two pipes to their ends, or until the deadline. Returns false
// when the deadline came first.
bool drain(int fd_out, std::string* out, int fd_err, std::string* err,
           std::chrono::steady_clock::time_point deadline) {
  while (fd_out >= 0 || fd_err >= 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      for (int fd : {fd_out, fd_err}) {
        if (fd >= 0) close(fd);
      }
      return false;
    }
    pollfd fds[2];
    int n = 0;
    if (fd_out >= 0) fds[n++] = {fd_out, POLLIN, 0};
    if (fd_err >= 0) fds[n++] = {fd_err, POLLIN, 0};
    int ready = poll(fds, static_cast<nfds_t>(n), static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) {
      deadline = std::chrono::steady_clock::now();  // give up at the next turn
      continue;
    }
    for (int i = 0; i < n && ready > 0; ++i) {
      if (fds[i].revents == 0) continue;
      char buffer[65536];
      ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      bool is_out = fds[i].fd == fd_out;
      if (got > 0) {
        (is_out ? out : err)->append(buffer, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(fds[i].fd);
        (is_out ? fd_out : fd_err) = -1;
      }
    }
  }
  return true;
}

// The program to start: karvel-batch itself, or for "nobody" a copy in a
// folder that everyone may enter (the build folder may be closed to it).
const char* program(bool as_nobody) {
  if (!as_nobody) return KARVEL_BATCH_PATH;
  static TempDir folder;
  static const std::string path = [] {
    chmod(folder.path().c_str(), 0755);
    std::string copy = folder.file("karvel-batch");
    write_file(copy, read_file(KARVEL_BATCH_PATH));
    chmod(copy.c_str(), 0755);
    return copy;
  }();
  return path.c_str();
}

}  // namespace

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

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool has_line(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<std::string> error_lines(const std::vector<std::string>& lines) {
  std::vector<std::string> errors;
  for (const std::string& line : lines) {
    if (line.rfind("Error: ", 0) == 0) errors.push_back(line);
  }
  return errors;
}

int RecordingView::read_answer_key(const char* accepted) {
  while (next_key < keys.size()) {
    char c = keys[next_key++];
    if (c != '\0' && strchr(accepted, c) != nullptr) return static_cast<unsigned char>(c);
  }
  return -1;
}

RunNames RunNames::defaults_in(const std::string& dir) {
  return {dir + "/#src", dir + "/#dst", dir + "/#dbl", dir + "/#rst", dir + "/#kwd", dir + "/#log"};
}

int run_defaults(RunContext& context, RunView& view, const RunNames& names, uint32_t length_ratio,
                 uint32_t similarity_ratio) {
  return context.run_processing(&view, /*debug=*/0, /*check_similarity=*/1, /*sort=*/1,
                                /*rst_eq_dst=*/1, names.src, names.dst, names.dbl, names.rst,
                                names.kwd, names.log, length_ratio, similarity_ratio);
}

BatchRun run_batch(const std::string& dir, const std::vector<std::string>& arguments,
                   const BatchOptions& options) {
  BatchRun run;
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0) return run;
  if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) return run;
  const char* path = program(options.as_nobody);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    if (options.file_size_limit != 0) {
      rlimit limit = {options.file_size_limit, options.file_size_limit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(124);
    }
    if (options.as_nobody && !become_nobody()) _exit(125);
    if (chdir(dir.c_str()) != 0) _exit(126);
    execv(path, argv.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  // The keys of the tests fit the pipe: written at once, then the end.
  signal(SIGPIPE, SIG_IGN);
  if (pid > 0 && !options.input.empty()) {
    ssize_t put = write(in_pipe[1], options.input.data(), options.input.size());
    (void)put;
  }
  close(in_pipe[1]);
  if (pid < 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    return run;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  std::thread signaller([&] {
    if (options.signal == 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(options.signal_after_ms));
    kill(pid, options.signal);
    if (options.second_after_ms < 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(options.second_after_ms));
    kill(pid, options.signal);
  });
  if (!drain(out_pipe[0], &run.out, err_pipe[0], &run.err, deadline)) {
    run.timed_out = true;
    kill(pid, SIGKILL);
  }
  signaller.join();
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

bool can_run_as_nobody() {
  if (geteuid() != 0) return false;
  pid_t pid = fork();
  if (pid == 0) _exit(become_nobody() && geteuid() == kNobody ? 0 : 1);
  if (pid < 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

CheckedRun run_checked(const std::string& source, const std::string& keywords,
                       const std::vector<std::string>& extra_arguments) {
  TempDir dir;
  write_file(dir.file("#src"), source);
  write_file(dir.file("#kwd"), keywords);
  CheckedRun run;
  run.batch = run_batch(dir.path(), extra_arguments, {120});
  run.dst = read_file(dir.file("#dst"));
  run.dbl = read_file(dir.file("#dbl"));
  run.rst = read_file(dir.file("#rst"));
  run.log = read_file(dir.file("#log"));
  run.inputs_unchanged =
      read_file(dir.file("#src")) == source && read_file(dir.file("#kwd")) == keywords;
  run.conservation = check_conservation(source, run.dst, run.dbl, run.rst);
  return run;
}

void expect_completed_and_conserved(const CheckedRun& run) {
  EXPECT_FALSE(run.batch.timed_out);
  EXPECT_EQ(run.batch.status, 0) << run.batch.out << run.batch.err;
  EXPECT_TRUE(run.batch.errors().empty()) << run.batch.out;
  EXPECT_TRUE(run.inputs_unchanged);
  EXPECT_TRUE(run.conservation.ok()) << run.conservation.describe();
}

}  // namespace karvel::testing
