// Sources and keywords files that are not the tidy text the program was made
// for: empty, without any empty line, NUL bytes, one huge line, one huge
// block, runs of empty lines, every kind of line end; keywords of marks only,
// only separators, thousands of lines, overlong lines, Cyrillic capitals.
// Each run goes through karvel-batch with the default switches (Rst=Dst:
// themed blocks first, in theme order, then the rest, all in the rest file)
// and must complete, leave its inputs alone, account for every byte of the
// source and give exactly the rest file and lines below.

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

std::string repeated(int count, const std::string& text) {
  std::string out;
  for (int i = 0; i < count; ++i) out += text;
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
  const std::string b150 = repeated(15, "abcdefghij");
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
// characters (its line end is an empty read of its own) and a tail.
const std::string kLfSource =
    "the cat sat on the warm mat today\n\n"
    "a dog barked at the mailman\n\n"
    "the cat sat on the warm mat today\n\n"
    "the cat sat on the warm mat yesterday\n\n" +
    std::string(99, 'q') + "\n" + "nothing here\nat all\n\n" + "tail line\n";

TEST(OddInputs, CrLfFilesGiveTheSameRunAsTheirLfTwinsAndKeepTheirBytes) {
  CheckedRun lf = run_checked(kLfSource, "cat\ndog\n");
  expect_completed_and_conserved(lf);
  EXPECT_FALSE(lf.dbl.empty());
  CheckedRun crlf = run_checked(to_crlf(kLfSource), "cat\ndog\n");
  expect_completed_and_conserved(crlf);
  EXPECT_EQ(crlf.batch.list(), lf.batch.list());
  EXPECT_EQ(crlf.rst, to_crlf(lf.rst));
  EXPECT_EQ(crlf.dbl, to_crlf(lf.dbl));
  CheckedRun crlf_keywords = run_checked(kLfSource, "cat\r\ndog\r\n");
  expect_completed_and_conserved(crlf_keywords);
  EXPECT_EQ(crlf_keywords.batch.list(), lf.batch.list());
  EXPECT_EQ(crlf_keywords.rst, lf.rst);
  // Every other line end CR LF: "equal" blocks may differ in their bytes.
  std::string mixed;
  bool cr = false;
  for (char c : kLfSource) {
    if (c == '\n' && (cr = !cr)) mixed += '\r';
    mixed += c;
  }
  CheckedRun run = run_checked(mixed, "cat\ndog\n");
  expect_completed_and_conserved(run);
  EXPECT_EQ(run.batch.list(), lf.batch.list());
}

}  // namespace
}  // namespace karvel::hardening
