// Seeded generators of sources and keywords files for randomized runs.

#include "random_corpus.h"

#include <algorithm>

namespace karvel::hardening {

namespace {

// Letters the words are made of: Latin in both cases, code page 866 Cyrillic
// capitals (0x80..0x9F) and small letters (0xA0..0xAF, 0xE0..0xEF).
const std::vector<std::string> kLetters = {"a",    "b",    "c",    "o",    "A",    "B",
                                           "C",    "\x80", "\x81", "\x9F", "\xA0", "\xA1",
                                           "\xE0", "\xEF", "\x8F", "\xAF"};
const std::vector<std::string> kGaps = {" ", " ", " ", ", ", ". ", "-", "\t", "!", "(", ")"};

std::string line_end(Random& random, int style) {
  int chosen = style == 2 ? static_cast<int>(random.below(2)) : style;
  return chosen == 1 ? "\r\n" : "\n";
}

// One line of text, without its line end.
std::string random_line(Random& random, const std::vector<std::string>& vocabulary) {
  std::string line;
  if (random.chance(4)) {
    // A long line: taken in several reads of 99 characters.
    size_t length = 90 + random.below(300);
    while (line.size() < length) line += random.pick(vocabulary) + random.pick(kGaps);
    // Now and then it ends at or next to the end of a read, or a read in its
    // middle begins with NUL.
    const size_t kEdges[] = {98, 99, 100, 198, 297};
    if (random.chance(40)) line.resize(kEdges[random.below(5)], 'o');
    if (line.size() > 99 && random.chance(15)) line[99] = '\0';
  } else {
    uint32_t words = 1 + random.below(8);
    for (uint32_t w = 0; w < words; ++w) {
      if (w != 0) line += random.pick(kGaps);
      line += random.pick(vocabulary);
    }
  }
  for (const std::string& odd : {std::string(1, '\0'), std::string(2, '\xFF'), std::string("\r")}) {
    if (random.chance(3)) line.insert(random.below(static_cast<uint32_t>(line.size()) + 1), odd);
  }
  return line;
}

// The empty line that ends a block: a plain line end, or now and then a line
// whose first character is NUL.
std::string empty_line(Random& random, int style) {
  if (random.chance(4)) return std::string(1, '\0') + "ab" + line_end(random, style);
  return line_end(random, style);
}

std::string render(Random& random, const std::vector<std::string>& lines, int style) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + line_end(random, style);
  return bytes + empty_line(random, style);
}

}  // namespace

uint64_t Random::next() {
  // splitmix64
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::vector<std::string> random_vocabulary(Random& random) {
  std::vector<std::string> letters;
  uint32_t letter_count = 2 + random.below(4);
  for (uint32_t i = 0; i < letter_count; ++i) letters.push_back(random.pick(kLetters));
  std::vector<std::string> words;
  uint32_t word_count = 3 + random.below(8);
  for (uint32_t i = 0; i < word_count; ++i) {
    std::string word;
    uint32_t length = 1 + random.below(6);
    for (uint32_t k = 0; k < length; ++k) word += random.pick(letters);
    words.push_back(word);
  }
  return words;
}

std::string random_source(Random& random, const std::vector<std::string>& vocabulary) {
  int style = static_cast<int>(random.below(3));  // LF, CR LF or mixed
  std::vector<std::vector<std::string>> texts;    // lines of each block so far
  std::vector<std::string> rendered;              // bytes of each block so far
  std::string source;
  if (random.chance(5)) source += line_end(random, style);
  uint32_t block_count = random.below(40);
  for (uint32_t b = 0; b < block_count; ++b) {
    std::vector<std::string> lines;
    std::string bytes;
    if (!texts.empty() && random.chance(25)) {
      uint32_t earlier = random.below(static_cast<uint32_t>(texts.size()));
      lines = texts[earlier];
      bytes = random.chance(50) ? rendered[earlier] : render(random, lines, style);
    } else if (!texts.empty() && random.chance(20)) {
      lines = texts[random.below(static_cast<uint32_t>(texts.size()))];
      uint32_t at = random.below(static_cast<uint32_t>(lines.size()));
      switch (random.below(3)) {
        case 0:
          lines[at] = random_line(random, vocabulary);
          break;
        case 1:
          lines.insert(lines.begin() + at, random_line(random, vocabulary));
          break;
        default:
          lines[at] += " " + random.pick(vocabulary);
          break;
      }
      bytes = render(random, lines, style);
    } else {
      uint32_t line_count = 1 + random.below(5);
      for (uint32_t i = 0; i < line_count; ++i) lines.push_back(random_line(random, vocabulary));
      bytes = render(random, lines, style);
    }
    texts.push_back(lines);
    rendered.push_back(bytes);
    source += bytes;
    // Two empty lines in a row: the second is a block of one line.
    if (random.chance(5)) source += line_end(random, style);
  }
  if (random.chance(40)) {
    uint32_t tail_lines = 1 + random.below(3);
    for (uint32_t i = 0; i < tail_lines; ++i) {
      source += random_line(random, vocabulary);
      if (i + 1 < tail_lines || random.chance(50)) source += line_end(random, style);
    }
  }
  return source;
}

std::string random_keywords(Random& random, const std::vector<std::string>& vocabulary) {
  bool separator_mode = random.chance(50);
  std::string end = random.chance(20) ? "\r\n" : "\n";
  std::string file;
  uint32_t keyword_count = random.below(12);
  for (uint32_t k = 0; k < keyword_count; ++k) {
    std::string word = random.pick(vocabulary);
    if (random.chance(20) && word.size() > 1) word = word.substr(0, word.size() / 2 + 1);
    std::string keyword;
    uint32_t form = random.below(9);
    if (form == 4) {
      keyword = word + "'" + random.pick(vocabulary);  // a mark between two words
    } else if (form == 5) {                            // marks only: an empty keyword
      keyword = random.pick(std::vector<std::string>{"*", "'", "''", "**", "*'*"});
    } else if (form == 6) {  // longer than one read
      while (keyword.size() < 120) keyword += word + " ";
    } else {  // quoted, starred after, before or on both sides, or bare
      const char* marks[][2] = {{"'", "'"}, {"", "*"}, {"*", ""}, {"*", "*"}, {"", ""}};
      keyword = marks[std::min(form, 4u)][0] + word + marks[std::min(form, 4u)][1];
    }
    if (random.chance(3))
      keyword.insert(random.below(static_cast<uint32_t>(keyword.size()) + 1), 1, '\0');
    file += keyword + end;
    if (separator_mode && random.chance(40)) {
      file += random.pick(std::vector<std::string>{"", " ", "`", "` group", " x"}) + end;
    } else if (!separator_mode && random.chance(15)) {
      file += random.pick(std::vector<std::string>{"` a comment", " indented comment"}) + end;
    }
  }
  if (separator_mode) {
    // Five or more short lines (under three characters) select separator mode.
    for (int i = 0; i < 5; ++i) file += random.pick(std::vector<std::string>{"", "`", "a"}) + "\n";
  }
  return file;
}

}  // namespace karvel::hardening
