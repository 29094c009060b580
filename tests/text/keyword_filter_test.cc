// The filter that lets the keyword matcher skip the stretches of a line
// where no keyword can begin. (The matcher itself is compared with the
// keyword rule as written in tests/index.)

#include "text/keyword_filter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/keyword_table.h"

namespace karvel {
namespace {

std::string random_text(std::mt19937& rng, const std::string& alphabet, size_t length) {
  std::string text;
  for (size_t i = 0; i < length; i++) text += alphabet[rng() % alphabet.size()];
  return text;
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
