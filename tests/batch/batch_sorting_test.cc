// Sorting by themes through karvel-batch: theme order, source order within a
// theme, the switches, long names and bytes that a line's text does not show.

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

namespace karvel {
namespace {

using testing::read_file;
using testing::run_batch;
using testing::TempDir;
using testing::write_file;

class BatchSortingTest : public ::testing::Test {
 protected:
  int run(const std::vector<std::string>& arguments) {
    return run_batch(dir_.path(), arguments, "", &out_, &err_);
  }
  TempDir dir_;
  std::string out_, err_;
};

TEST_F(BatchSortingTest, ThemedBlocksComeOutInThemeOrderAndSourceOrderWithin) {
  // Keyword mode: each keyword is a theme, numbered in file order.
  write_file(dir_.file("#kwd"), "zebra\napple\n");
  write_file(dir_.file("#src"),
             "apple one\n\nzebra one\n\nneither\n\napple two\nsecond line\n\nZEBRA two\n\n");
  ASSERT_EQ(run({"rst_dst=N", "similar=N"}), 0) << out_;
  EXPECT_EQ(read_file(dir_.file("#dst")),
            "zebra one\n\nZEBRA two\n\napple one\n\napple two\nsecond line\n\n");
  EXPECT_EQ(read_file(dir_.file("#rst")), "neither\n\n");
  ASSERT_EQ(run({"rst_dst=N", "similar=N", "sort=0"}), 0);
  EXPECT_EQ(read_file(dir_.file("#rst")), "neither\n\nneither\n\n");  // appended
  EXPECT_EQ(read_file(dir_.file("#dst")),
            "zebra one\n\nZEBRA two\n\napple one\n\napple two\nsecond line\n\n");  // unchanged
}

TEST_F(BatchSortingTest, NamesOfAnyLengthAreUsedWhole) {
  // A name cut to 79 characters would write to another file.
  std::string long_name = std::string(120, 'd') + ".out";
  write_file(dir_.file("#kwd"), "cat\n");
  write_file(dir_.file("#src"), "cat\n\n");
  ASSERT_EQ(run({"rst_dst=N", "dst=" + long_name}), 0) << out_;
  EXPECT_EQ(read_file(dir_.file(long_name)), "cat\n\n");
  EXPECT_FALSE(testing::file_exists(dir_.file(long_name.substr(0, 79))));
  // The parameter line shows the name cut to the line's capacity.
  std::vector<std::string> lines = testing::split_lines(out_);
  EXPECT_NE(
      std::find(lines.begin(), lines.end(), ("dst_file_name='" + long_name + "'").substr(0, 79)),
      lines.end());
}

TEST_F(BatchSortingTest, CopiesKeepEveryByteOfLinesWithNulAndCr) {
  // Matching sees a line up to its first NUL; the copy writes it all.
  std::string block("cat\0hidden tail\r\nline two\r\n\r\n", 29);
  write_file(dir_.file("#kwd"), "cat\n");
  write_file(dir_.file("#src"), block + std::string("x\0cat\n\n", 7) + "last");
  ASSERT_EQ(run({"rst_dst=N"}), 0) << out_;
  EXPECT_EQ(read_file(dir_.file("#dst")), block);
  EXPECT_EQ(read_file(dir_.file("#rst")), std::string("x\0cat\n\nlast", 11));
}

}  // namespace
}  // namespace karvel
