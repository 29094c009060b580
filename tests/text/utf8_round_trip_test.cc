// The round trip between the two text encodings: code page 866 keywords and
// text, converted to UTF-8, theme every block as they did.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "messages/messages.h"
#include "test_support.h"
#include "text/keyword_matcher.h"
#include "text/keyword_table.h"
#include "text/text_rules.h"

namespace karvel {
namespace {

// Code page 866 text and keywords, converted to UTF-8, theme every block as
// they did, when the lines are short enough for the reads to coincide. The
// Cyrillic letters but Yo, ASCII letters and delimiters: both rules fold and
// delimit these alike.
std::string cp866_to_utf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    uint32_t code = c < 0xB0 ? 0x410 + (c - 0x80) : 0x440 + (c - 0xE0);
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

uint32_t matcher_theme(KeywordMatcher& matcher, const std::vector<std::string>& lines,
                       TextEncoding encoding) {
  matcher.start_block();
  for (const std::string& line : lines) {
    char slot[100];
    memcpy(slot, line.c_str(), line.size() + 1);
    fold_text(slot, encoding);
    matcher.add_line(slot, strlen(slot));
  }
  return matcher.block_theme();
}

TEST(Utf8Text, Cp866TextConvertedToUtf8GetsTheSameThemes) {
  std::mt19937 rng(2);
  auto random_cp866 = [&rng](size_t length) {
    static const std::string kAscii = "aZq -.,'";
    std::string s;
    while (s.size() < length) {
      uint32_t pick = rng() % 64;
      s += pick < 8 ? kAscii[pick]
                    : static_cast<char>(pick < 56 ? 0x80 + pick - 8 : 0xE0 + pick - 56);
    }
    return s;
  };
  testing::TempDir dir;
  Messages messages;
  int themed = 0;
  for (int file = 0; file < 200; ++file) {
    std::string keywords;
    const char* marks[][2] = {{"", ""}, {"'", "'"}, {"", "*"}, {"*", ""}};
    for (int k = 0; k < 4; ++k) {
      std::string word = random_cp866(1 + rng() % 3);
      word.erase(std::remove(word.begin(), word.end(), '\''), word.end());
      if (word.empty()) word = "\x80";
      int type = rng() % 4;
      keywords += marks[type][0] + word + marks[type][1] + "\n";
    }
    KeywordTable cp866_table, utf8_table;
    utf8_table.set_text_encoding(TextEncoding::kUtf8);
    for (auto [table, text] :
         {std::pair{&cp866_table, keywords}, std::pair{&utf8_table, cp866_to_utf8(keywords)}}) {
      testing::write_file(dir.file("kwd"), text);
      int fd = open(dir.file("kwd").c_str(), O_RDONLY);
      bool end = false;
      ASSERT_TRUE(table->load_keywords(fd, "kwd", messages, &end).ok());
      close(fd);
    }
    KeywordMatcher cp866_matcher(cp866_table), utf8_matcher(utf8_table);
    for (int b = 0; b < 20; ++b) {
      std::vector<std::string> lines, converted;
      for (int i = rng() % 4; i >= 0; --i) {
        lines.push_back(random_cp866(rng() % 45) + "\n");
        converted.push_back(cp866_to_utf8(lines.back()));
      }
      uint32_t theme = matcher_theme(cp866_matcher, lines, TextEncoding::kCp866);
      ASSERT_EQ(matcher_theme(utf8_matcher, converted, TextEncoding::kUtf8), theme)
          << "file " << file << " block " << b;
      themed += theme != kNoTheme;
    }
  }
  EXPECT_GT(themed, 400);
}

}  // namespace
}  // namespace karvel
