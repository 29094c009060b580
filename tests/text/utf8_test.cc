// UTF-8 text: folding and delimiters against the Unicode data files, the
// keyword matcher against a literal version (decode, fold each character,
// compare), and the check behind the automatic choice of the encoding.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "index/source_statistics.h"
#include "messages/messages.h"
#include "test_support.h"
#include "text/keyword_matcher.h"
#include "text/keyword_table.h"
#include "text/text_rules.h"
#include "text/utf8_check.h"
#include "text/utf8_text.h"
#include "theme_fixture.h"
#include "themes/word_list.h"

namespace karvel {
namespace {

std::string encode(uint32_t c) {
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  std::string s;
  int n = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  for (int i = n - 1; i > 0; --i)
    s.insert(s.begin(), static_cast<char>(0x80 | ((c >> (6 * (n - 1 - i))) & 0x3F)));
  s.insert(s.begin(), static_cast<char>((0xF00 >> n) | (c >> (6 * (n - 1)))));
  return s;
}

// The Unicode data: simple foldings (C, S) and the categories Z and P beyond
// ASCII, which keeps the delimiters of code page 866.
struct UnicodeData {
  std::map<uint32_t, uint32_t> folding;  // only those that keep the length
  std::set<uint32_t> delimiters;
  UnicodeData() {
    std::ifstream folds("/usr/share/unicode/CaseFolding.txt");
    for (std::string line; std::getline(folds, line);) {
      unsigned from, to;
      char status;
      if (sscanf(line.c_str(), "%x; %c; %x;", &from, &status, &to) == 3 &&
          (status == 'C' || status == 'S') && encode(from).size() == encode(to).size()) {
        folding[from] = to;
      }
    }
    std::ifstream data("/usr/share/unicode/UnicodeData.txt");
    for (std::string line; std::getline(data, line);) {
      unsigned c;
      char category;
      if (sscanf(line.c_str(), "%x;%*[^;];%c", &c, &category) == 2 && c >= 0x80 &&
          (category == 'Z' || category == 'P')) {
        delimiters.insert(c);
      }
    }
    for (char c : std::string(" \t,.;:!?-()\"\r\n", 15))
      delimiters.insert(static_cast<unsigned char>(c));
  }
};

const UnicodeData& unicode() {
  static const UnicodeData data;
  return data;
}

TEST(Utf8Text, EveryCodePointFoldsAndDelimitsAsTheUnicodeDataSay) {
  ASSERT_GT(unicode().folding.size(), 1400u);
  ASSERT_GT(unicode().delimiters.size(), 800u);
  for (uint32_t c = 1; c < 0x110000; ++c) {
    if (c >= 0xD800 && c < 0xE000) continue;
    // Seventeen in a row, so that ASCII is folded sixteen bytes at a time too.
    std::string line, folded;
    auto it = unicode().folding.find(c);
    for (int i = 0; i < 17; ++i) line += encode(c);
    for (int i = 0; i < 17; ++i) folded += encode(it == unicode().folding.end() ? c : it->second);
    fold_utf8_line(line.data(), line.size());
    ASSERT_EQ(line, folded) << std::hex << c;
    ASSERT_EQ(is_utf8_delimiter(c), unicode().delimiters.count(c) == 1) << std::hex << c;
  }
}

// A character as the literal version sees it: `length` bytes at `start`,
// valid or a lone byte that is none.
struct Char {
  size_t start, length;
  uint32_t code_point;
  bool valid;
};

// Decodes by trying each length and keeping the one whose bytes are the
// shortest encoding of a scalar value.
std::vector<Char> decode(const std::string& s) {
  std::vector<Char> chars;
  for (size_t i = 0; i < s.size();) {
    Char ch{i, 1, static_cast<unsigned char>(s[i]), false};
    for (size_t n = 1; n <= 4 && i + n <= s.size(); ++n) {
      uint32_t c = n == 1 ? static_cast<unsigned char>(s[i])
                          : static_cast<unsigned char>(s[i]) & (0x7F >> n);
      for (size_t k = 1; k < n; ++k) c = c << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
      if (c < 0x110000 && (c < 0xD800 || c > 0xDFFF) && encode(c) == s.substr(i, n))
        ch = {i, n, c, true};
    }
    chars.push_back(ch);
    i += ch.length;
  }
  return chars;
}

std::string literal_fold(const std::string& s) {
  std::string out;
  for (const Char& ch : decode(s)) {
    auto it = unicode().folding.find(ch.code_point);
    bool fold = ch.valid && it != unicode().folding.end();
    out += fold ? encode(it->second) : s.substr(ch.start, ch.length);
  }
  return out;
}

// The rules as written: the first line holding the keyword decides by its
// first occurrence; boundaries are whole characters.
bool literal_match(const std::vector<std::string>& folded_lines, const std::string& keyword,
                   uint32_t type) {
  for (const std::string& line : folded_lines) {
    size_t at = line.find(keyword);
    if (at == std::string::npos) continue;
    bool starts = at == 0, ends = at + keyword.size() == line.size();
    for (const Char& ch : decode(line)) {
      bool delimiter = ch.valid && unicode().delimiters.count(ch.code_point) == 1;
      if (ch.start + ch.length == at) starts = starts || delimiter;
      if (ch.start == at + keyword.size()) ends = ends || delimiter;
    }
    return type == SEARCH_ANYWHERE || (type == SEARCH_WHOLE_WORD && starts && ends) ||
           (type == SEARCH_WORD_START && starts) || (type == SEARCH_WORD_END && ends);
  }
  return false;
}

// Letters, delimiters and marks; Cyrillic Zh zh Yo yo, Ukrainian Ye yi,
// short U; Greek Sigma sigma final sigma, alpha with tonos; Latin E e with
// acute, sharp s, Y with diaeresis; no-break space, guillemet, em dash,
// ellipsis, ideographic comma, fullwidth A, Kelvin sign; invalid bytes; an
// emoji and the Aegean word separator.
std::vector<std::string> pieces_of(const std::string& list) {
  std::vector<std::string> pieces;
  for (size_t at = 0, bar; at <= list.size(); at = bar + 1) {
    bar = std::min(list.find('|', at), list.size());
    pieces.push_back(list.substr(at, bar - at));
  }
  return pieces;
}
const std::vector<std::string> kPieces = pieces_of(
    "a|B|z|Q| "
    "|-|.|'|\xD0\x96|\xD0\xB6|\xD0\x81|\xD1\x91|\xD0\x84|\xD1\x97|\xD0\x8E|\xCE\xA3|\xCF\x83|"
    "\xCF\x82|\xCE\x86|\xCE\xAC|\xC3\x89|\xC3\xA9|\xC3\x9F|\xC5\xB8|\xC2\xA0|\xC2\xAB|\xE2\x80\x94|"
    "\xE2\x80\xA6|\xE3\x80\x81|\xEF\xBC\xA1|\xE2\x84\xAA|\x80|\xC3|\xED\xA0\x80|\xC0\xAF|"
    "\xF4\x90\x80\x80|\xF0\x9F\x98\x80|\xF0\x90\x84\x80");

std::string random_text(std::mt19937& rng, size_t pieces) {
  std::string s;
  for (size_t i = 0; i < pieces; ++i) s += kPieces[rng() % kPieces.size()];
  return s;
}

TEST(Utf8Text, MatcherAgreesWithTheLiteralRulesOnRandomBlocks) {
  std::mt19937 rng(866);
  testing::TempDir dir;
  Messages messages;
  int themed = 0, blocks = 0;
  for (int file = 0; file < 300; ++file) {
    std::string text;
    std::vector<std::string> words, keywords;  // as written; literally folded
    std::vector<uint32_t> types;
    for (int k = 0; k < 4; ++k) {
      std::string word = "x" + random_text(rng, 1 + rng() % 3);
      word.erase(std::remove(word.begin(), word.end(), '\''), word.end());
      words.push_back(word);
      types.push_back(rng() % 4);
      const char* marks[][2] = {{"", ""}, {"'", "'"}, {"", "*"}, {"*", ""}};
      text += marks[types.back()][0] + word + marks[types.back()][1] + "\n";
      keywords.push_back(literal_fold(word));
    }
    testing::write_file(dir.file("kwd"), text);
    int fd = open(dir.file("kwd").c_str(), O_RDONLY);
    KeywordTable table;
    table.set_text_encoding(TextEncoding::kUtf8);
    bool end = false;
    ASSERT_TRUE(table.load_keywords(fd, "kwd", messages, &end).ok());
    close(fd);
    for (uint32_t k = 0; k < 4; ++k) ASSERT_EQ(table.get_keyword(k), keywords[k]);
    KeywordMatcher matcher(table);
    for (int b = 0; b < 20; ++b, ++blocks) {
      std::vector<std::string> lines, folded_lines;
      for (int i = rng() % 4; i >= 0; --i) {
        std::string line = random_text(rng, rng() % 10 == 0 ? 60 : rng() % 12);
        std::string inserted = rng() % 2 ? words[rng() % 4] : "x" + random_text(rng, 1);
        line.insert(rng() % (line.size() + 1), inserted);
        for (line += "\n"; line.size() > 99; line.erase(0, 99)) lines.push_back(line.substr(0, 99));
        lines.push_back(line);
      }
      matcher.start_block();
      for (const std::string& line : lines) {
        char slot[100];
        memcpy(slot, line.c_str(), line.size() + 1);
        fold_text(slot, TextEncoding::kUtf8);
        matcher.add_line(slot, strlen(slot));
        folded_lines.push_back(literal_fold(line));
      }
      uint32_t expected = kNoTheme;
      for (uint32_t k = 0; k < 4 && expected == kNoTheme; ++k) {
        if (literal_match(folded_lines, keywords[k], types[k])) expected = k;
      }
      ASSERT_EQ(matcher.block_theme(), expected) << "file " << file << " block " << b;
      themed += expected != kNoTheme;
    }
  }
  EXPECT_GT(themed, blocks / 5);
  EXPECT_LT(themed, blocks * 4 / 5);
}

// Words of the similarity test: runs of characters between delimiters, the
// mark that begins the file left out, the short ones skipped.
TEST(Utf8Text, WordListsEndWordsAtEveryDelimiter) {
  std::mt19937 rng(3);
  std::vector<std::string> blocks;
  for (int b = 0; b < 400; ++b) {
    std::string block = b == 0 ? "\xEF\xBB\xBF" : "";
    for (int i = rng() % 4; i >= 0; --i) {
      std::string line = random_text(rng, rng() % 40);
      size_t nul = line.empty() || rng() % 8 != 0 ? 0 : 1 + rng() % line.size();
      if (nul % 99 != 0) line.insert(nul, 1, '\0');  // and no NUL begins a read
      if (line.size() % 99 == 0) line += "a";        // no line feed read alone: no empty read
      block += line + (rng() % 4 == 0 ? "\r\n" : "\n");
    }
    blocks.push_back(block + "\n");
  }
  testing::IndexedSource s;
  s.build(blocks, std::vector<uint32_t>(blocks.size(), 0));
  s.source.encoding = TextEncoding::kUtf8;
  WordDictionary dictionary;
  for (uint32_t b = 0; b < blocks.size(); ++b) {
    std::vector<uint32_t> list, set;
    ASSERT_TRUE(BlockWordReader().read(s.source, s.index, b, dictionary, 1, &list, &set).ok());
    std::vector<uint32_t> expected;
    for (size_t r = 0; r < s.slots[b].size(); ++r) {
      std::string word, line = s.slots[b][r].substr(b == 0 && r == 0 ? 3 : 0) + "\n";
      for (const Char& ch : decode(line)) {
        if (!ch.valid || unicode().delimiters.count(ch.code_point) == 0) {
          word += line.substr(ch.start, ch.length);
        } else if (word.size() >= 3) {
          expected.push_back(dictionary.intern(word.data(), word.size()));
        }
        if (ch.valid && unicode().delimiters.count(ch.code_point) == 1) word.clear();
      }
    }
    ASSERT_EQ(list, expected) << b;
  }
}

bool literal_valid(const std::string& s) {
  std::vector<Char> chars = decode(s);
  return std::all_of(chars.begin(), chars.end(), [](const Char& ch) { return ch.valid; });
}

// Valid text (long ASCII runs, lines longer than a read, NULs now and then)
// with at most one fault at a random place, or cut anywhere.
std::string random_check_text(std::mt19937& rng) {
  static const std::vector<std::string> kFaults = pieces_of(
      "\x80|\xBF|\xC3|\xC1\xBF|\xE0\x9F\xBF|\xED\xA0\x80|\xF0\x8F\xBF\xBF|\xF4\x90\x80\x80|"
      "\xF5\x80\x80\x80|\xFF|\xE2\x82|\xF0\x9F\x98");
  std::string s;
  for (size_t n = rng() % 3 == 0 ? rng() % 1500 : rng() % 60; n > 0; --n) {
    const std::string& piece = kPieces[rng() % kPieces.size()];
    int kind = rng() % 16;
    if (kind == 0) s += std::string(rng() % 300, static_cast<char>('A' + rng() % 40));
    if (kind == 1) s += rng() % 8 == 0 ? '\0' : '\n';
    if (kind > 1 && literal_valid(piece)) s += piece;
  }
  if (rng() % 2 == 0) s.insert(rng() % (s.size() + 1), kFaults[rng() % kFaults.size()]);
  if (rng() % 4 == 0) s.resize(rng() % (s.size() + 1));
  return s;
}

// Both forms of the check, and the statistics pass that checks in place as
// it counts, against the literal decoder, over reads of every size. Folding
// a read (perhaps cut inside a character) stops at its line feed or NUL and
// leaves bytes that are no character alone.
TEST(Utf8Check, AgreesWithTheLiteralDecoderAndChoosesAsTold) {
  std::mt19937 rng(8);
  testing::TempDir dir;
  Messages messages;
  int valid = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string s = random_check_text(rng);
    bool expected = literal_valid(s);
    valid += expected;
    bool multibyte = std::any_of(s.begin(), s.end(), [](char c) { return c & 0x80; });
    Utf8Check check(i % 2 == 0);
    for (size_t at = 0; at < s.size();) {
      size_t n = std::min<size_t>(s.size() - at, rng() % 100);
      check.add(s.data() + at, n);
      std::string read = s.substr(at, n);
      size_t end = std::min(read.find('\n'), read.find('\0'));
      std::string folded = literal_fold(read.substr(0, end)) + read.substr(std::min(end, n));
      fold_utf8_line(read.data(), n);
      ASSERT_EQ(read, folded) << i;
      at += n;
    }
    ASSERT_EQ(check.valid(), expected) << i;
    testing::write_file(dir.file("src"), s);
    int fd = open(dir.file("src").c_str(), O_RDONLY);
    FileStatistics plain, counted;
    size_t buffer_size = 200 + rng() % 1000;
    ASSERT_TRUE(Get_File_Statistics(fd, "src", plain, messages, buffer_size).ok());
    Utf8Check in_pass(i % 4 != 1);
    ASSERT_TRUE(Get_File_Statistics(fd, "src", counted, messages, buffer_size, &in_pass).ok());
    close(fd);
    ASSERT_EQ(in_pass.valid(), expected) << i;
    ASSERT_EQ(in_pass.has_multibyte() || !expected, multibyte || !expected) << i;
    ASSERT_EQ(std::tie(counted.file_bytes, counted.file_lines, counted.file_blocks,
                       counted.max_block_lines, counted.max_len_line),
              std::tie(plain.file_bytes, plain.file_lines, plain.file_blocks, plain.max_block_lines,
                       plain.max_len_line));
  }
  EXPECT_GT(valid, 800);
  EXPECT_LT(valid, 2200);
  // The automatic choice takes UTF-8 only when both files are valid UTF-8
  // and one of them holds more than ASCII.
  using enum EncodingChoice;
  const TextEncoding kU = TextEncoding::kUtf8, kC = TextEncoding::kCp866;
  const struct {
    std::string keywords, source;
    EncodingChoice choice;
    TextEncoding expected;
  } cases[] = {
      {"\xD0\x96\n", "plain\n", kAuto, kU},
      {"cat\n", std::string(200, 'x') + "\xC3\xA9\n", kAuto, kU},
      {"cat\n", "plain\n", kAuto, kC},
      {"", "", kAuto, kC},
      {"\x8F\xE0\n", "\xA0\xA1\n", kAuto, kC},  // code page 866
      {"\xD0\x96\n", std::string("\x00\xFF\xFE\x01", 4), kAuto, kC},
      {"\xD0\x96\n", "cut \xD0", kAuto, kC},
      {"cat\n", "\xFF", kUtf8, kU},
  };
  for (const auto& c : cases) {
    Utf8Check keywords, source;
    keywords.add(c.keywords.data(), c.keywords.size());
    source.add(c.source.data(), c.source.size());
    EXPECT_EQ(choose_text_encoding(c.choice, keywords, source), c.expected) << c.source;
  }
}

}  // namespace
}  // namespace karvel
