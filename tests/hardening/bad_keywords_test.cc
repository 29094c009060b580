// Keywords files that are not the tidy list the program was made for: lines
// of marks only, only separators, thousands of lines, overlong lines, Cyrillic
// capitals, CR LF line ends. Each run goes through karvel-batch with the
// default switches (Rst=Dst: themed blocks first, in theme order, then the
// blocks without theme, all in the rest file) and must complete with exactly
// the outputs below, its inputs unchanged and every block accounted for.

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

namespace karvel::hardening {
namespace {

using namespace karvel::testing;

TEST(BadKeywords, LinesOfMarksOnlyAreEmptyKeywords) {
  // '*' is an empty word-end keyword: it matches a line whose first character
  // is a delimiter, so it takes the empty-line blocks (theme 0). "'" and "''"
  // are empty whole words and match nothing here; '**' matches anywhere, so
  // every other block takes theme 2. Equal blocks of each theme go.
  const std::string source = "the cat\n\nno theme\n\nthe cat\n\n\n\n\n";
  CheckedRun run = run_checked(source, "*\n'\n**\n''\n");
  expect_completed_and_conserved(run);
  EXPECT_TRUE(has_line(run.batch.list(), "4 keywords, 4 themes got from kwd file"));
  EXPECT_TRUE(has_line(run.batch.list(), "2 equal blocks found"));
  EXPECT_TRUE(has_line(run.batch.list(), "1 equal blocks found"));
  EXPECT_EQ(run.rst, "\nthe cat\n\nno theme\n\n");
}

TEST(BadKeywords, OnlySeparatorLines) {
  const std::string source = "a cat\n\nb dog\n\ntail";
  // Five short lines: separator mode, six empty themes, no keyword.
  CheckedRun run = run_checked(source, "\n \n`\n\n` comment\n\n");
  expect_completed_and_conserved(run);
  EXPECT_TRUE(has_line(run.batch.list(), "0 keywords, 6 themes got from kwd file"));
  EXPECT_EQ(run.rst, source);

  // Fewer short lines: keyword mode, where separators are comments.
  run = run_checked(source, " a comment\n` another\n");
  expect_completed_and_conserved(run);
  EXPECT_TRUE(has_line(run.batch.list(), "0 keywords, 0 themes got from kwd file"));
  EXPECT_EQ(run.rst, source);
}

std::string keyword_number(int n) {
  char text[16];
  snprintf(text, sizeof text, "kw%04d", n);
  return text;
}

TEST(BadKeywords, SixThousandLines) {
  // Keyword mode: the first 4999 keywords are taken, the rest ignored.
  std::string keywords;
  for (int n = 0; n < 6000; ++n) keywords += keyword_number(n) + "\n";
  const std::string late = "text kw5500 z\n\n", high = "text kw4998 y\n\n",
                    low = "text kw0001 x\n\n";
  CheckedRun run = run_checked(late + high + low + low, keywords);
  expect_completed_and_conserved(run);
  EXPECT_TRUE(has_line(run.batch.list(), "4999 keywords, 4999 themes got from kwd file"));
  EXPECT_EQ(run.rst, low + high + late);

  // Separator mode: 4998 separators, then "cat" in theme 4998, the highest
  // there is; the loader stops at the next separator and never sees "dog".
  // The block of the highest theme still reaches the output.
  run = run_checked("a dog\n\na cat\n\n", std::string(4998, '\n') + "cat\n\ndog\n");
  expect_completed_and_conserved(run);
  EXPECT_TRUE(has_line(run.batch.list(), "1 keywords, 4999 themes got from kwd file"));
  EXPECT_EQ(run.rst, "a cat\n\na dog\n\n");

  // 6000 lines alternating keyword and separator: theme n for keyword n.
  keywords.clear();
  for (int n = 0; n < 3000; ++n) keywords += keyword_number(n) + "\n\n";
  run = run_checked("x kw2999\n\ny kw0000\n\nz none\n\n", keywords);
  expect_completed_and_conserved(run);
  EXPECT_TRUE(has_line(run.batch.list(), "3000 keywords, 3000 themes got from kwd file"));
  EXPECT_EQ(run.rst, "y kw0000\n\nx kw2999\n\nz none\n\n");
}

TEST(BadKeywords, LinesOfOneHundredFiftyBytesAreTwoKeywords) {
  std::string line;
  while (line.size() < 150) line += "abcdefghij";
  const std::string first = line.substr(0, 99), second = line.substr(99);
  // A block holding the first 99 characters in one read (theme 0), one
  // holding the last 51 (theme 1), and one holding neither.
  const std::string b_first = first + "\n\n", b_second = "x " + second + "\n\n",
                    b_none = "nothing\n\n";
  CheckedRun run = run_checked(b_none + b_second + b_first, line + "\n");
  expect_completed_and_conserved(run);
  EXPECT_TRUE(has_line(run.batch.list(), "2 keywords, 2 themes got from kwd file"));
  EXPECT_EQ(run.rst, b_first + b_second + b_none);
}

TEST(BadKeywords, CyrillicCapitalsOfCodePage866MatchSmallLetters) {
  // 0x80..0x82 are the capitals A, B, V; 0x9F and 0x9E are YA and YU, whose
  // small letters are 0xEF and 0xEE. Blocks are copied with their own bytes.
  const std::string small_abv = "\xA0\xA1\xA2 small letters\n\n";
  const std::string small_yayu = "text \xEF\xEE text\n\n";
  const std::string capital_abv = "\x80\x81\x82 capitals too\n\n";
  const std::string none = "nothing\n\n";
  const std::string keywords = "\x80\x81\x82\n'\x9F\x9E'\n";
  CheckedRun run = run_checked(small_abv + small_yayu + capital_abv + none, keywords);
  expect_completed_and_conserved(run);
  EXPECT_TRUE(has_line(run.batch.list(), "2 keywords, 2 themes got from kwd file"));
  EXPECT_EQ(run.rst, small_abv + capital_abv + small_yayu + none);
}

TEST(BadKeywords, CrLfKeywordsFileReadsLikeItsLfTwin) {
  const std::string source = "a dog\n\na cat\n\nnone\n\n";
  CheckedRun lf = run_checked(source, "cat\n'dog'\n");
  CheckedRun crlf = run_checked(source, "cat\r\n'dog'\r\n");
  expect_completed_and_conserved(lf);
  expect_completed_and_conserved(crlf);
  EXPECT_EQ(lf.rst, "a cat\n\na dog\n\nnone\n\n");
  EXPECT_EQ(crlf.rst, lf.rst);
  EXPECT_EQ(crlf.batch.list(), lf.batch.list());
}

}  // namespace
}  // namespace karvel::hardening
