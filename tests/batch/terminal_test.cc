// karvel-batch on a terminal: code page 866 text (here the blocks of the
// similarity question) goes to a terminal in the terminal's encoding, to a
// pipe as the bytes it is.

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

namespace karvel::testing {
namespace {

TEST(Terminal, Cp866TextIsConvertedForATerminalOnly) {
  const std::vector<std::pair<std::string, std::string>> lines = {
      {"\xAA\xAE\xE2 \xE1\xA8\xA4\xA5\xAB \xAD\xA0 \xAA\xAE\xA2\xE0\xA5", "кот сидел на ковре"},
      {"\xAA\xAE\xE2 \xE1\xA8\xA4\xA5\xAB \xAD\xA0 \xAA\xE0\xEB\xE8\xA5", "кот сидел на крыше"}};
  TempDir dir;
  write_file(dir.file("#kwd"), "\xAA\xAE\xE2\n");
  write_file(dir.file("#src"), lines[0].first + "\n\n" + lines[1].first + "\n\n");
  BatchRun piped = run_batch(dir.path(), {"ans=n"});
  ASSERT_EQ(piped.status, 0) << piped.err;
  std::string expected = piped.out;
  for (const auto& [cp866, utf8] : lines) {
    expected.replace(expected.find(cp866), cp866.size(), utf8);
  }
  ASSERT_NE(expected, piped.out);
  // The same run with standard output on a terminal in a UTF-8 locale.
  int terminal, side;
  ASSERT_EQ(openpty(&terminal, &side, nullptr, nullptr, nullptr), 0);
  pid_t pid = fork();
  if (pid == 0) {
    int none = open("/dev/null", O_RDWR);
    dup2(none, 0);
    dup2(side, 1);
    dup2(none, 2);
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    setenv("LC_ALL", "C.UTF-8", 1);
    execl(KARVEL_BATCH_PATH, KARVEL_BATCH_PATH, "ans=n", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(side);
  std::string shown;
  char chunk[4096];
  for (ssize_t got; (got = read(terminal, chunk, sizeof chunk)) > 0;) shown.append(chunk, got);
  close(terminal);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(status, 0);
  shown.erase(std::remove(shown.begin(), shown.end(), '\r'), shown.end());  // the terminal's CR LF
  EXPECT_EQ(shown, expected);
}

}  // namespace
}  // namespace karvel::testing
