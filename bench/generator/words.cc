// Filler vocabularies, made-up words and letter case of the generated text.

#include "generator/words.h"

#include <array>

namespace karvel::bench {

namespace {

// Common short words of running text; none holds q, x or z.
constexpr std::array<const char*, 64> kLatinHead = {
    "the",   "of",    "and",   "to",   "in",    "a",     "is",   "that",  "for",  "it",    "as",
    "was",   "with",  "be",    "by",   "on",    "not",   "he",   "this",  "are",  "or",    "his",
    "from",  "at",    "which", "but",  "have",  "an",    "they", "you",   "were", "her",   "she",
    "there", "been",  "one",   "all",  "we",    "their", "has",  "would", "when", "if",    "so",
    "no",    "will",  "can",   "more", "other", "its",   "new",  "some",  "time", "after", "also",
    "most",  "first", "two",   "may",  "then",  "do",    "any",  "like",  "my"};

constexpr std::string_view kLatinConsonants = "bcdfghjklmnprstvw";
constexpr std::string_view kLatinVowels = "aeiouy";

// Code page 866, lower case. The marker letters shcha (233) and the hard
// sign (234) are left out.
constexpr std::array<unsigned char, 20> kCyrillicConsonants = {161, 162, 163, 164, 166, 167, 170,
                                                               171, 172, 173, 175, 224, 225, 226,
                                                               228, 229, 230, 231, 232, 236};
constexpr std::array<unsigned char, 10> kCyrillicVowels = {160, 165, 168, 174, 227,
                                                           235, 237, 238, 239, 241};

// Common short Cyrillic words, as code page 866 bytes.
const std::vector<std::string>& cyrillic_head() {
  static const std::vector<std::string> head = {
      "\xa8",                  // и
      "\xa2",                  // в
      "\xad\xa5",              // не
      "\xad\xa0",              // на
      "\xe7\xe2\xae",          // что
      "\xe1",                  // с
      "\xaa\xa0\xaa",          // как
      "\xa5\xa3\xae",          // его
      "\xaf\xae",              // по
      "\xed\xe2\xae",          // это
      "\xa4\xab\xef",          // для
      "\xae\xad\xa8",          // они
      "\xa1\xeb\xab",          // был
      "\xa2\xe1\xa5",          // все
      "\xe3\xa6\xa5",          // уже
      "\xaf\xe0\xa8",          // при
      "\xa8\xab\xa8",          // или
      "\xa3\xae\xa4",          // год
      "\xe2\xa0\xaa\xa6\xa5",  // также
  };
  return head;
}

void append_letter(std::string& word, Script script, bool vowel, Random& random) {
  if (script == Script::kLatin) {
    const std::string_view set = vowel ? kLatinVowels : kLatinConsonants;
    word.push_back(set[random.below(static_cast<uint32_t>(set.size()))]);
  } else if (vowel) {
    word.push_back(static_cast<char>(kCyrillicVowels[random.below(kCyrillicVowels.size())]));
  } else {
    word.push_back(
        static_cast<char>(kCyrillicConsonants[random.below(kCyrillicConsonants.size())]));
  }
}

unsigned char capital_of(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  if (c >= 160 && c <= 175) return static_cast<unsigned char>(c - 32);  // to 128..143
  if (c >= 224 && c <= 239) return static_cast<unsigned char>(c - 80);  // to 144..159
  if (c == 241) return 240;                                             // yo
  return c;
}

}  // namespace

std::string made_up_word(Random& random, Script script, int max_syllables) {
  std::string word;
  const int syllables = 1 + static_cast<int>(random.below(static_cast<uint32_t>(max_syllables)));
  for (int s = 0; s < syllables; ++s) {
    if (s > 0 || random.chance(0.8)) append_letter(word, script, false, random);
    append_letter(word, script, true, random);
    if (random.chance(0.25)) append_letter(word, script, false, random);
  }
  return word;
}

Vocabulary::Vocabulary(Random& random, Script script, size_t size)
    : picker_(zipf_weights(static_cast<uint32_t>(size), 1.0)) {
  words_.reserve(size);
  if (script == Script::kLatin) {
    for (const char* w : kLatinHead) words_.emplace_back(w);
  } else {
    for (const std::string& w : cyrillic_head()) words_.push_back(w);
  }
  while (words_.size() < size) {
    std::string word = made_up_word(random, script, 4);
    if (word.size() >= 2) words_.push_back(std::move(word));
  }
}

bool has_marker(std::string_view text) {
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case 'q':
      case 'x':
      case 'z':
      case 'Q':
      case 'X':
      case 'Z':
      case 233:
      case 234:
      case 153:
      case 154:
        return true;
      default:
        break;
    }
  }
  return false;
}

void capitalize_first(std::string& word) {
  if (!word.empty()) word[0] = static_cast<char>(capital_of(static_cast<unsigned char>(word[0])));
}

void capitalize_all(std::string& word) {
  for (char& ch : word) ch = static_cast<char>(capital_of(static_cast<unsigned char>(ch)));
}

}  // namespace karvel::bench
