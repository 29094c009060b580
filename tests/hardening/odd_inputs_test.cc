// Sources and keywords files that are not the tidy text the program was made
// for: empty, without any empty line, NUL bytes, one huge line, one huge
// block, runs of empty lines, every kind of line end; keywords of marks only,
// only separators, thousands of lines, overlong lines, Cyrillic capitals.
// Each run goes through karvel-batch with the default switches (Rst=Dst:
// themed blocks first, in theme order, then the rest, all in the rest file)
// and must complete, leave its inputs alone, account for every byte of the
// source and give exactly the rest file and lines below. And file names as
// users make them: with blanks, quotes and bytes that are not UTF-8, in paths
// of more than 255 characters; one file named for several outputs, or for
// both inputs. (Names that are refused are in tests/batch.)

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

namespace karvel::hardening {
namespace {

using namespace karvel::testing;

std::string to_crlf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

std::string numbered(int count, const char* format, int modulo = 1 << 30) {
  std::string out;
  for (int n = 0; n < count; ++n) {
    char line[64];
    snprintf(line, sizeof line, format, n % modulo);
    out += line;
  }
  return out;
}

TEST(OddInputs, RunsCompleteAndKeepEverything) {
  const std::string mb10(10 << 20, 'x'), nuls(5000, '\0');
  const std::string ff = std::string(20000, '\xFF') + "\n\n\xFF\n\xFF\xFF\n\n\xFF";
  const std::string huge = numbered(200000, "entry %d of the corpus\n", 7) + "\n";
  // 3393 reads: the same count as 200001 in 16 bits.
  const std::string small = numbered(3392, "entry %d of the corpus\n", 7) + "\n";
  const std::string cr0 = "one\rtwo\nx\r\r\n\r\n", cr1 = "\rthree cat\n\n";
  std::string b150;
  while (b150.size() < 150) b150 += "abcdefghij";
  const std::string low = "text kw0001 x\n\n", high = "text kw4998 y\n\n",
                    late = "text kw5500 z\n\n";
  const std::string abv = "\xA0\xA1\xA2 small letters\n\n", yayu = "text \xEF\xEE text\n\n",
                    cap = "\x80\x81\x82 capitals too\n\n";
  const struct {
    const char* what;
    std::string source, keywords, rst;
    std::vector<std::string> lines;  // among the output list
  } cases[] = {
      {"empty", "", "cat\n", "", {"Find Offsets: 0 blocks", "0 blocks saved in the rest file"}},
      {"no empty line",
       "first\nsecond cat line\nlast without its end",
       "cat\n",
       "first\nsecond cat line\nlast without its end",
       {"0 blocks saved in the rest file", "3 lines after the last block saved in the rest file"}},
      // Only the first NUL read begins a line: one block of 99 bytes and 50 reads.
      {"NULs",
       nuls,
       "cat\n",
       nuls,
       {"1 blocks saved in the rest file", "50 lines after the last block saved in the rest file"}},
      {"0xFF", ff, "cat\n", ff, {}},
      {"a line of 10 MB",
       mb10,
       "x\n",
       mb10,
       {"105917 lines after the last block saved in the rest file"}},
      // Blocks of far more than 32767 reads must not be mistaken for short ones.
      {"10 MB blocks",
       mb10 + "\n\nsmall x\n\n" + mb10 + "\n\n" + mb10,
       "x\n",
       mb10 + "\n\nsmall x\n\n" + mb10,
       {"1 equal blocks found"}},
      {"200000 lines",
       huge + "short\n\n" + huge + "tail",
       "corpus\n",
       huge + "short\n\ntail",
       {"1 equal blocks found"}},
      {"3393 and 200001 reads", small + huge + small, "corpus\n", small + huge, {}},
      {"empty lines in a row",
       "b\n\n\na cat\n\n",
       "cat\n",
       "a cat\n\nb\n\n\n",
       {"2 blocks saved in the rest file"}},
      {"1000 empty lines",
       std::string(1000, '\n'),
       "cat\n",
       std::string(1000, '\n'),
       {"1000 blocks saved in the rest file"}},
      {"CR LF empty lines",
       to_crlf(std::string(300, '\n')),
       "cat\n",
       to_crlf(std::string(300, '\n')),
       {}},
      // "\r\n" alone is an empty line; a CR elsewhere is text.
      {"lone CRs",
       cr0 + cr1 + "last\r",
       "cat\n",
       cr1 + cr0 + "last\r",
       {"1 blocks saved in the rest file", "1 lines after the last block saved in the rest file"}},
      // '*' is an empty word-end keyword: it takes the empty-line blocks
      // (theme 0); "'" and "''" match nothing; '**' takes every other block.
      {"marks only",
       "the cat\n\nno theme\n\nthe cat\n\n\n\n\n",
       "*\n'\n**\n''\n",
       "\nthe cat\n\nno theme\n\n",
       {"4 keywords, 4 themes got from kwd file", "2 equal blocks found", "1 equal blocks found"}},
      // Five short lines: separator mode, six empty themes.
      {"separators only",
       "a cat\n\nb dog\n\ntail",
       "\n \n`\n\n` comment\n\n",
       "a cat\n\nb dog\n\ntail",
       {"0 keywords, 6 themes got from kwd file"}},
      {"comments only",
       "a cat\n\nb dog\n\ntail",
       " a comment\n` another\n",
       "a cat\n\nb dog\n\ntail",
       {"0 keywords, 0 themes got from kwd file"}},
      {"6000 keywords",
       late + high + low + low,
       numbered(6000, "kw%04d\n"),
       low + high + late,
       {"4999 keywords, 4999 themes got from kwd file"}},
      // The loader stops at the separator after theme 4998 and never sees "dog".
      {"4998 separators",
       "a dog\n\na cat\n\n",
       std::string(4998, '\n') + "cat\n\ndog\n",
       "a cat\n\na dog\n\n",
       {"1 keywords, 4999 themes got from kwd file"}},
      {"3000 separated keywords",
       "x kw2999\n\ny kw0000\n\nz none\n\n",
       numbered(3000, "kw%04d\n\n"),
       "y kw0000\n\nx kw2999\n\nz none\n\n",
       {"3000 keywords, 3000 themes got from kwd file"}},
      {"a keyword line of 150 bytes",
       "nothing\n\nx " + b150.substr(99) + "\n\n" + b150.substr(0, 99) + "\n\n",
       b150 + "\n",
       b150.substr(0, 99) + "\n\nx " + b150.substr(99) + "\n\nnothing\n\n",
       {"2 keywords, 2 themes got from kwd file"}},
      // Capitals A, B, V and YA, YU of code page 866 match their small letters.
      {"Cyrillic capitals",
       abv + yayu + cap + "nothing\n\n",
       "\x80\x81\x82\n'\x9F\x9E'\n",
       abv + cap + yayu + "nothing\n\n",
       {"2 keywords, 2 themes got from kwd file"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CheckedRun run = run_checked(c.source, c.keywords);
    expect_completed_and_conserved(run);
    EXPECT_EQ(run.rst.size(), c.rst.size());
    EXPECT_TRUE(run.rst == c.rst);
    EXPECT_EQ(run.dst + run.dbl, "");
    for (const std::string& line : c.lines) EXPECT_TRUE(has_line(run.batch.list(), line)) << line;
  }
}

// Themes, an exact duplicate, a near duplicate, a line of exactly 99
// characters (its line end is an empty read of its own) and a tail: with CR LF
// line ends in the source, in the keywords or in every other source line, the
// run shows what it shows with LF, and a CR LF source gives the LF outputs
// with CR LF.
TEST(OddInputs, CrLfFilesGiveTheSameRunAsTheirLfTwinsAndKeepTheirBytes) {
  const std::string source =
      "the cat sat on the warm mat today\n\na dog barked at the mailman\n\n"
      "the cat sat on the warm mat today\n\nthe cat sat on the warm mat yesterday\n\n" +
      std::string(99, 'q') + "\nnothing here\nat all\n\ntail line\n";
  std::string mixed;
  bool cr = false;
  for (char c : source) mixed += c == '\n' && (cr = !cr) ? "\r\n" : std::string(1, c);
  CheckedRun lf = run_checked(source, "cat\ndog\n");
  expect_completed_and_conserved(lf);
  EXPECT_FALSE(lf.dbl.empty());
  const struct {
    std::string source, keywords, rst, dbl;  // the outputs when known
  } twins[] = {{to_crlf(source), "cat\ndog\n", to_crlf(lf.rst), to_crlf(lf.dbl)},
               {source, "cat\r\ndog\r\n", lf.rst, lf.dbl},
               {mixed, "cat\ndog\n", "", ""}};
  for (const auto& twin : twins) {
    CheckedRun run = run_checked(twin.source, twin.keywords);
    expect_completed_and_conserved(run);
    EXPECT_EQ(run.batch.list(), lf.batch.list());
    if (twin.rst.empty()) continue;  // "equal" blocks may differ in their bytes
    EXPECT_EQ(run.rst, twin.rst);
    EXPECT_EQ(run.dbl, twin.dbl);
  }
}

// Runs with such names complete and write where they were told.
TEST(OddInputs, OddNamesLongPathsAndSharedFilesWriteWhereTheyAreTold) {
  const std::string source =
      "the cat sat on the mat\n\nthe cat sat on the mat\n\nthe cat sat on a mat\n\n"
      "a dog ran\n\nnothing\n\ntail";
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
    auto at = [&](const std::string& name) { return name[0] == '/' ? name : dir.file(name); };
    for (const std::string* name : {&c.dst, &c.dbl, &c.rst}) unlink(at(*name).c_str());
    write_file(at(c.src), source);
    if (c.kwd != c.src) write_file(at(c.kwd), "cat\ndog\n");
    BatchRun completed =
        run_batch(dir.path(), {"src=" + c.src, "kwd=" + c.kwd, "dst=" + c.dst, "dbl=" + c.dbl,
                               "rst=" + c.rst, "log=" + c.log, "rst_dst=" + c.rst_dst});
    EXPECT_EQ(completed.status, 0) << completed.out;
    EXPECT_TRUE(completed.errors().empty());
    std::string outputs = read_file(at(c.dbl));
    if (c.dst != c.dbl) outputs += read_file(at(c.dst));
    if (c.rst != c.dbl) outputs += read_file(at(c.rst));
    ConservationResult result = check_conservation(source, "", "", outputs);
    EXPECT_TRUE(result.ok()) << result.describe();
    EXPECT_EQ(read_file(at(c.src)), source);
    std::vector<std::string> protocol = split_lines(read_file(at(c.log)));
    EXPECT_TRUE(has_line(protocol, ("src_file_name='" + c.src + "', ").substr(0, 98)));
    // Lines are cut to their capacity, never written past it.
    for (const std::string& line : completed.list()) EXPECT_LE(line.size(), 79u);
    for (const std::string& line : protocol) EXPECT_LE(line.size(), 98u);
  }
}

}  // namespace
}  // namespace karvel::hardening
