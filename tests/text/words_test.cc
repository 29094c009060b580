// Case folding of code page 866, the delimiter set, word splitting and
// whole-word search.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/fold.h"
#include "text/words.h"

namespace karvel {
namespace {

TEST(Words, FoldingAndDelimitersOfEveryByte) {
  build_fold_table();
  const std::string delimiters = " \t,.;:!?-()\"\r\n";
  std::string all, all_folded;  // each byte alone, and all in one long line
  for (int v = 1; v < 256; v++) {
    int expected = v;
    if ((v >= 'A' && v <= 'Z') || (v >= 128 && v <= 143)) expected = v + 32;
    if (v >= 144 && v <= 159) expected = v + 80;
    std::string line = std::string(1, static_cast<char>(v)) + "A";
    fold_line(line.data());
    if (v != '\n') {
      EXPECT_EQ(line, std::string(1, static_cast<char>(expected)) + "a") << v;
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
  // Folding stops at the line feed or the NUL.
  std::string line("ABCDEFGHIJKLMNOPQRSTU\nCD\0EF", 27);
  fold_line(line.data());
  EXPECT_EQ(line, std::string("abcdefghijklmnopqrstu\nCD\0EF", 27));
  line = std::string("AB\0CD", 5);
  fold_line(line.data());
  EXPECT_EQ(line, std::string("ab\0CD", 5));
}

TEST(Words, SplitterHandsOutWordsThenEmptyStrings) {
  const struct {
    std::string line;
    std::vector<std::string> words;
  } cases[] = {
      {" ,hello--world.\n", {"hello", "world", "", ""}},
      {"\n", {"", ""}},
      {" ;:!?()\"\r\t", {""}},
      {"it's a_b/c 12", {"it's", "a_b/c", "12", ""}},
      {std::string(150, 'w'), {std::string(99, 'w'), ""}},  // at most 99 characters of a line
  };
  WordSplitter splitter;
  for (const auto& c : cases) {
    std::vector<std::string> words;
    short started = 0;
    char word[100];
    for (size_t i = 0; i < c.words.size(); i++) {
      splitter.next_word(c.line.c_str(), &started, word);
      words.push_back(word);
    }
    EXPECT_EQ(words, c.words) << c.line;
  }
  // While started, the line given is not looked at.
  short started = 0;
  char word[100];
  splitter.next_word("one two", &started, word);
  splitter.next_word("other", &started, word);
  EXPECT_STREQ(word, "two");
}

TEST(Words, WholeWordSearch) {
  const struct {
    const char* text;
    const char* word;
    int found;
  } cases[] = {
      {"cat", "cat", 1},         {"(cat)", "cat", 1}, {"concat", "cat", 0}, {"cat's", "cat", 0},
      {"catalog cat", "cat", 1}, {"aaa aa", "aa", 1}, {"aaa", "aa", 0},     {"x\naa\n", "aa", 1},
      {"cat", "Cat", 0},         {"", "cat", 0},      {"a b", "", 0},       {"cat;dog", "cat", 1}};
  for (const auto& c : cases) EXPECT_EQ(find_whole_word(c.text, c.word), c.found) << c.text;
}

}  // namespace
}  // namespace karvel
