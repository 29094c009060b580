// The fast theme assignment against the literal rule (for each keyword in
// table order, keyword_in_block; the first that holds gives the theme) on a
// full table, and the filter that lets the matcher skip stretches of a line.
// Random keywords files and sources are compared in tests/index.

#include "text/keyword_matcher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "messages/messages.h"
#include "tests/text/block_of.h"
#include "text/current_block.h"
#include "text/keyword_filter.h"
#include "text/keyword_table.h"

namespace karvel {
namespace {

uint32_t literal_theme(const KeywordTable& table, const CurrentBlock& block) {
  Messages messages;
  for (uint32_t k = 0; k < table.get_keyword_count(); k++) {
    if (keyword_in_block(block, table.get_keyword(k), table.get_search_type(k), messages)) {
      return table.get_keyword_theme(k);
    }
  }
  return kNoTheme;
}

// Feeds every line of the block; once the matcher says the block is decided,
// its theme must not change any more.
uint32_t matcher_theme(KeywordMatcher& matcher, const CurrentBlock& block) {
  matcher.start_block();
  bool decided = false;
  uint32_t decided_theme = kNoTheme;
  for (uint32_t i = 0; i < block.get_line_count(); i++) {
    const char* line = block.get_line(i);
    matcher.add_line(line, strlen(line));
    if (decided) {
      EXPECT_EQ(matcher.block_theme(), decided_theme) << "changed after decided()";
    }
    if (!decided && matcher.decided()) {
      decided = true;
      decided_theme = matcher.block_theme();
    }
  }
  return matcher.block_theme();
}

// A random string over `alphabet`.
std::string random_text(std::mt19937& rng, const std::string& alphabet, size_t length) {
  std::string text;
  for (size_t i = 0; i < length; i++) text += alphabet[rng() % alphabet.size()];
  return text;
}

TEST(KeywordMatcher, AgreesWithLiteralRuleOnAFullTable) {
  std::mt19937 rng(77);
  const std::string letters = "ab -";
  KeywordTable table;
  std::vector<std::string> keywords;
  for (uint32_t k = 0; k < kMaxKeywords; k++) {
    // Enough long keywords for more nodes than 16-bit transitions can name.
    size_t length = rng() % 4 == 0 ? 30 + rng() % 70 : 4 + rng() % 8;
    keywords.push_back(random_text(rng, letters, length));
    table.add_keyword(keywords.back().c_str(), rng() % 4, k);
  }
  KeywordMatcher dense(table);
  KeywordMatcher linked(table, 1);
  KeywordMatcher shallow_rows(table, 4096);
  KeywordMatcher unfiltered(table, size_t{1} << 24, false);
  int themed = 0;
  for (int b = 0; b < 150; b++) {
    // Lines built around keywords of the table, so that most of them hold
    // occurrences of many keywords, rejected and accepted.
    std::vector<std::string> lines;
    int count = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < count; i++) {
      std::string line = random_text(rng, letters, rng() % 4);
      while (line.size() < 80) {
        line += keywords[kMaxKeywords / 2 + rng() % (kMaxKeywords / 2)];
        line += random_text(rng, letters, rng() % 3);
      }
      lines.push_back(line.substr(0, 98) + "\n");
    }
    CurrentBlock block = block_of(lines);
    uint32_t expected = literal_theme(table, block);
    for (KeywordMatcher* matcher : {&dense, &linked, &shallow_rows, &unfiltered})
      ASSERT_EQ(matcher_theme(*matcher, block), expected) << "block " << b;
    themed += expected != kNoTheme;
  }
  EXPECT_GT(themed, 100);
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

}  // namespace
}  // namespace karvel
