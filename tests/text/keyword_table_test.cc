// The keywords file loader (modes, marks, limits, line splits, CR LF) and the
// rule that judges one keyword in a block.

#include "text/keyword_table.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "files/output_file.h"
#include "messages/messages.h"
#include "test_support.h"
#include "tests/text/block_of.h"
#include "text/current_block.h"
#include "text/fold.h"

namespace karvel {
namespace {

using testing::RecordingView;
using testing::TempDir;

// Loads `content` as a keywords file; keeps what the load showed.
struct LoadedFile {
  KeywordTable table;
  Status status;
  bool reached_end = false;
  std::vector<std::string> shown;  // output-list lines
  std::string protocol;            // protocol text
};

void load(const std::string& content, LoadedFile* loaded) {
  build_fold_table();
  TempDir dir;
  testing::write_file(dir.file("kwd"), content);
  RecordingView view;
  OutputFile protocol;
  ASSERT_TRUE(protocol.open(dir.file("log"), OutputFile::Mode::kCreate));
  Messages messages;
  messages.set_window(&view);
  messages.set_protocol(&protocol);
  int fd = open(dir.file("kwd").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  loaded->status = loaded->table.load_keywords(fd, "kwd", messages, &loaded->reached_end);
  close(fd);
  ASSERT_TRUE(protocol.close());
  loaded->shown = view.lines;
  loaded->protocol = testing::read_file(dir.file("log"));
}

std::vector<uint32_t> themes_of(const KeywordTable& table) {
  std::vector<uint32_t> themes;
  for (uint32_t i = 0; i < table.get_keyword_count(); i++) {
    themes.push_back(table.get_keyword_theme(i));
  }
  return themes;
}

TEST(LoadKeywords, MarksChooseSearchTypeAndAreRemoved) {
  LoadedFile f;
  load("'Cat'\n*ing\npre*\n*mid*\na*b\n'*x\nDog\n\tTab \n*\n", &f);
  ASSERT_TRUE(f.status.ok());
  const std::vector<std::pair<std::string, uint32_t>> expected = {
      {"cat", SEARCH_WHOLE_WORD}, {"ing", SEARCH_WORD_END},    {"pre", SEARCH_WORD_START},
      {"mid", SEARCH_ANYWHERE},   {"ab", SEARCH_WORD_START},   {"x", SEARCH_WHOLE_WORD},
      {"dog", SEARCH_ANYWHERE},   {"\ttab ", SEARCH_ANYWHERE}, {"", SEARCH_WORD_END}};
  ASSERT_EQ(f.table.get_keyword_count(), expected.size());
  for (uint32_t i = 0; i < expected.size(); i++) {
    EXPECT_EQ(f.table.get_keyword(i), expected[i].first) << i;
    EXPECT_EQ(f.table.get_search_type(i), expected[i].second) << i;
  }
}

TEST(LoadKeywords, KeywordModeGivesEveryKeywordItsTheme) {
  LoadedFile f;
  load("alpha\n beta comment\n`gamma comment\nDELTA\n\n\nx\nomega", &f);
  ASSERT_TRUE(f.status.ok());
  EXPECT_TRUE(f.reached_end);
  ASSERT_EQ(f.table.get_keyword_count(), 4u);
  EXPECT_STREQ(f.table.get_keyword(1), "delta");
  EXPECT_STREQ(f.table.get_keyword(3), "omega");
  EXPECT_EQ(themes_of(f.table), (std::vector<uint32_t>{0, 1, 2, 3}));
  EXPECT_EQ(f.table.get_theme_count(), 4u);
  EXPECT_EQ(f.shown, (std::vector<std::string>{"4 keywords, 4 themes got from kwd file"}));
  EXPECT_EQ(f.protocol, "4 keywords, 4 themes got from kwd file\n");
}

TEST(LoadKeywords, SeparatorModeGroupsKeywordsIntoThemes) {
  LoadedFile f;
  load("p\nq\n\n\nr\n\ns\n", &f);
  EXPECT_EQ(themes_of(f.table), (std::vector<uint32_t>{0, 0, 2, 3}));
  EXPECT_EQ(f.table.get_theme_count(), 3u);
  EXPECT_EQ(f.shown, (std::vector<std::string>{"4 keywords, 3 themes got from kwd file"}));

  // Five one-character keywords are five short lines, even with no empty line.
  LoadedFile five;
  load("a\nb\nc\nd\ne\n", &five);
  EXPECT_EQ(themes_of(five.table), (std::vector<uint32_t>{0, 0, 0, 0, 0}));
  EXPECT_EQ(five.table.get_theme_count(), 0u);
  LoadedFile four;
  load("a\nb\nc\nd\n", &four);
  EXPECT_EQ(themes_of(four.table), (std::vector<uint32_t>{0, 1, 2, 3}));

  // A separator line at the top leaves theme 0 empty; blank and back-quote
  // lines separate too; a line ending the file without its line feed is short.
  LoadedFile top;
  load("\n\ncat\n dog\n`x\nbird\n\n\nz", &top);
  EXPECT_EQ(themes_of(top.table), (std::vector<uint32_t>{2, 4, 6}));
  EXPECT_EQ(top.table.get_theme_count(), 6u);
}

TEST(LoadKeywords, LongLinesAreReadIn99CharacterPortions) {
  LoadedFile f;
  load(std::string(150, 'k') + "\n" + std::string(99, 'm') + "\nend\n", &f);
  // The lone line feed after the 99 m's is an empty separator line.
  ASSERT_EQ(f.table.get_keyword_count(), 4u);
  EXPECT_EQ(f.table.get_keyword(0), std::string(99, 'k'));
  EXPECT_EQ(f.table.get_keyword(1), std::string(51, 'k'));
  EXPECT_EQ(f.table.get_keyword(2), std::string(99, 'm'));
  EXPECT_STREQ(f.table.get_keyword(3), "end");
  EXPECT_EQ(themes_of(f.table), (std::vector<uint32_t>{0, 1, 2, 3}));
}

TEST(LoadKeywords, StopsAt4999KeywordsOr4999Themes) {
  std::string many;
  for (int i = 0; i < 5100; i++) many += "word" + std::to_string(i) + "\n";
  LoadedFile f;
  load(many, &f);
  EXPECT_EQ(f.table.get_keyword_count(), 4999u);
  EXPECT_EQ(f.table.get_theme_count(), 4999u);
  EXPECT_STREQ(f.table.get_keyword(4998), "word4998");
  EXPECT_FALSE(f.reached_end);
  EXPECT_EQ(f.shown, (std::vector<std::string>{"4999 keywords, 4999 themes got from kwd file"}));

  LoadedFile exact;
  load(many.substr(0, many.find("word4999")), &exact);
  EXPECT_EQ(exact.table.get_keyword_count(), 4999u);

  LoadedFile themes;
  load("first\n" + std::string(5000, '\n') + "late\n", &themes);
  EXPECT_EQ(themes.table.get_keyword_count(), 1u);
  EXPECT_EQ(themes.table.get_theme_count(), 4999u);
  EXPECT_FALSE(themes.reached_end);
}

TEST(LoadKeywords, CrLfFileGivesTheSameTableAsItsLfTwin) {
  std::string lf = "'Cat'\nmid\rdle\n\n\n\n\n" + std::string(99, 'q') + "\n*ing\n x\n" +
                   std::string(120, 'r') + "\nlast";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  LoadedFile a;
  LoadedFile b;
  load(lf, &a);
  load(crlf, &b);
  ASSERT_EQ(a.table.get_keyword_count(), b.table.get_keyword_count());
  EXPECT_EQ(a.table.get_keyword_count(), 7u);
  EXPECT_STREQ(a.table.get_keyword(1), "mid\rdle");
  for (uint32_t i = 0; i < a.table.get_keyword_count(); i++) {
    EXPECT_STREQ(a.table.get_keyword(i), b.table.get_keyword(i));
    EXPECT_EQ(a.table.get_search_type(i), b.table.get_search_type(i));
    EXPECT_EQ(a.table.get_keyword_theme(i), b.table.get_keyword_theme(i));
  }
  EXPECT_EQ(a.table.get_theme_count(), b.table.get_theme_count());
  EXPECT_EQ(a.shown, b.shown);
}

TEST(LoadKeywords, EmptyFileAndUnreadableFile) {
  LoadedFile empty;
  load("", &empty);
  EXPECT_TRUE(empty.status.ok());
  EXPECT_TRUE(empty.reached_end);
  EXPECT_EQ(empty.shown, (std::vector<std::string>{"0 keywords, 0 themes got from kwd file"}));

  // A directory opens for reading but every read fails.
  TempDir dir;
  int fd = open(dir.path().c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  KeywordTable table;
  Messages messages;
  bool reached_end = true;
  Status status = table.load_keywords(fd, "words.kwd", messages, &reached_end);
  close(fd);
  EXPECT_FALSE(status.ok());
  EXPECT_EQ(status.text(), "Can't read keywords file words.kwd: Is a directory");
  EXPECT_FALSE(reached_end);
}

TEST(LogKeywordsInformation, ListsTheTable) {
  LoadedFile f;
  load("'Cat'\n*ing\n", &f);
  TempDir dir;
  OutputFile protocol;
  ASSERT_TRUE(protocol.open(dir.file("log"), OutputFile::Mode::kCreate));
  Messages messages;
  messages.set_protocol(&protocol);
  f.table.log_keywords_information(messages);
  KeywordTable empty;
  empty.log_keywords_information(messages);
  ASSERT_TRUE(protocol.close());
  EXPECT_EQ(testing::read_file(dir.file("log")),
            "==== Keywords information: 2 keywords, 1 themes ===\n"
            "'cat            ' -     1, th0\n"
            "'ing            ' -     3, th1\n"
            "==== Keywords information: 0 keywords, 4294967295 themes ===\n");
}

TEST(KeywordInBlock, FirstLineHoldingTheKeywordDecides) {
  Messages m;
  EXPECT_EQ(keyword_in_block(block_of({"concat here\n", "cat\n"}), "cat", SEARCH_WHOLE_WORD, m), 0);
  EXPECT_EQ(keyword_in_block(block_of({"dog\n", "a CAT!\n"}), "cat", SEARCH_WHOLE_WORD, m), 1);
  EXPECT_EQ(keyword_in_block(block_of({"bobcat catalog\n"}), "cat", SEARCH_WORD_START, m), 0);
  EXPECT_EQ(keyword_in_block(block_of({"catalog bobcat\n"}), "cat", SEARCH_WORD_START, m), 1);
  EXPECT_EQ(keyword_in_block(block_of({"the cat\n"}), "cat", SEARCH_WORD_END, m), 1);
  EXPECT_EQ(keyword_in_block(block_of({"the cat"}), "cat", SEARCH_WHOLE_WORD, m), 1);
  EXPECT_EQ(keyword_in_block(block_of({"cats cat\n"}), "cat", SEARCH_WORD_END, m), 0);
  EXPECT_EQ(keyword_in_block(block_of({"xcatx\n"}), "cat", SEARCH_ANYWHERE, m), 1);
  EXPECT_EQ(keyword_in_block(block_of({"dog\n", "\n"}), "cat", SEARCH_ANYWHERE, m), 0);
}

TEST(KeywordInBlock, TrailingBlankEmptyKeywordAndEmptyBlock) {
  Messages m;
  EXPECT_EQ(keyword_in_block(block_of({"a cat \n"}), "cat ", SEARCH_ANYWHERE, m), 1);
  EXPECT_EQ(keyword_in_block(block_of({"a cat\n"}), "cat ", SEARCH_ANYWHERE, m), 0);
  EXPECT_EQ(keyword_in_block(block_of({"x\n"}), "", SEARCH_ANYWHERE, m), 1);
  EXPECT_EQ(keyword_in_block(block_of({"x\n"}), "", SEARCH_WORD_START, m), 1);
  EXPECT_EQ(keyword_in_block(block_of({"x\n", "\n"}), "", SEARCH_WHOLE_WORD, m), 0);
  EXPECT_EQ(keyword_in_block(block_of({"\n"}), "", SEARCH_WORD_END, m), 1);
  EXPECT_EQ(keyword_in_block(block_of({}), "", SEARCH_ANYWHERE, m), 0);
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
