// File names as users make them: with blanks, quotes and bytes that are not
// UTF-8, in paths of more than 255 characters; one file named for several
// outputs, or for both inputs. Such a run completes and writes where it was
// told. (Names that are refused are in tests/batch.)

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

namespace karvel::hardening {
namespace {

using namespace karvel::testing;

const char kSource[] =
    "the cat sat on the mat\n\nthe cat sat on the mat\n\nthe cat sat on a mat\n\n"
    "a dog ran\n\nnothing\n\ntail";
const char kKeywords[] = "cat\ndog\n";

TEST(FileNames, OddNamesLongPathsAndSharedFilesWriteWhereTheyAreTold) {
  TempDir dir;
  // Three folders of 100 characters: every name there is a path of over 300.
  std::string deep = dir.path();
  for (char c : {'a', 'b', 'c'}) {
    deep += "/" + std::string(100, c);
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  }
  const struct {
    std::string src, kwd, dst, dbl, rst, log, rst_dst;
  } cases[] = {
      {"my source 'q' \"d\".txt", "key words \xFF\xFE.txt", "out \xE9\xE8 dst", "dbl\"x;`ls`",
       "rest 'file' $HOME *", " log\tfile ", "Y"},
      {deep + "/#src", deep + "/#kwd", deep + "/#dst", deep + "/#dbl", deep + "/#rst",
       deep + "/#log", "N"},
      // One stream: doubles during the themes, then the themed blocks and
      // the rest, then the tail.
      {"#src", "#kwd", "all", "all", "all", "#log", "Y"},
      {"#src", "#kwd", "all", "all", "all", "#log", "N"},
      {"#src", "#src", "#dst", "#dbl", "#rst", "#log", "Y"},  // both only read: allowed
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.src + " " + c.dst);
    for (const std::string* name : {&c.dst, &c.dbl, &c.rst})
      unlink((dir.path() + "/" + *name).c_str());
    auto at = [&](const std::string& name) { return name[0] == '/' ? name : dir.file(name); };
    write_file(at(c.src), kSource);
    if (c.kwd != c.src) write_file(at(c.kwd), kKeywords);
    BatchRun completed =
        run_batch(dir.path(), {"src=" + c.src, "kwd=" + c.kwd, "dst=" + c.dst, "dbl=" + c.dbl,
                               "rst=" + c.rst, "log=" + c.log, "rst_dst=" + c.rst_dst});
    EXPECT_EQ(completed.status, 0) << completed.out;
    EXPECT_TRUE(completed.errors().empty());
    std::string outputs = read_file(at(c.dbl));
    if (c.dst != c.dbl) outputs += read_file(at(c.dst));
    if (c.rst != c.dbl) outputs += read_file(at(c.rst));
    ConservationResult result = check_conservation(kSource, "", "", outputs);
    EXPECT_TRUE(result.ok()) << result.describe();
    EXPECT_EQ(read_file(at(c.src)), kSource);
    std::vector<std::string> protocol = split_lines(read_file(at(c.log)));
    EXPECT_TRUE(has_line(protocol, ("src_file_name='" + c.src + "', ").substr(0, 98)));
    // Lines are cut to their capacity, never written past it.
    for (const std::string& line : completed.list()) EXPECT_LE(line.size(), 79u);
    for (const std::string& line : protocol) EXPECT_LE(line.size(), 98u);
  }
}

}  // namespace
}  // namespace karvel::hardening
