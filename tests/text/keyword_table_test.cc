// The keywords file loader (modes, marks, limits, line splits), the filter
// that lets the keyword matcher skip stretches of a line, and the case folding
// and delimiters of code page 866.

#include "text/keyword_table.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "files/output_file.h"
#include "messages/messages.h"
#include "test_support.h"
#include "text/fold.h"
#include "text/keyword_filter.h"
#include "text/words.h"

namespace karvel {
namespace {

using testing::random_text;

// Loads `content` as a keywords file: "K keywords, T themes" (", end" when
// the file was read to its end), then each keyword as text/type/theme (the
// first and the last when there are more than ten). The protocol must hold
// what the load showed.
std::string load(const std::string& content) {
  build_fold_table();
  testing::TempDir dir;
  testing::write_file(dir.file("kwd"), content);
  testing::RecordingView view;
  OutputFile protocol;
  EXPECT_TRUE(protocol.open(dir.file("log"), OutputFile::Mode::kCreate));
  Messages messages;
  messages.set_window(&view);
  messages.set_protocol(&protocol);
  int fd = open(dir.file("kwd").c_str(), O_RDONLY);
  KeywordTable table;
  bool end = false;
  EXPECT_TRUE(table.load_keywords(fd, "kwd", messages, &end).ok());
  close(fd);
  EXPECT_TRUE(protocol.close());
  EXPECT_EQ(testing::read_file(dir.file("log")), view.lines.at(0) + "\n");
  uint32_t n = table.get_keyword_count();
  std::string text = std::to_string(n) + " keywords, " + std::to_string(table.get_theme_count()) +
                     " themes" + (end ? ", end" : "") + ":";
  for (uint32_t k = 0; k < n; k++) {
    if (n > 10 && k != 0 && k + 1 != n) continue;
    text += " " + std::string(table.get_keyword(k)) + "/" +
            std::to_string(table.get_search_type(k)) + "/" +
            std::to_string(table.get_keyword_theme(k));
  }
  return text;
}

TEST(LoadKeywords, MarksModesPortionsAndLimits) {
  std::string many;
  for (int i = 0; i < 5100; i++) many += "word" + std::to_string(i) + "\n";
  const std::string k99(99, 'k'), k51(51, 'k'), m99(99, 'm');
  const struct {
    std::string content, table;
  } cases[] = {
      // Marks choose the search type and are removed; letters are folded.
      {"'Cat'\n*ing\npre*\n*mid*\na*b\n'*x\nDog\n\tTab \n*\n",
       "9 keywords, 9 themes, end: cat/1/0 ing/3/1 pre/2/2 mid/0/3 ab/2/4 x/1/5 dog/0/6 "
       "\ttab /0/7 /3/8"},
      // Keyword mode: separators are comments.
      {"alpha\n beta comment\n`gamma comment\nDELTA\n\n\nx\nomega",
       "4 keywords, 4 themes, end: alpha/0/0 delta/0/1 x/0/2 omega/0/3"},
      // Five short lines (under three characters) make separator mode.
      {"p\nq\n\n\nr\n\ns\n", "4 keywords, 3 themes, end: p/0/0 q/0/0 r/0/2 s/0/3"},
      {"a\nb\nc\nd\ne\n", "5 keywords, 0 themes, end: a/0/0 b/0/0 c/0/0 d/0/0 e/0/0"},
      {"a\nb\nc\nd\n", "4 keywords, 4 themes, end: a/0/0 b/0/1 c/0/2 d/0/3"},
      // A separator at the top leaves theme 0 empty; a last line without its
      // line feed is short too.
      {"\n\ncat\n dog\n`x\nbird\n\n\nz", "3 keywords, 6 themes, end: cat/0/2 bird/0/4 z/0/6"},
      // Lines are read in portions of 99 characters; the lone line feed
      // after 99 characters is an empty separator line.
      {std::string(150, 'k') + "\n" + m99 + "\nend\n",
       "4 keywords, 4 themes, end: " + k99 + "/0/0 " + k51 + "/0/1 " + m99 + "/0/2 end/0/3"},
      {many, "4999 keywords, 4999 themes: word0/0/0 word4998/0/4998"},
      {many.substr(0, many.find("word4999")),
       "4999 keywords, 4999 themes: word0/0/0 word4998/0/4998"},
      {"first\n" + std::string(5000, '\n') + "late\n", "1 keywords, 4999 themes: first/0/0"},
      {"a\nb\nc\nd\ne\n" + many, "4999 keywords, 0 themes: a/0/0 word4993/0/0"},
      {"", "0 keywords, 0 themes, end:"},
  };
  for (const auto& c : cases) EXPECT_EQ(load(c.content), c.table) << c.content.substr(0, 40);

  // A directory opens for reading but every read fails.
  testing::TempDir dir;
  int fd = open(dir.path().c_str(), O_RDONLY);
  KeywordTable table;
  Messages messages;
  bool reached_end = true;
  Status status = table.load_keywords(fd, "words.kwd", messages, &reached_end);
  close(fd);
  EXPECT_EQ(status.text(), "Can't read keywords file words.kwd: Is a directory");
  EXPECT_FALSE(reached_end);
}

// The matcher skips the stretches of a line where the filter passes no
// position, so no position where a keyword begins may fail it: thousands of
// keywords or a few, short and long, over a few bytes or all of them, in
// lines of every length.
TEST(KeywordFilter, PassesEveryPositionWhereAKeywordBegins) {
  std::mt19937 rng(4);
  std::string every_byte;
  for (int b = 1; b < 256; b++) every_byte += static_cast<char>(b);
  for (int round = 0; round < 24; round++) {
    const std::string letters = round % 2 == 0 ? "ab\x80\x9f\xd0\xd1 " : every_byte;
    KeywordTable table;
    std::vector<std::string> keywords;
    size_t count = round % 3 == 0 ? 3000 : 1 + rng() % 40;
    for (size_t k = 0; k < count; k++) {
      keywords.push_back(random_text(rng, letters, 1 + rng() % (rng() % 4 == 0 ? 99 : 12)));
      table.add_keyword(keywords.back().c_str(), SEARCH_ANYWHERE, static_cast<uint32_t>(k));
    }
    KeywordFilter filter;
    build_keyword_filter(table, &filter);
    if (!filter.in_use) GTEST_SKIP() << "the filter needs AVX2";
    for (int l = 0; l < 32; l++) {
      std::string line = random_text(rng, letters, rng() % 200);
      line.insert(rng() % (line.size() + 1), keywords[rng() % count]);
      std::vector<unsigned char> padded(line.begin(), line.end());
      padded.resize(line.size() + kFilterPadding, 0);
      std::vector<uint64_t> passed((line.size() + 63) / 64);
      find_keyword_candidates(filter, padded.data(), line.size(), passed.data());
      for (const std::string& keyword : keywords) {
        for (size_t at = line.find(keyword); at != std::string::npos;
             at = line.find(keyword, at + 1)) {
          ASSERT_TRUE(passed[at / 64] >> (at % 64) & 1) << "round " << round << " at " << at;
        }
      }
    }
  }
}

// Code page 866: every byte folded (alone and in one long line) and judged
// a delimiter or not; folding stops at the line feed or the NUL.
TEST(Words, FoldingAndDelimitersOfEveryByte) {
  build_fold_table();
  const std::string delimiters = " \t,.;:!?-()\"\r\n";
  std::string all, all_folded;
  for (int v = 1; v < 256; v++) {
    int expected = v;
    if ((v >= 'A' && v <= 'Z') || (v >= 128 && v <= 143)) expected = v + 32;
    if (v >= 144 && v <= 159) expected = v + 80;
    std::string alone = {static_cast<char>(v), 'A'};  // the short path: byte by byte
    fold_line(alone.data());
    if (v != '\n') {
      EXPECT_EQ(alone, std::string({static_cast<char>(expected), 'a'})) << v;
      all += static_cast<char>(v);
      all_folded += static_cast<char>(expected);
    }
    bool delimiter = delimiters.find(static_cast<char>(v)) != std::string::npos;
    EXPECT_EQ(is_delimiter(v), delimiter ? 1 : 0) << "byte " << v;
  }
  EXPECT_EQ(is_delimiter(0), 1);
  EXPECT_EQ(is_delimiter(-128), 0);  // a signed char 128 is not a delimiter
  fold_line(all.data());
  EXPECT_EQ(all, all_folded);
  std::string line("ABCDEFGHIJKLMNOPQRSTU\nCD\0EF", 27);
  fold_line(line.data());
  EXPECT_EQ(line, std::string("abcdefghijklmnopqrstu\nCD\0EF", 27));
  line = std::string("AB\0CD", 5);
  fold_line(line.data());
  EXPECT_EQ(line, std::string("ab\0CD", 5));
}

}  // namespace
}  // namespace karvel
