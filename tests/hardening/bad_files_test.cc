// Input files that cannot be read as such (a folder, a missing file, a FIFO,
// a file the user may not read) and outputs that cannot be written (a FIFO
// without reader, a read-only file or folder). Each run must end at once with
// one "Error: " line naming the file, exit status 1, its inputs untouched.
//
// Root reads and writes whatever the permissions say, so when the tests run as
// root the permission cases run karvel-batch as the user "nobody".

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hardening_support.h"
#include "test_support.h"

namespace karvel::hardening {
namespace {

using testing::file_exists;
using testing::read_file;
using testing::split_lines;
using testing::TempDir;
using testing::write_file;

const char kSource[] = "the cat sat on the mat\n\na dog ran\n\nnothing\n\ntail";
const char kKeywords[] = "cat\ndog\n";
const char kUsageFirstLine[] = "Karvel - the program for sorting big files by themes";

class BadFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir_.file("#src"), kSource);
    write_file(dir_.file("#kwd"), kKeywords);
  }

  BatchRun run(const std::vector<std::string>& arguments, bool as_nobody = false) {
    return run_batch_guarded(dir_.path(), arguments, {30, as_nobody, 0});
  }

  // The run ended in time with status 1, exactly one error line, the usage
  // text after it, and the inputs as they were.
  void expect_refused(const BatchRun& run, const std::string& error) {
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(run.errors(), std::vector<std::string>{error}) << run.out;
    EXPECT_TRUE(has_line(run.list(), kUsageFirstLine)) << run.out;
    EXPECT_EQ(read_file(dir_.file("#src")), kSource);
    EXPECT_EQ(read_file(dir_.file("#kwd")), kKeywords);
  }

  // Permissions bind every user but root: as root the program runs as
  // nobody. False when that is impossible.
  bool permissions_apply() {
    unprivileged_ = geteuid() == 0;
    return !unprivileged_ || can_run_as_nobody();
  }

  bool created(const char* name) const { return file_exists(dir_.file(name)); }

  TempDir dir_;
  bool unprivileged_ = false;  // run the program as nobody
};

TEST_F(BadFiles, FolderInsteadOfAFile) {
  ASSERT_EQ(mkdir(dir_.file("folder").c_str(), 0755), 0);
  expect_refused(run({"src=folder"}), "Error: Can't open source file folder");
  // The source is opened before the outputs: none was created.
  EXPECT_FALSE(created("#dst") || created("#dbl") || created("#rst"));

  expect_refused(run({"kwd=folder"}), "Error: Can't open keywords file folder");
  // The outputs were opened (so created) but received nothing.
  EXPECT_EQ(
      read_file(dir_.file("#dst")) + read_file(dir_.file("#dbl")) + read_file(dir_.file("#rst")),
      "");
  std::vector<std::string> protocol = split_lines(read_file(dir_.file("#log")));
  ASSERT_EQ(protocol.size(), 2u);
  EXPECT_EQ(protocol[0], "Error: Can't open keywords file folder");

  // An output that is a folder cannot be opened either.
  expect_refused(run({"rst=folder"}), "Error: Can't open rest file folder");
}

TEST_F(BadFiles, MissingInput) {
  expect_refused(run({"src=no such file"}), "Error: Can't open source file no such file");
  expect_refused(run({"kwd=no such file"}), "Error: Can't open keywords file no such file");
}

TEST_F(BadFiles, FifosAreRefusedWithoutWaiting) {
  // Nobody writes to the FIFO: a run that waited for it would never end.
  ASSERT_EQ(mkfifo(dir_.file("pipe").c_str(), 0666), 0);
  expect_refused(run({"src=pipe"}), "Error: Can't open source file pipe");
  expect_refused(run({"kwd=pipe"}), "Error: Can't open keywords file pipe");
  // Nobody reads it either: an output on it cannot be opened.
  expect_refused(run({"dst=pipe"}), "Error: Can't open destination file pipe");
  expect_refused(run({"rst=pipe"}), "Error: Can't open rest file pipe");
}

TEST_F(BadFiles, InputTheUserMayNotRead) {
  if (!permissions_apply()) GTEST_SKIP() << "root, and cannot run the program as nobody";
  open_folder_to_all(dir_.path());
  chmod(dir_.file("#src").c_str(), 0000);
  BatchRun refused = run({}, unprivileged_);
  chmod(dir_.file("#src").c_str(), 0644);
  expect_refused(refused, "Error: Can't open source file #src");

  chmod(dir_.file("#kwd").c_str(), 0000);
  unlink(dir_.file("#log").c_str());
  refused = run({}, unprivileged_);
  chmod(dir_.file("#kwd").c_str(), 0644);
  expect_refused(refused, "Error: Can't open keywords file #kwd");
}

TEST_F(BadFiles, OutputsTheUserMayNotWrite) {
  if (!permissions_apply()) GTEST_SKIP() << "root, and cannot run the program as nobody";
  open_folder_to_all(dir_.path());
  // A read-only rest file that already holds the user's data.
  write_file(dir_.file("#rst"), "earlier output\n\n");
  chmod(dir_.file("#rst").c_str(), 0444);
  expect_refused(run({}, unprivileged_), "Error: Can't open rest file #rst");
  EXPECT_EQ(read_file(dir_.file("#rst")), "earlier output\n\n");
}

TEST_F(BadFiles, OutputsInAReadOnlyFolder) {
  if (!permissions_apply()) GTEST_SKIP() << "root, and cannot run the program as nobody";
  open_folder_to_all(dir_.path());
  // Inputs readable, the folder closed to writing.
  const std::string folder = dir_.file("read-only");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  write_file(folder + "/#src", kSource);
  write_file(folder + "/#kwd", kKeywords);
  chmod(folder.c_str(), 0555);

  // The protocol comes first and cannot be created: the error goes to the
  // output list only, and no file is made.
  BatchRun refused = run({"src=read-only/#src", "kwd=read-only/#kwd", "log=read-only/#log",
                          "dst=read-only/#dst", "dbl=read-only/#dbl", "rst=read-only/#rst"},
                         unprivileged_);
  expect_refused(refused, "Error: Can't open log file read-only/#log");
  EXPECT_FALSE(file_exists(folder + "/#log") || file_exists(folder + "/#dst"));

  // With the protocol elsewhere, the destination is the first that fails;
  // the protocol holds the same error line.
  refused = run({"src=read-only/#src", "kwd=read-only/#kwd", "log=#log", "dst=read-only/#dst",
                 "dbl=read-only/#dbl", "rst=read-only/#rst"},
                unprivileged_);
  expect_refused(refused, "Error: Can't open destination file read-only/#dst");
  EXPECT_EQ(split_lines(read_file(dir_.file("#log")))[0],
            "Error: Can't open destination file read-only/#dst");
  EXPECT_EQ(read_file(folder + "/#src"), kSource);
}

}  // namespace
}  // namespace karvel::hardening
