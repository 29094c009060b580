// The conservation check (its own block splitter, the cutting of the output
// files into source blocks) and the random sources.

#include "conservation.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

namespace karvel::hardening {

namespace {

constexpr size_t kMaxReadChars = 99;

// The line read starting at `begin`.
ReadEnd read_line(const std::string& bytes, size_t begin) {
  ReadEnd read;
  size_t pos = begin;
  bool nul_seen = false;
  for (size_t chars = 0; pos < bytes.size() && chars < kMaxReadChars; ++chars) {
    bool crlf = bytes[pos] == '\r' && pos + 1 < bytes.size() && bytes[pos + 1] == '\n';
    char c = crlf ? '\n' : bytes[pos];
    pos += crlf ? 2 : 1;
    nul_seen = nul_seen || c == '\0';
    if (!nul_seen) read.text.push_back(c);
    if (c == '\n') break;
  }
  read.end = pos;
  read.empty = read.text.empty() || read.text[0] == '\n';
  read.ends_block = read.empty && (begin == 0 || bytes[begin - 1] == '\n');
  return read;
}

// What makes two blocks "equal" for the equal-blocks pass: the same number of
// reads, and the same text in each read (the CR of a CR LF dropped, the text
// cut at its first NUL). Blocks with the same key are equal.
std::string equality_key(const std::string& block) {
  std::string key;
  for (size_t pos = 0; pos < block.size();) {
    ReadEnd read = read_line(block, pos);
    pos = read.end;
    // Each text with its length in front, so that no two read lists share a key.
    key += std::to_string(read.text.size()) + ":" + read.text;
  }
  return key;
}

// Finds the source blocks that may stand at an offset of an output.
class Cutter {
 public:
  explicit Cutter(const std::vector<std::string>& candidates) : candidates_(candidates) {
    for (size_t c = 0; c < candidates.size(); ++c) {
      by_first_byte_[static_cast<unsigned char>(candidates[c][0])].push_back(c);
      index_of_.emplace(candidates[c], c);
    }
  }
  // First the block that reading the output itself gives (through its first
  // read that ends a block), then every other that fits. Written in another
  // order, a few blocks are read differently (one that ended the source in
  // the middle of a read; a CR at the end of one and a LF at the start of the
  // next): only there does a cut need the others.
  std::vector<size_t> options_at(const std::string& output, size_t pos) const {
    std::vector<size_t> options;
    size_t end = pos;
    for (bool ends = false; end < output.size() && !ends;) {
      ReadEnd read = read_line(output, end);
      end = read.end;
      ends = read.ends_block;
    }
    auto natural = index_of_.find(output.substr(pos, end - pos));
    if (natural != index_of_.end()) options.push_back(natural->second);
    for (size_t c : by_first_byte_[static_cast<unsigned char>(output[pos])]) {
      const std::string& block = candidates_[c];
      if ((options.empty() || c != options[0]) && output.compare(pos, block.size(), block) == 0)
        options.push_back(c);
    }
    return options;
  }
  size_t size_of(size_t c) const { return candidates_[c].size(); }

