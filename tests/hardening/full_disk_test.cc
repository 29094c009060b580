// Outputs on a full disk: /dev/full, which fails every write, and a disk that
// fills up during the run (a file size limit, past which writes fail). Every
// such run must end with an "Error: " line naming the file and the cause and
// exit status 1, never with a report of success; its inputs stay untouched.

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

TEST_F(FullDisk, DiskThatFillsUpDuringTheRun) {
  // 40 blocks without theme, about 1 KB each: the rest file passes the
  // 8 KB limit part way, and the write that crosses it fails.
  std::string source;
  for (int b = 0; b < 40; ++b) {
    std::string line = "block " + std::to_string(b) + " " + std::string(90, 'x') + "\n";
    for (int l = 0; l < 10; ++l) source += line;
    source += "\n";
  }
  write_file(dir_.file("#src"), source);
  BatchRun failed = run({}, 8192);
  EXPECT_FALSE(failed.timed_out);
  EXPECT_EQ(failed.status, 1) << failed.out << failed.err;
  ASSERT_FALSE(failed.errors().empty()) << failed.out;
  EXPECT_EQ(failed.errors()[0], "Error: Can't write rest file #rst: File too large");
  // What did reach the disk is the start of the output, as it should be.
  std::string rest = read_file(dir_.file("#rst"));
  EXPECT_EQ(rest.size(), 8192u);
  EXPECT_EQ(rest, source.substr(0, rest.size()));
  EXPECT_EQ(read_file(dir_.file("#src")), source);
  // The protocol tells the same.
  std::vector<std::string> protocol = split_lines(read_file(dir_.file("#log")));
  EXPECT_TRUE(has_line(protocol, "Error: Can't write rest file #rst: File too large"));
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
