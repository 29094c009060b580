// Outputs on a full disk: /dev/full, which fails every write, and a disk that
// fills up during the run (a file size limit, past which writes fail). Every
// such run must end with an "Error: " line naming the file and the cause and
// exit status 1, never with a report of success; its inputs stay untouched.

#include <sys/mount.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hardening_support.h"
#include "test_support.h"

namespace karvel::hardening {
namespace {

using testing::read_file;
using testing::split_lines;
using testing::TempDir;
using testing::write_file;

// Theme 0 (cat) holds two similar blocks, which go to the doubles file; theme
// 1 (dog) one block, which goes to the destination with Rst=Dst off; one
// block without theme and a tail go to the rest file.
const char kSource[] =
    "the cat sat on the mat\n\nthe cat sat on a mat\n\na dog ran\n\nnothing\n\ntail";
const char kKeywords[] = "cat\ndog\n";

class FullDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir_.file("#src"), kSource);
    write_file(dir_.file("#kwd"), kKeywords);
  }

  BatchRun run(const std::vector<std::string>& arguments, uint64_t file_size_limit = 0) {
    return run_batch_guarded(dir_.path(), arguments, {60, false, file_size_limit});
  }

  // Status 1 and the failure as the first error line; the inputs unchanged.
  void expect_failed(const BatchRun& run, const std::string& error) {
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    ASSERT_FALSE(run.errors().empty()) << run.out;
    EXPECT_EQ(run.errors()[0], error);
    EXPECT_EQ(read_file(dir_.file("#src")), kSource);
    EXPECT_EQ(read_file(dir_.file("#kwd")), kKeywords);
  }

  TempDir dir_;
};

TEST_F(FullDisk, EveryOutputOnDevFullFailsTheRun) {
  expect_failed(run({"dst=/dev/full", "rst_dst=N"}),
                "Error: Can't write destination file /dev/full: No space left on device");
  expect_failed(run({"dbl=/dev/full"}),
                "Error: Can't write doubles file /dev/full: No space left on device");
  expect_failed(run({"rst=/dev/full"}),
                "Error: Can't write rest file /dev/full: No space left on device");
  expect_failed(run({"log=/dev/full"}),
                "Error: Can't write log file /dev/full: No space left on device");
}

TEST_F(FullDisk, DestinationOnDevFullIsNoFaultWhenNothingGoesThere) {
  // With Rst=Dst on the destination receives nothing: the run completes.
  BatchRun completed = run({"dst=/dev/full"});
  EXPECT_EQ(completed.status, 0) << completed.out;
  EXPECT_TRUE(completed.errors().empty());
}

// A disk that fills up during the run, as a file-size limit (the process is
// not killed by SIGXFSZ) and as a real filesystem of 16 KiB (a tmpfs, when
// this process may mount one): the rest file is cut back to what it held
// before the run, so no half block stays for the next run to append to.
TEST_F(FullDisk, DiskThatFillsUpDuringTheRun) {
  // 40 blocks without theme, about 1 KB each: the rest file passes 16 KiB
  // part way, and the write that crosses it fails.
  std::string source;
  for (int b = 0; b < 40; ++b) {
    std::string line = "block " + std::to_string(b) + " " + std::string(90, 'x') + "\n";
    for (int l = 0; l < 10; ++l) source += line;
    source += "\n";
  }
  write_file(dir_.file("#src"), source);
  const std::string earlier = "an earlier run\n\n";
  TempDir small;
  bool mounted = mount("karvel-test", small.path().c_str(), "tmpfs", 0, "size=16k") == 0;
  struct Case {
    std::string rest;
    uint64_t limit;
    const char* cause;
  } cases[] = {{dir_.file("#rst"), 16384, "File too large"},
               {small.file("r.rst"), 0, "No space left on device"}};
  for (const Case& c : cases) {
    if (c.limit == 0 && !mounted) continue;
    write_file(c.rest, earlier);
    BatchRun failed = run({"rst=" + c.rest}, c.limit);
    std::string error = "Error: Can't write rest file " + c.rest + ": " + c.cause;
    EXPECT_EQ(failed.status, 1) << failed.out << failed.err;
    EXPECT_EQ(failed.errors(), std::vector<std::string>{error.substr(0, 79)}) << failed.out;
    EXPECT_TRUE(has_line(failed.list(), "Outputs restored to their size before the run"));
    EXPECT_EQ(read_file(c.rest), earlier);
    EXPECT_EQ(read_file(dir_.file("#src")), source);
    std::vector<std::string> protocol = split_lines(read_file(dir_.file("#log")));
    EXPECT_TRUE(has_line(protocol, error.substr(0, 98)));
    EXPECT_TRUE(has_line(protocol, "Outputs restored to their size before the run"));
  }
  if (mounted) umount(small.path().c_str());
}

// A failed write is one fault and is reported once, with the protocol ending
// on its elapsed-time line as after every other error, not again when the
// failed file is closed.
TEST_F(FullDisk, FailedWriteIsReportedOnce) {
  BatchRun failed = run({"rst=/dev/full"});
  EXPECT_EQ(
      failed.errors(),
      std::vector<std::string>{"Error: Can't write rest file /dev/full: No space left on device"});
  std::vector<std::string> protocol = split_lines(read_file(dir_.file("#log")));
  ASSERT_FALSE(protocol.empty());
  EXPECT_EQ(protocol.back().rfind("The program worked ", 0), 0u) << protocol.back();
}

}  // namespace
}  // namespace karvel::hardening
