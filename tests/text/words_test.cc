// Case folding, the delimiter set, word splitting, whole-word search and the
// removal of match marks.

#include <gtest/gtest.h>

#include <string>

#include "text/fold.h"
#include "text/words.h"

namespace karvel {
namespace {

std::string folded(std::string line) {
  fold_line(line.data());
  return line;
}

TEST(FoldLine, FoldsAsciiAndBothCyrillicRangesOnly) {
  build_fold_table();
  EXPECT_EQ(folded("\x80"
                   "BC\n"),
            "\xa0"
            "bc\n");
  EXPECT_EQ(folded("\x8f\x90\x9f"), "\xaf\xe0\xef");
  // Each byte alone, and all of them in one long line.
  std::string all, all_folded;
  for (int v = 1; v < 256; v++) {
    if (v == '\n') continue;
    int expected = v;
    if ((v >= 'A' && v <= 'Z') || (v >= 128 && v <= 143)) expected = v + 32;
    if (v >= 144 && v <= 159) expected = v + 80;
    std::string line(1, static_cast<char>(v));
    EXPECT_EQ(static_cast<unsigned char>(folded(line)[0]), expected) << "byte " << v;
    all += line;
    all_folded += static_cast<char>(expected);
  }
  EXPECT_EQ(folded(all), all_folded);
}

TEST(FoldLine, StopsAtLineFeedOrNul) {
  EXPECT_EQ(folded("AB\nCD"), "ab\nCD");
  EXPECT_EQ(folded("ABCDEFGHIJKLMNOPQRSTU\nCD"), "abcdefghijklmnopqrstu\nCD");
  EXPECT_EQ(folded("\nAB"), "\nAB");
  std::string with_nul("AB\0CD", 5);
  fold_line(with_nul.data());
  EXPECT_EQ(with_nul, std::string("ab\0CD", 5));
}

TEST(Delimiters, TheFourteenAndNul) {
  const std::string delimiters = " \t,.;:!?-()\"\r\n";
  int count = 0;
  for (int v = 1; v < 256; v++) {
    bool expected = delimiters.find(static_cast<char>(v)) != std::string::npos;
    EXPECT_EQ(is_delimiter(v), expected ? 1 : 0) << "byte " << v;
    count += is_delimiter(v);
  }
  EXPECT_EQ(count, 14);
  EXPECT_EQ(is_delimiter(0), 1);
  EXPECT_EQ(is_delimiter('\''), 0);
  EXPECT_EQ(is_delimiter('_'), 0);
  EXPECT_EQ(is_delimiter('/'), 0);
  EXPECT_EQ(is_delimiter(-128), 0);  // a signed char 128 is not a delimiter
}

std::vector<std::string> words_of(WordSplitter& splitter, const char* line, int calls) {
  std::vector<std::string> words;
  short started = 0;
  char word[100];
  for (int i = 0; i < calls; i++) {
    splitter.next_word(line, &started, word);
    words.push_back(word);
  }
  return words;
}

TEST(NextWord, HandsOutWordsThenEmptyStrings) {
  WordSplitter splitter;
  std::vector<std::string> expected = {"hello", "world", "", "", ""};
  EXPECT_EQ(words_of(splitter, " ,hello--world.\n", 5), expected);
  EXPECT_EQ(words_of(splitter, "\n", 2), (std::vector<std::string>{"", ""}));
  EXPECT_EQ(words_of(splitter, "", 1), (std::vector<std::string>{""}));
  EXPECT_EQ(words_of(splitter, " ;:!?()\"\r\t", 1), (std::vector<std::string>{""}));
  EXPECT_EQ(words_of(splitter, "it's a_b/c 12", 4),
            (std::vector<std::string>{"it's", "a_b/c", "12", ""}));
}

TEST(NextWord, LineIsIgnoredWhileStartedAndNotChanged) {
  WordSplitter splitter;
  char line[] = "one two";
  short started = 0;
  char word[100];
  splitter.next_word(line, &started, word);
  EXPECT_STREQ(word, "one");
  EXPECT_EQ(started, 1);
  splitter.next_word("other", &started, word);
  EXPECT_STREQ(word, "two");
  EXPECT_STREQ(line, "one two");
  started = 0;
  splitter.next_word("other", &started, word);
  EXPECT_STREQ(word, "other");
}

TEST(NextWord, KeepsAtMost99CharactersOfALine) {
  WordSplitter splitter;
  std::string line(150, 'w');
  short started = 0;
  char word[100];
  splitter.next_word(line.c_str(), &started, word);
  EXPECT_EQ(std::string(word), std::string(99, 'w'));
  splitter.next_word(line.c_str(), &started, word);
  EXPECT_STREQ(word, "");
}

TEST(FindWholeWord, BoundariesAndOverlappingOccurrences) {
  EXPECT_EQ(find_whole_word("cat", "cat"), 1);
  EXPECT_EQ(find_whole_word("(cat)", "cat"), 1);
  EXPECT_EQ(find_whole_word("concat", "cat"), 0);
  EXPECT_EQ(find_whole_word("cat's", "cat"), 0);
  EXPECT_EQ(find_whole_word("catalog cat", "cat"), 1);
  EXPECT_EQ(find_whole_word("aaa aa", "aa"), 1);
  EXPECT_EQ(find_whole_word("aaa", "aa"), 0);
  EXPECT_EQ(find_whole_word("x\naa\n", "aa"), 1);
  EXPECT_EQ(find_whole_word("cat", "Cat"), 0);
  EXPECT_EQ(find_whole_word("", "cat"), 0);
  EXPECT_EQ(find_whole_word("a b", ""), 0);
}

TEST(StripMarks, RemovesApostrophesAndAsterisks) {
  char a[] = "'cat'";
  char b[] = "*cat*";
  char c[] = "ca*t";
  char d[] = "*''**";
  strip_marks(a);
  strip_marks(b);
  strip_marks(c);
  strip_marks(d);
  EXPECT_STREQ(a, "cat");
  EXPECT_STREQ(b, "cat");
  EXPECT_STREQ(c, "cat");
  EXPECT_STREQ(d, "");
}

}  // namespace
}  // namespace karvel
