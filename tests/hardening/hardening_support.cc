// Runs with the default switches, guarded runs of karvel-batch (time limit,
// optionally as "nobody"), and the checks every run must pass.

#include "hardening_support.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include <gtest/gtest.h>

#include "test_support.h"

namespace karvel::hardening {

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
  static testing::TempDir folder;
  static const std::string path = [] {
    chmod(folder.path().c_str(), 0755);
    std::string copy = folder.file("karvel-batch");
    testing::write_file(copy, testing::read_file(KARVEL_BATCH_PATH));
    chmod(copy.c_str(), 0755);
    return copy;
  }();
  return path.c_str();
}

}  // namespace

RunNames RunNames::defaults_in(const std::string& dir) {
  return {dir + "/#src", dir + "/#dst", dir + "/#dbl", dir + "/#rst", dir + "/#kwd", dir + "/#log"};
}

int run_defaults(RunContext& context, RunView& view, const RunNames& names, uint32_t length_ratio,
                 uint32_t similarity_ratio) {
  return context.run_processing(&view, /*debug=*/0, /*check_similarity=*/1, /*sort=*/1,
                                /*rst_eq_dst=*/1, names.src, names.dst, names.dbl, names.rst,
                                names.kwd, names.log, length_ratio, similarity_ratio);
}

std::vector<std::string> error_lines(const std::vector<std::string>& lines) {
  std::vector<std::string> errors;
  for (const std::string& line : lines) {
    if (line.rfind("Error: ", 0) == 0) errors.push_back(line);
  }
  return errors;
}

std::vector<std::string> BatchRun::list() const { return testing::split_lines(out); }

BatchRun run_batch_guarded(const std::string& dir, const std::vector<std::string>& arguments,
                           const BatchOptions& options) {
  BatchRun run;
  int out_pipe[2], err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return run;
  if (pipe2(err_pipe, O_CLOEXEC) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    return run;
  }
  const char* path = program(options.as_nobody);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) {
    int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    for (int fd : {null_fd, out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
    if (options.file_size_limit != 0) {
      rlimit limit = {options.file_size_limit, options.file_size_limit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(124);
    }
    if (options.as_nobody && !become_nobody()) _exit(125);
    if (chdir(dir.c_str()) != 0) _exit(126);
    execv(path, argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
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

void open_folder_to_all(const std::string& path, bool writable) {
  chmod(path.c_str(), writable ? 0777 : 0555);
}

CheckedRun run_checked(const std::string& source, const std::string& keywords,
                       const std::vector<std::string>& extra_arguments, int timeout_seconds) {
  testing::TempDir dir;
  testing::write_file(dir.file("#src"), source);
  testing::write_file(dir.file("#kwd"), keywords);
  CheckedRun run;
  run.batch = run_batch_guarded(dir.path(), extra_arguments, {timeout_seconds, false});
  auto read_if_there = [&](const char* name) {
    return testing::file_exists(dir.file(name)) ? testing::read_file(dir.file(name)) : "";
  };
  run.dst = read_if_there("#dst");
  run.dbl = read_if_there("#dbl");
  run.rst = read_if_there("#rst");
  run.log = read_if_there("#log");
  run.inputs_unchanged = testing::read_file(dir.file("#src")) == source &&
                         testing::read_file(dir.file("#kwd")) == keywords;
  run.conservation = check_conservation(source, run.dst, run.dbl, run.rst);
  return run;
}

bool has_line(const std::vector<std::string>& list, const std::string& line) {
  for (const std::string& l : list) {
    if (l == line) return true;
  }
  return false;
}

void expect_completed_and_conserved(const CheckedRun& run) {
  EXPECT_FALSE(run.batch.timed_out);
  EXPECT_EQ(run.batch.status, 0) << run.batch.out << run.batch.err;
  EXPECT_TRUE(run.batch.errors().empty()) << run.batch.out;
  EXPECT_TRUE(run.inputs_unchanged);
  EXPECT_TRUE(run.conservation.ok()) << run.conservation.describe();
}

}  // namespace karvel::hardening
