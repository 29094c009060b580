// The conservation check: its own block splitter, the cutting of the output
// files into source blocks, and the accounting of every block.

#include "conservation.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

namespace karvel::hardening {

namespace {

constexpr size_t kMaxReadChars = 99;

// One line read starting at `begin`: its end, and its text as the equality
// test sees it (CR of CR LF dropped, cut at the first NUL).
struct Read {
  size_t end = 0;
  bool empty = false;
  bool ends_block = false;
  std::string text;
};

Read read_line(const std::string& bytes, size_t begin) {
  Read read;
  size_t pos = begin;
  size_t chars = 0;
  bool nul_seen = false;
  while (pos < bytes.size() && chars < kMaxReadChars) {
    char c = bytes[pos];
    if (c == '\r' && pos + 1 < bytes.size() && bytes[pos + 1] == '\n') {
      c = '\n';
      pos += 2;
    } else {
      pos += 1;
    }
    chars += 1;
    if (c == '\0') nul_seen = true;
    if (!nul_seen) read.text.push_back(c);
    if (c == '\n') break;
  }
  read.end = pos;
  // The first character decides: a line feed (or CR LF) or a NUL.
  read.empty = read.text.empty() || read.text[0] == '\n';
  // Only an empty read at the start of a line ends a block.
  read.ends_block = read.empty && (begin == 0 || bytes[begin - 1] == '\n');
  return read;
}

}  // namespace

SplitText split_blocks(const std::string& bytes) {
  SplitText split;
  size_t block_start = 0;
  size_t pos = 0;
  while (pos < bytes.size()) {
    Read read = read_line(bytes, pos);
    pos = read.end;
    if (read.ends_block) {
      split.blocks.push_back(bytes.substr(block_start, pos - block_start));
      block_start = pos;
    }
  }
  split.tail = bytes.substr(block_start);
  return split;
}

std::vector<ReadEnd> line_reads(const std::string& bytes) {
  std::vector<ReadEnd> reads;
  for (size_t pos = 0; pos < bytes.size();) {
    Read read = read_line(bytes, pos);
    pos = read.end;
    reads.push_back({read.end, read.empty, read.ends_block});
  }
  return reads;
}

std::string equality_key(const std::string& block) {
  std::string key;
  size_t pos = 0;
  while (pos < block.size()) {
    Read read = read_line(block, pos);
    pos = read.end;
    // Each text with its length in front, so that no two read lists share a key.
    key += std::to_string(read.text.size());
    key += ':';
    key += read.text;
  }
  return key;
}

namespace {

// Finds the source blocks that may stand at an offset of an output.
class Cutter {
 public:
  explicit Cutter(const std::vector<std::string>& candidates) : candidates_(candidates) {
    for (size_t c = 0; c < candidates.size(); ++c) {
      if (candidates[c].empty()) continue;
      by_first_byte_[static_cast<unsigned char>(candidates[c][0])].push_back(c);
      index_of_.emplace(candidates[c], c);
    }
  }

  // First the block that reading the output itself gives (through its first
  // read that ends a block), then every other that fits. Written in another order, a few
  // blocks are read differently (one that ended the source in the middle of a
  // read; a CR at the end of one and a LF at the start of the next): only
  // there does a cut need the others.
  std::vector<size_t> options_at(const std::string& output, size_t pos) const {
    std::vector<size_t> options;
    size_t end = pos;
    while (end < output.size()) {
      Read read = read_line(output, end);
      end = read.end;
      if (read.ends_block) break;
    }
    auto natural = index_of_.find(output.substr(pos, end - pos));
    if (natural != index_of_.end()) options.push_back(natural->second);
    for (size_t c : by_first_byte_[static_cast<unsigned char>(output[pos])]) {
      const std::string& block = candidates_[c];
      if (!options.empty() && c == options[0]) continue;
      if (block.size() <= output.size() - pos &&
          memcmp(output.data() + pos, block.data(), block.size()) == 0) {
        options.push_back(c);
      }
    }
    return options;
  }

  size_t size_of(size_t c) const { return candidates_[c].size(); }

