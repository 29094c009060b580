// Temporary folders, files, the recording view and the runs of karvel-batch.

#include "test_support.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
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
#include <iterator>
#include <stdexcept>

#include <gtest/gtest.h>

namespace karvel::testing {

TempDir::TempDir() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/karvel-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool file_exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(text.find('\n', start), text.size());
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
  for (const std::string& line : lines)
    if (line.rfind("Error: ", 0) == 0) errors.push_back(line);
  return errors;
}

int RecordingView::read_answer_key(const char* accepted) {
  if (on_question) on_question();
  while (next_key < keys.size()) {
    char c = keys[next_key++];
    if (c != '\0' && strchr(accepted, c) != nullptr) return static_cast<unsigned char>(c);
  }
  return -1;
}

RunNames RunNames::defaults_in(const std::string& dir) {
  return {dir + "/#src", dir + "/#dst", dir + "/#dbl", dir + "/#rst", dir + "/#kwd", dir + "/#log"};
}

void RunNames::remove_outputs() const {
  for (const std::string* output : {&dst, &dbl, &rst, &log}) unlink(output->c_str());
}

BatchRun run_batch(const std::string& dir, const std::vector<std::string>& arguments,
                   const BatchOptions& options) {
  BatchRun run;
  TempDir io;  // the program's standard input, output and error
  write_file(io.file("in"), options.input);
  std::vector<char*> argv = {const_cast<char*>(KARVEL_BATCH_PATH)};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int terminal = -1, side = -1;
  if (options.terminal && openpty(&terminal, &side, nullptr, nullptr, nullptr) != 0) return run;
  const int fds[3] = {
      open(io.file("in").c_str(), O_RDONLY | O_CLOEXEC),
      options.terminal ? side : open(io.file("out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600),
      open(io.file("err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600)};
  pid_t pid = fork();
  if (pid == 0) {
    for (int i = 0; i < 3; ++i) dup2(fds[i], i);
    rlimit limit = {options.file_size_limit, options.file_size_limit};
    if (options.file_size_limit != 0 && setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(124);
    if (chdir(dir.c_str()) != 0) _exit(126);
    if (options.terminal) setenv("LC_ALL", "C.UTF-8", 1);
    execv(argv[0], argv.data());
    _exit(127);
  }
  for (int fd : fds) close(fd);
  if (pid < 0) return run;
  // What the terminal shows until the program closes it, without its CRs.
  char chunk[4096];
  for (ssize_t got; terminal >= 0 && (got = read(terminal, chunk, sizeof chunk)) > 0;)
    run.out.append(chunk, static_cast<size_t>(got));
  std::erase(run.out, '\r');
  // Waits for the end, sending the signals on time and killing the program
  // at the deadline.
  auto start = std::chrono::steady_clock::now();
  int status = 0, sent = 0, to_send = options.signal == 0 ? 0 : options.second_after_ms < 0 ? 1 : 2;
  for (pid_t ended = 0; ended != pid && !(ended < 0 && errno != EINTR);) {
    usleep(1000);
    auto ms = (std::chrono::steady_clock::now() - start) / std::chrono::milliseconds(1);
    if (sent < to_send &&
        ms >= options.signal_after_ms + (sent == 0 ? 0 : options.second_after_ms)) {
      kill(pid, options.signal);
      ++sent;
    }
    if (ms >= options.timeout_seconds * 1000LL) {
      run.timed_out = true;
      kill(pid, SIGKILL);
    }
    ended = waitpid(pid, &status, run.timed_out ? 0 : WNOHANG);
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (terminal >= 0) close(terminal);
  if (!options.terminal) run.out = read_file(io.file("out"));
  run.err = read_file(io.file("err"));
  return run;
}

CheckedRun run_checked(const std::string& source, const std::string& keywords) {
  TempDir dir;
  write_file(dir.file("#src"), source);
  write_file(dir.file("#kwd"), keywords);
  CheckedRun run;
  run.batch = run_batch(dir.path(), {}, {120});
  run.dst = read_file(dir.file("#dst"));
  run.dbl = read_file(dir.file("#dbl"));
  run.rst = read_file(dir.file("#rst"));
  run.conservation = check_conservation(source, run.dst, run.dbl, run.rst);
  EXPECT_FALSE(run.batch.timed_out);
  EXPECT_EQ(run.batch.status, 0) << run.batch.out << run.batch.err;
  EXPECT_TRUE(run.batch.errors().empty()) << run.batch.out;
  EXPECT_TRUE(read_file(dir.file("#src")) == source && read_file(dir.file("#kwd")) == keywords);
  EXPECT_TRUE(run.conservation.ok()) << run.conservation.describe();
  return run;
}

}  // namespace karvel::testing
