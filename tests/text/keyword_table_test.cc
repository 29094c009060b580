// The keywords file loader (modes, marks, limits, line splits) and the rule
// that judges one keyword in a block.

#include "text/keyword_table.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "files/output_file.h"
#include "messages/messages.h"
#include "test_support.h"
#include "text/current_block.h"
#include "text/fold.h"

namespace karvel {
namespace {

using testing::RecordingView;
using testing::TempDir;

// Loads `content` as a keywords file: "K keywords, T themes" (", end" when
// the file was read to its end), then each keyword as text/type/theme (the
// first and the last when there are more than ten). *shown gets what the
// load showed, and the protocol must hold the same.
std::string load(const std::string& content, std::vector<std::string>* shown = nullptr) {
  build_fold_table();
  TempDir dir;
  testing::write_file(dir.file("kwd"), content);
  RecordingView view;
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
  if (shown != nullptr) *shown = view.lines;
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
  std::vector<std::string> shown;
  load(many, &shown);
  EXPECT_EQ(shown, (std::vector<std::string>{"4999 keywords, 4999 themes got from kwd file"}));

  // A directory opens for reading but every read fails.
  TempDir dir;
  int fd = open(dir.path().c_str(), O_RDONLY);
  KeywordTable table;
  Messages messages;
  bool reached_end = true;
  Status status = table.load_keywords(fd, "words.kwd", messages, &reached_end);
  close(fd);
  EXPECT_EQ(status.text(), "Can't read keywords file words.kwd: Is a directory");
  EXPECT_FALSE(reached_end);
}

// A block of `lines`, folded as the block reader stores them.
CurrentBlock block_of(const std::vector<std::string>& lines) {
  CurrentBlock block;
  EXPECT_TRUE(block.create(static_cast<uint32_t>(lines.size()) + 1).ok());
  for (const std::string& line : lines) EXPECT_TRUE(block.append_line(line.c_str()).ok());
  return block;
}

// The rule as written: the first line holding the keyword decides, by its
// first occurrence.
TEST(KeywordInBlock, FirstOccurrenceInTheFirstLineHoldingItDecides) {
  const struct {
    std::vector<std::string> lines;
    const char* keyword;
    uint32_t type;
    int found;
  } cases[] = {
      {{"concat here\n", "cat\n"}, "cat", SEARCH_WHOLE_WORD, 0},
      {{"dog\n", "a CAT!\n"}, "cat", SEARCH_WHOLE_WORD, 1},
      {{"bobcat catalog\n"}, "cat", SEARCH_WORD_START, 0},
      {{"catalog bobcat\n"}, "cat", SEARCH_WORD_START, 1},
      {{"the cat\n"}, "cat", SEARCH_WORD_END, 1},
      {{"the cat"}, "cat", SEARCH_WHOLE_WORD, 1},
      {{"cats cat\n"}, "cat", SEARCH_WORD_END, 0},
      {{"xcatx\n"}, "cat", SEARCH_ANYWHERE, 1},
      {{"dog\n", "\n"}, "cat", SEARCH_ANYWHERE, 0},
      {{"a cat \n"}, "cat ", SEARCH_ANYWHERE, 1},
      {{"a cat\n"}, "cat ", SEARCH_ANYWHERE, 0},
      {{"x\n"}, "", SEARCH_WORD_START, 1},
      {{"x\n", "\n"}, "", SEARCH_WHOLE_WORD, 0},
      {{"\n"}, "", SEARCH_WORD_END, 1},
      {{}, "", SEARCH_ANYWHERE, 0},
  };
  Messages m;
  for (const auto& c : cases) {
    EXPECT_EQ(keyword_in_block(block_of(c.lines), c.keyword, c.type, m), c.found)
        << c.keyword << " in " << (c.lines.empty() ? "nothing" : c.lines[0]);
  }
}

TEST(KeywordInBlock, UnknownSearchTypeIsReportedAndFails) {
  TempDir dir;
  OutputFile protocol;
  ASSERT_TRUE(protocol.open(dir.file("log"), OutputFile::Mode::kCreate));
  Messages m;
  m.set_protocol(&protocol);
  EXPECT_EQ(keyword_in_block(block_of({"cat\n"}), "cat", 7, m), 0);
  EXPECT_EQ(keyword_in_block(block_of({"dog\n"}), "cat", 7, m), 0);
  ASSERT_TRUE(protocol.close());
  EXPECT_EQ(testing::read_file(dir.file("log")), "Bad searching type 7\n");
}

}  // namespace
}  // namespace karvel