 private:
  const std::vector<std::string>& candidates_;
  std::vector<size_t> by_first_byte_[256];
  std::map<std::string, size_t> index_of_;
};

// One step of a depth-first cut: the offset, the blocks that may stand there
// and the one in use (options[next - 1]).
struct Frame {
  size_t output;
  size_t pos;
  std::vector<size_t> options;
  size_t next = 0;
};

constexpr size_t kSearchBudget = 1000000;  // blocks tried before giving up

// Searches for a cut of all `outputs` into source blocks that uses no block
// more often than the source holds it and writes at least one block of
// `required_kinds` kinds (all of them, or none for a run that was stopped). Fills *written (times
// each candidate is used) when it finds one.
bool find_sound_cut(const std::vector<const std::string*>& outputs, const Cutter& cutter,
                    std::vector<size_t> remaining, const std::vector<size_t>& kind_of,
                    size_t kind_count, size_t required_kinds, std::vector<size_t>* written) {
  std::vector<size_t> of_kind(kind_count, 0);
  size_t kinds_written = 0;
  written->assign(remaining.size(), 0);
  auto frame_at = [&](size_t output, size_t pos) {
    while (output < outputs.size() && pos == outputs[output]->size()) {
      ++output;
      pos = 0;
    }
    Frame frame{output, pos, {}};
    if (output < outputs.size()) frame.options = cutter.options_at(*outputs[output], pos);
    return frame;
  };
  auto take_back = [&](size_t c) {
    ++remaining[c];
    --(*written)[c];
    if (--of_kind[kind_of[c]] == 0) --kinds_written;
  };
  std::vector<Frame> stack = {frame_at(0, 0)};
  for (size_t tried = 0; tried < kSearchBudget && !stack.empty(); ++tried) {
    Frame& top = stack.back();
    if (top.output == outputs.size() && kinds_written >= required_kinds) return true;
    if (top.next == top.options.size()) {
      stack.pop_back();
      if (!stack.empty()) take_back(stack.back().options[stack.back().next - 1]);
      continue;
    }
    size_t c = top.options[top.next++];
    if (remaining[c] == 0) continue;
    --remaining[c];
    ++(*written)[c];
    if (of_kind[kind_of[c]]++ == 0) ++kinds_written;
    size_t output = top.output, pos = top.pos + cutter.size_of(c);
    stack.push_back(frame_at(output, pos));
  }
  return false;
}

}  // namespace

bool cut_into_blocks(const std::string& output, const std::vector<std::string>& candidates,
                     std::vector<size_t>* picked, size_t* failed_at) {
  Cutter cutter(candidates);
  // Depth first, without counts; offsets from which no cut works are kept.
  std::vector<Frame> stack;
  std::set<size_t> dead;
  *failed_at = 0;
  if (!output.empty()) stack.push_back({0, 0, cutter.options_at(output, 0)});
  while (!stack.empty() && stack.back().pos != output.size()) {
    Frame& top = stack.back();
    *failed_at = std::max(*failed_at, top.pos);
    if (top.next == top.options.size()) {
      dead.insert(top.pos);
      stack.pop_back();
      continue;
    }
    size_t to = top.pos + cutter.size_of(top.options[top.next++]);
    if (dead.count(to) != 0) continue;
    stack.push_back(
        {0, to, to == output.size() ? std::vector<size_t>{} : cutter.options_at(output, to)});
  }
  if (!output.empty() && stack.empty()) return false;
  picked->clear();
  for (size_t f = 0; f + 1 < stack.size(); ++f) {
    picked->push_back(stack[f].options[stack[f].next - 1]);
  }
  return true;
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
    if (c == '\n') {
      text += "\\n";
    } else if (c == '\r') {
      text += "\\r";
    } else if (c == '"' || c == '\\') {
      text += '\\';
      text += static_cast<char>(c);
    } else if (c < 32 || c > 126) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\x%02x", c);
      text += escape;
    } else {
      text += static_cast<char>(c);
    }
  }
  text += bytes.size() > limit ? "\"..." : "\"";
  text += " (" + std::to_string(bytes.size()) + " bytes)";
  return text;
}

