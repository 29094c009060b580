// Lines and blocks of generated text, keyword words put into lines, and near
// copies of blocks.

#include "generator/text.h"

namespace karvel::bench {

namespace {

constexpr size_t kPiece = 99;  // characters of one line read

size_t line_length(Random& random, LineLengths lengths) {
  const double roll = random.unit();
  switch (lengths) {
    case LineLengths::kText:
      if (roll < 0.12) return random.between(8, 45);
      if (roll < 0.85) return random.between(45, 92);
      if (roll < 0.97) return random.between(100, 260);
      return random.between(260, 900);
    case LineLengths::kShort:
      return random.between(20, 60);
    case LineLengths::kNarrow:
      if (roll < 0.95) return random.between(30, 95);
      return random.between(100, 200);
  }
  return 60;
}

std::string number(Random& random) {
  return std::to_string(random.chance(0.5) ? random.between(1900, 2030) : random.between(1, 999));
}

// End of the last word of the line that holds a marker letter; 0 if none.
size_t protected_end(const std::string& line) {
  size_t end = 0;
  size_t start = 0;
  while (start < line.size()) {
    size_t stop = line.find(' ', start);
    if (stop == std::string::npos) stop = line.size();
    if (has_marker(std::string_view(line).substr(start, stop - start))) end = stop;
    start = stop + 1;
  }
  return end;
}

bool inside_one_piece(size_t position, size_t length) {
  return length == 0 || position / kPiece == (position + length - 1) / kPiece;
}

struct Token {
  size_t start;
  size_t length;
};

// Words of the line after its last keyword word.
std::vector<Token> free_tokens(const std::string& line) {
  std::vector<Token> tokens;
  size_t start = protected_end(line);
  while (start < line.size()) {
    if (line[start] == ' ') {
      ++start;
      continue;
    }
    size_t stop = line.find(' ', start);
    if (stop == std::string::npos) stop = line.size();
    tokens.push_back({start, stop - start});
    start = stop;
  }
  return tokens;
}

Script script_of(const std::string& word) {
  for (char ch : word) {
    if (static_cast<unsigned char>(ch) >= 128) return Script::kCyrillic;
  }
  return Script::kLatin;
}

}  // namespace

std::string TextMaker::line(Random& random, Script script, size_t length) const {
  const Vocabulary& vocabulary = words(script);
  std::string text;
  text.reserve(length + 16);
  bool sentence_start = random.chance(0.6);
  while (text.size() < length) {
    if (!text.empty()) text.push_back(' ');
    std::string word = random.chance(0.015) ? number(random) : vocabulary.draw(random);
    if (sentence_start) capitalize_first(word);
    sentence_start = false;
    const double wrap = random.unit();
    if (wrap < 0.006) {
      word = "(" + word + ")";
    } else if (wrap < 0.01) {
      word = "\"" + word + "\"";
    }
    text += word;
    const double mark = random.unit();
    if (mark < 0.06) {
      text.push_back(',');
    } else if (mark < 0.12) {
      text.push_back('.');
      sentence_start = true;
    } else if (mark < 0.125) {
      text.push_back(';');
    } else if (mark < 0.13) {
      text.push_back(':');
    } else if (mark < 0.133) {
      text.push_back('?');
      sentence_start = true;
    } else if (mark < 0.136) {
      text += " -";
    }
  }
  return text;
}

Block TextMaker::block(Random& random, Script script, uint32_t count, LineLengths lengths,
                       double other_script_share) const {
  const Script other = script == Script::kLatin ? Script::kCyrillic : Script::kLatin;
  Block result;
  result.lines.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const Script line_script = random.chance(other_script_share) ? other : script;
    result.lines.push_back(line(random, line_script, line_length(random, lengths)));
  }
  return result;
}

void TextMaker::insert_word(Block& block, uint32_t index, const std::string& word,
                            Random& random) const {
  std::string& text = block.lines[index];
  const size_t from = protected_end(text);
  // Word starts that keep what stands before them in place.
  std::vector<size_t> places;
  if (from == 0 && inside_one_piece(0, word.size())) places.push_back(0);
  for (size_t i = from; i < text.size(); ++i) {
    if (text[i] == ' ' && inside_one_piece(i + 1, word.size())) places.push_back(i + 1);
  }
  const size_t at_end = text.size() + (text.empty() ? 0 : 1);
  if (inside_one_piece(at_end, word.size())) places.push_back(at_end);
  if (places.empty()) {
    // Only the end is left and the word would straddle two pieces: pad.
    while (!inside_one_piece(text.size() + 1, word.size())) text.push_back(' ');
    text += " " + word;
    return;
  }
  const size_t place = places[random.below(static_cast<uint32_t>(places.size()))];
  if (place >= text.size()) {
    if (!text.empty()) text.push_back(' ');
    text += word;
  } else {
    text.insert(place, word + " ");
  }
}

void TextMaker::near_copy(Block& block, Random& random) const {
  const uint32_t edits = random.chance(0.6) ? 1 : 2;
  for (uint32_t e = 0; e < edits; ++e) {
    // Lines that have a word free to change.
    std::vector<uint32_t> candidates;
    for (uint32_t i = 0; i < block.lines.size(); ++i) {
      if (!free_tokens(block.lines[i]).empty()) candidates.push_back(i);
    }
    if (candidates.empty()) return;
    std::string& text =
        block.lines[candidates[random.below(static_cast<uint32_t>(candidates.size()))]];
    const std::vector<Token> tokens = free_tokens(text);
    const Token token = tokens[random.below(static_cast<uint32_t>(tokens.size()))];
    const std::string old_word = text.substr(token.start, token.length);
    const Vocabulary& vocabulary = words(script_of(old_word));
    const double kind = random.unit();
    if (kind < 0.15 && text.size() > token.length + 1) {
      // Drop the word with one of its blanks.
      if (token.start > 0) {
        text.erase(token.start - 1, token.length + 1);
      } else {
        text.erase(0, token.length + 1);
      }
    } else if (kind < 0.3) {
      text.insert(token.start, vocabulary.draw(random) + " ");
    } else {
      std::string word = vocabulary.draw(random);
      for (int tries = 0; word == old_word && tries < 8; ++tries) word = vocabulary.draw(random);
      text.replace(token.start, token.length, word);
    }
  }
}

void render_block(const Block& block, std::string& out) {
  for (const std::string& text : block.lines) {
    out += text;
    // A line that ends exactly at the end of a 99-character piece would be
    // followed by a read of its line feed alone: an empty line.
    if (!text.empty() && text.size() % kPiece == 0) out.push_back('.');
    out.push_back('\n');
  }
  out.push_back('\n');
}

}  // namespace karvel::bench