 private:
  const std::vector<std::string>& candidates_;
  std::vector<size_t> by_first_byte_[256];
  std::map<std::string, size_t> index_of_;
};

// One step of a depth-first cut; options[next - 1] is the block in use.
struct Frame {
  size_t output;
  size_t pos;
  std::vector<size_t> options;
  size_t next = 0;
};

constexpr size_t kSearchBudget = 1000000;  // blocks tried before giving up

// Searches a cut of all `outputs` into source blocks using none more often
// than the source holds it (`remaining`), with blocks of `required_kinds`
// kinds (all, or none for a stopped run). Fills *written (uses of each
// candidate) and *reached (the farthest offset a cut reached).
bool find_sound_cut(const std::vector<const std::string*>& outputs, const Cutter& cutter,
                    std::vector<size_t> remaining, const std::vector<size_t>& kind_of,
                    size_t kind_count, size_t required_kinds, std::vector<size_t>* written,
                    size_t* reached) {
  std::vector<size_t> of_kind(kind_count, 0);
  size_t kinds_written = 0;
  written->assign(remaining.size(), 0);
  *reached = 0;
  auto frame_at = [&](size_t output, size_t pos) {
    for (; output < outputs.size() && pos == outputs[output]->size(); ++output) pos = 0;
    Frame frame{output, pos, {}};
    if (output < outputs.size()) frame.options = cutter.options_at(*outputs[output], pos);
    return frame;
  };
  std::vector<Frame> stack = {frame_at(0, 0)};
  for (size_t tried = 0; tried < kSearchBudget && !stack.empty(); ++tried) {
    Frame& top = stack.back();
    *reached = std::max(*reached, top.pos);
    if (top.output == outputs.size() && kinds_written >= required_kinds) return true;
    if (top.next == top.options.size()) {
      stack.pop_back();
      if (stack.empty()) break;
      size_t c = stack.back().options[stack.back().next - 1];  // taken back
      ++remaining[c];
      --(*written)[c];
      if (--of_kind[kind_of[c]] == 0) --kinds_written;
      continue;
    }
    size_t c = top.options[top.next++];
    if (remaining[c] == 0) continue;
    --remaining[c];
    ++(*written)[c];
    if (of_kind[kind_of[c]]++ == 0) ++kinds_written;
    stack.push_back(frame_at(top.output, top.pos + cutter.size_of(c)));
  }
  return false;
}

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
  for (const std::string& odd : {std::string(1, '\0'), std::string(2, '\xFF'), std::string("\r")})
    if (random.chance(3)) line.insert(random.below(static_cast<uint32_t>(line.size()) + 1), odd);
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

std::vector<ReadEnd> line_reads(const std::string& bytes) {
  std::vector<ReadEnd> reads;
  for (size_t pos = 0; pos < bytes.size(); pos = reads.back().end)
    reads.push_back(read_line(bytes, pos));
  return reads;
}

std::string ConservationResult::describe() const {
  std::string text;
  for (const std::string& problem : problems) text += problem + "\n";
  return text;
}

std::string printable(const std::string& bytes, size_t limit) {
  std::string text = "\"";
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    char hex[8];
    snprintf(hex, sizeof hex, "\\x%02x", c);
    bool plain = c >= 32 && c <= 126 && c != '"' && c != '\\';
    text += c == '\n' ? std::string("\\n") : plain ? std::string(1, static_cast<char>(c)) : hex;
  }
  text += bytes.size() > limit ? "\"..." : "\"";
  return text + " (" + std::to_string(bytes.size()) + " bytes)";
}

ConservationResult check_conservation(const std::string& source, const std::string& dst,
                                      const std::string& dbl, const std::string& rst,
                                      bool complete) {
  ConservationResult result;
  // The source's blocks: distinct block bytes, how often each occurs, and its
  // kind (equal blocks are of one); then the tail after the last block.
  std::vector<std::string> candidates;
  std::vector<size_t> in_source, kind_of;
  std::map<std::string, size_t> index_of, kinds;
  size_t block_start = 0;
  for (const ReadEnd& read : line_reads(source)) {
    if (!read.ends_block) continue;
    std::string block = source.substr(block_start, read.end - block_start);
    block_start = read.end;
    ++result.source_blocks;
    auto [it, added] = index_of.emplace(block, candidates.size());
    if (added) {
      candidates.push_back(block);
      in_source.push_back(0);
      kind_of.push_back(kinds.emplace(equality_key(block), kinds.size()).first->second);
    }
    in_source[it->second] += 1;
  }
  const std::string tail = source.substr(block_start);
  if (!dst.empty()) {
    result.problems.push_back("the destination file is not empty although Rst=Dst is on: " +
                              printable(dst));
  }
  std::string rest_blocks = rst;
  if (rst.size() >= tail.size() && rst.compare(rst.size() - tail.size(), tail.size(), tail) == 0) {
    rest_blocks.resize(rst.size() - tail.size());
  } else if (complete) {
    result.problems.push_back("the tail after the last block is not at the end of the rest file: " +
                              printable(tail));
  }
  std::vector<size_t> written;
  size_t reached = 0;
  Cutter cutter(candidates);
  if (find_sound_cut({&dst, &dbl, &rest_blocks}, cutter, in_source, kind_of, kinds.size(),
                     complete ? kinds.size() : 0, &written, &reached)) {
    for (size_t n : written) result.written_blocks += n;
    return result;
  }
  // No sound cut: name an output that is not made of source blocks at all.
  const std::pair<const char*, const std::string*> outputs[] = {
      {"destination", &dst}, {"doubles", &dbl}, {"rest", &rest_blocks}};
  for (const auto& [name, bytes] : outputs) {
    if (find_sound_cut({bytes}, cutter, in_source, kind_of, kinds.size(), 0, &written, &reached))
      continue;
    result.problems.push_back(std::string("the ") + name +
                              " file is not made of source blocks from offset " +
                              std::to_string(reached) + ": " + printable(bytes->substr(reached)));
  }
  result.problems.push_back(
      "the outputs cannot be cut into source blocks, each written at most as often as the source "
      "holds it, with at least one block of each kind of equal blocks");
  return result;
}

uint64_t Random::next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::vector<std::string> random_vocabulary(Random& random) {
  std::vector<std::string> letters, words;
  for (uint32_t i = 2 + random.below(4); i > 0; --i) letters.push_back(random.pick(kLetters));
  for (uint32_t i = 3 + random.below(8); i > 0; --i) {
    std::string word;
    for (uint32_t k = 1 + random.below(6); k > 0; --k) word += random.pick(letters);
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
  for (uint32_t b = random.below(40); b > 0; --b) {
    std::vector<std::string> lines;
    std::string bytes;
    if (!texts.empty() && random.chance(25)) {
      uint32_t earlier = random.below(static_cast<uint32_t>(texts.size()));
      lines = texts[earlier];
      bytes = random.chance(50) ? rendered[earlier] : render(random, lines, style);
    } else if (!texts.empty() && random.chance(20)) {
      lines = texts[random.below(static_cast<uint32_t>(texts.size()))];
      uint32_t at = random.below(static_cast<uint32_t>(lines.size()));
      uint32_t change = random.below(3);  // a line replaced, one more, or one longer
      if (change == 0) lines[at] = random_line(random, vocabulary);
      if (change == 1) lines.insert(lines.begin() + at, random_line(random, vocabulary));
      if (change == 2) lines[at] += " " + random.pick(vocabulary);
      bytes = render(random, lines, style);
    } else {
      for (uint32_t i = 1 + random.below(5); i > 0; --i)
        lines.push_back(random_line(random, vocabulary));
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
  for (uint32_t k = random.below(12); k > 0; --k) {
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