ConservationResult check_conservation(const std::string& source, const std::string& dst,
                                      const std::string& dbl, const std::string& rst,
                                      bool complete) {
  ConservationResult result;
  SplitText split = split_blocks(source);
  result.source_blocks = split.blocks.size();

  // Distinct block bytes, how often each occurs in the source, and the first
  // block number at which it occurs.
  std::vector<std::string> candidates;
  std::vector<size_t> in_source, first_number;
  std::map<std::string, size_t> index_of;
  for (size_t b = 0; b < split.blocks.size(); ++b) {
    auto [it, added] = index_of.emplace(split.blocks[b], candidates.size());
    if (added) {
      candidates.push_back(split.blocks[b]);
      in_source.push_back(0);
      first_number.push_back(b);
    }
    in_source[it->second] += 1;
  }

  if (!dst.empty()) {
    result.problems.push_back("the destination file is not empty although Rst=Dst is on: " +
                              printable(dst));
  }

  std::string rest_blocks = rst;
  if (!split.tail.empty()) {
    bool at_end = rst.size() >= split.tail.size() &&
                  rst.compare(rst.size() - split.tail.size(), split.tail.size(), split.tail) == 0;
    if (at_end) {
      rest_blocks.resize(rst.size() - split.tail.size());
    } else if (complete) {
      result.problems.push_back(
          "the tail after the last block is not at the end of the rest file: " +
          printable(split.tail));
    }
  }

  // The kind of each candidate: equal blocks are of one kind.
  std::vector<size_t> kind_of(candidates.size());
  std::map<std::string, size_t> kinds;
  for (size_t c = 0; c < candidates.size(); ++c) {
    kind_of[c] = kinds.emplace(equality_key(candidates[c]), kinds.size()).first->second;
  }
  std::vector<size_t> written;
  Cutter cutter(candidates);
  if (find_sound_cut({&dst, &dbl, &rest_blocks}, cutter, in_source, kind_of, kinds.size(),
                     complete ? kinds.size() : 0, &written)) {
    for (size_t n : written) result.written_blocks += n;
    return result;
  }

  // No sound cut: say what is wrong, output by output.
  size_t problems_before = result.problems.size();
  written.assign(candidates.size(), 0);
  const std::pair<const char*, const std::string*> outputs[] = {
      {"destination", &dst}, {"doubles", &dbl}, {"rest", &rest_blocks}};
  for (const auto& [name, bytes] : outputs) {
    std::vector<size_t> picked;
    size_t failed_at = 0;
    if (!cut_into_blocks(*bytes, candidates, &picked, &failed_at)) {
      result.problems.push_back(
          std::string("the ") + name + " file is not made of source blocks from offset " +
          std::to_string(failed_at) + ": " + printable(bytes->substr(failed_at)));
      continue;
    }
    for (size_t c : picked) written[c] += 1;
    result.written_blocks += picked.size();
  }
  std::vector<size_t> written_of_kind(kinds.size(), 0);
  std::vector<size_t> first_of_kind(kinds.size(), candidates.size());
  for (size_t c = 0; c < candidates.size(); ++c) {
    if (written[c] > in_source[c]) {
      result.problems.push_back("source block " + std::to_string(first_number[c]) + " " +
                                printable(candidates[c]) + " is written " +
                                std::to_string(written[c]) + " times but occurs " +
                                std::to_string(in_source[c]) + " times in the source");
    }
    written_of_kind[kind_of[c]] += written[c];
    first_of_kind[kind_of[c]] = std::min(first_of_kind[kind_of[c]], c);
  }
  for (size_t k = 0; k < kinds.size(); ++k) {
    if (written_of_kind[k] != 0 || !complete) continue;
    size_t c = first_of_kind[k];
    result.problems.push_back("source block " + std::to_string(first_number[c]) + " " +
                              printable(candidates[c]) +
                              " is lost: neither it nor an equal block was written");
  }
  if (result.problems.size() == problems_before) {
    result.problems.push_back(
        "the outputs cannot be cut into source blocks that account for every block");
  }
  return result;
}

}  // namespace karvel::hardening
