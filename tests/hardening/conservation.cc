// The conservation check: its own block splitter, the cutting of the output
// files into source blocks, and the accounting of every block.

#include "conservation.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

namespace karvel::hardening {

namespace {

constexpr size_t kMaxReadChars = 99;

// One line read starting at `begin`: its end, and its text as the equality
// test sees it (CR of CR LF dropped, cut at the first NUL).
struct Read {
  size_t end = 0;
  bool empty = false;
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
    if (read.empty) {
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
    reads.push_back({read.end, read.empty});
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

bool cut_into_blocks(const std::string& output, const std::vector<std::string>& candidates,
                     std::vector<size_t>* picked, size_t* failed_at) {
  // Candidates by their first byte.
  std::vector<size_t> by_first_byte[256];
  for (size_t c = 0; c < candidates.size(); ++c) {
    if (!candidates[c].empty()) {
      by_first_byte[static_cast<unsigned char>(candidates[c][0])].push_back(c);
    }
  }
  // Every offset that a cut reaches, with the step that first reached it.
  struct Step {
    size_t from;
    size_t candidate;
  };
  std::map<size_t, Step> reached;
  reached.emplace(0, Step{0, 0});
  for (auto it = reached.begin(); it != reached.end(); ++it) {
    size_t pos = it->first;
    if (pos == output.size()) break;
    for (size_t c : by_first_byte[static_cast<unsigned char>(output[pos])]) {
      const std::string& block = candidates[c];
      if (block.size() <= output.size() - pos &&
          memcmp(output.data() + pos, block.data(), block.size()) == 0) {
        reached.emplace(pos + block.size(), Step{pos, c});
      }
    }
  }
  auto last = reached.find(output.size());
  if (last == reached.end()) {
    *failed_at = reached.rbegin()->first;
    return false;
  }
  picked->clear();
  for (size_t pos = output.size(); pos != 0;) {
    const Step& step = reached.at(pos);
    picked->push_back(step.candidate);
    pos = step.from;
  }
  std::reverse(picked->begin(), picked->end());
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
                                      const std::string& dbl, const std::string& rst) {
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
    } else {
      result.problems.push_back(
          "the tail after the last block is not at the end of the rest file: " +
          printable(split.tail));
    }
  }

  std::vector<size_t> written(candidates.size(), 0);
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

  std::map<std::string, size_t> written_of_kind;  // by equality key
  std::map<std::string, size_t> first_of_kind;    // first candidate of the kind
  for (size_t c = 0; c < candidates.size(); ++c) {
    if (written[c] > in_source[c]) {
      result.problems.push_back("source block " + std::to_string(first_number[c]) + " " +
                                printable(candidates[c]) + " is written " +
                                std::to_string(written[c]) + " times but occurs " +
                                std::to_string(in_source[c]) + " times in the source");
    }
    std::string key = equality_key(candidates[c]);
    written_of_kind[key] += written[c];
    first_of_kind.emplace(key, c);
  }
  for (const auto& [key, count] : written_of_kind) {
    if (count != 0) continue;
    size_t c = first_of_kind.at(key);
    result.problems.push_back("source block " + std::to_string(first_number[c]) + " " +
                              printable(candidates[c]) +
                              " is lost: neither it nor an equal block was written");
  }
  return result;
}

}  // namespace karvel::hardening
