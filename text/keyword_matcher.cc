// Theme assignment of a block in one pass over its lines.
//
// Within a line the automaton reports every keyword occurrence at its last
// byte, leftmost first, so the first report of a keyword in the block is its
// first occurrence in the first line that holds it: exactly the occurrence
// that keyword_in_block judges. Each node ending keywords carries the stamp of
// the block in which it was judged; a stamped node's whole output chain has
// been judged too (the walk stamps a chain from its head onward), so a walk
// stops at the first stamped node and a block costs each chain once.

#include "text/keyword_matcher.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "text/keyword_automaton.h"
#include "text/keyword_table.h"
#include "text/text_rules.h"

namespace karvel {

namespace {

constexpr uint32_t kNoKeyword = 0xFFFFFFFF;
constexpr size_t kStretch = 4;  // bytes walked between looks at the filter

// True when an occurrence with these surroundings passes the search type.
bool passes(uint32_t search_type, bool starts_word, bool ends_word) {
  switch (search_type) {
    case SEARCH_ANYWHERE:
      return true;
    case SEARCH_WHOLE_WORD:
      return starts_word && ends_word;
    case SEARCH_WORD_START:
      return starts_word;
    case SEARCH_WORD_END:
      return ends_word;
    default:
      return false;  // keyword_in_block rejects unknown types as well
  }
}

}  // namespace

struct KeywordMatcher::Impl {
  explicit Impl(std::shared_ptr<const KeywordAutomaton> built)
      : shared(std::move(built)), automaton(*shared) {}

  std::shared_ptr<const KeywordAutomaton> shared;  // owns the automaton
  const KeywordAutomaton& automaton;               // the keywords' automaton
  std::vector<uint32_t> types;                     // search type of keyword k
  std::vector<uint32_t> themes;                    // theme number of keyword k
  std::vector<uint32_t> stamps;                    // per node: block in which its chain was judged
  uint32_t keyword_count = 0;                      // keywords of the table
  TextEncoding encoding = TextEncoding::kCp866;    // decides where words end
  uint32_t generation = 0;                         // stamp of the current block
  uint32_t lines = 0;                              // lines of the current block so far
  uint32_t best = kNoKeyword;                      // lowest keyword accepted in the block
  uint32_t judged_prefix = 0;                      // keywords 0 .. judged_prefix - 1 are judged
  const unsigned char* line = nullptr;             // the line being scanned
  size_t length = 0;                               // its length
  std::vector<unsigned char> padded;               // the line, zeros after it, for the filter
  std::vector<uint64_t> passed;                    // bit i: line[i] passes the filter

  void judge_empty_keywords();
  void judge_chain(uint32_t node, size_t end);
  void judge_node(uint32_t node, size_t end);
  uint32_t walk_dense(uint32_t node, size_t from, size_t to);
  uint32_t walk_compact(uint32_t node, size_t from, size_t to);
  uint32_t walk_linked(uint32_t node, size_t from, size_t to);
  uint32_t walk(uint32_t node, size_t from, size_t to);
  size_t next_candidate(size_t from) const;
  // With `line_padded`, kFilterPadding zeros follow the line.
  void scan(bool line_padded);
  bool is_judged(uint32_t k) const {
    uint32_t node = automaton.keyword_node[k];
    return node == kNoNode ? lines > 0 : stamps[node] == generation;
  }
};

// An empty keyword occurs at the start of the first line of the block.
void KeywordMatcher::Impl::judge_empty_keywords() {
  bool ends_word = precedes_delimiter(line, length, 0, encoding);
  for (uint32_t k : automaton.empty_keywords) {
    if (k >= best) break;
    if (passes(types[k], true, ends_word)) {
      best = k;
      break;
    }
  }
}

// Judges the keywords that end at `node`, whose occurrence ends at line[end].
void KeywordMatcher::Impl::judge_node(uint32_t node, size_t end) {
  size_t start = end + 1 - automaton.depth[node];
  bool starts_word = follows_delimiter(line, start, encoding);
  bool ends_word = precedes_delimiter(line, length, end + 1, encoding);
  for (uint32_t i = automaton.first_keyword[node]; i < automaton.first_keyword[node + 1]; i++) {
    uint32_t k = automaton.keyword_list[i];
    if (k >= best) break;
    if (passes(types[k], starts_word, ends_word)) {
      best = k;
      break;
    }
  }
}

void KeywordMatcher::Impl::judge_chain(uint32_t node, size_t end) {
  for (uint32_t u = automaton.output[node]; u != kNoNode && stamps[u] != generation;
       u = automaton.next_output[u]) {
    stamps[u] = generation;
    judge_node(u, end);
  }
}

// Every node has a dense row: one table look-up per byte.
uint32_t KeywordMatcher::Impl::walk_dense(uint32_t node, size_t from, size_t to) {
  const uint8_t* byte_class = automaton.byte_class;
  const uint32_t* table = automaton.dense.data();
  const uint32_t shift = automaton.row_shift;
  uint32_t row = node << shift;
  for (size_t i = from; i < to; i++) {
    uint32_t entry = table[row + byte_class[line[i]]];
    row = entry & ~kOutputFlag;
    if (entry & kOutputFlag) judge_chain(row >> shift, i);
  }
  return row >> shift;
}

// The same with 16-bit entries.
uint32_t KeywordMatcher::Impl::walk_compact(uint32_t node, size_t from, size_t to) {
  const uint8_t* byte_class = automaton.byte_class;
  const uint16_t* table = automaton.compact.data();
  const uint32_t shift = automaton.row_shift;
  for (size_t i = from; i < to; i++) {
    uint32_t entry = table[(node << shift) + byte_class[line[i]]];
    node = entry & ~uint32_t{kCompactOutputFlag};
    if (entry & kCompactOutputFlag) judge_chain(node, i);
  }
  return node;
}

// The deeper nodes have no row: trie edges and failure links lead on.
uint32_t KeywordMatcher::Impl::walk_linked(uint32_t node, size_t from, size_t to) {
  for (size_t i = from; i < to; i++) {
    node = next_node_by_rows(automaton, node, automaton.byte_class[line[i]]);
    if (automaton.output[node] != kNoNode) judge_chain(node, i);
  }
  return node;
}

uint32_t KeywordMatcher::Impl::walk(uint32_t node, size_t from, size_t to) {
  if (!automaton.compact.empty()) return walk_compact(node, from, to);
  if (automaton.dense_rows == automaton.node_count) return walk_dense(node, from, to);
  return walk_linked(node, from, to);
}

// The first position at or after `from` that passes the filter, or `length`
// when none does.
size_t KeywordMatcher::Impl::next_candidate(size_t from) const {
  size_t w = from / 64;
  uint64_t bits = passed[w] & (~uint64_t{0} << (from % 64));
  for (size_t words = (length + 63) / 64; bits == 0; bits = passed[w]) {
    if (++w == words) return length;
  }
  return w * 64 + static_cast<size_t>(std::countr_zero(bits));
}

// A keyword begins only at a position that passes the filter. The
// automaton's node after line[i - 1] spells the longest suffix of the line so
// far that begins a keyword; when no position from the start of that suffix
// up to the next passing one c passes, no keyword occurrence begins before c
// and ends at i or later, and one that begins at c or later is found just
// as well from the root at c: the walk leaps there. Past the last passing
// position no keyword ends.
void KeywordMatcher::Impl::scan(bool line_padded) {
  if (!automaton.filter.in_use) {
    walk(0, 0, length);
    return;
  }
  if (passed.size() < (length + 63) / 64) passed.resize((length + 63) / 64);
  const unsigned char* filtered = line;
  if (!line_padded) {
    if (padded.size() < length + kFilterPadding) padded.resize(length + kFilterPadding);
    memcpy(padded.data(), line, length);
    memset(padded.data() + length, 0, kFilterPadding);
    filtered = padded.data();
  }
  find_keyword_candidates(automaton.filter, filtered, length, passed.data());
  uint32_t node = 0;
  size_t i = 0;
  while (i < length) {
    size_t c = next_candidate(i - automaton.depth[node]);
    if (c == length) return;
    if (c > i) {
      i = c;
      node = 0;
    }
    // A few bytes at a time while a match may be under way.
    size_t stop = std::min(length, i + kStretch);
    node = walk(node, i, stop);
    i = stop;
  }
}

KeywordMatcher::KeywordMatcher(const KeywordTable& table, size_t dense_state_limit, bool filtered) {
  auto automaton = std::make_shared<KeywordAutomaton>();
  build_keyword_automaton(table, dense_state_limit, filtered, automaton.get());
  impl_ = std::make_unique<Impl>(std::move(automaton));
  Impl& m = *impl_;
  m.keyword_count = table.get_keyword_count();
  m.encoding = table.text_encoding();
  m.types.resize(m.keyword_count);
  m.themes.resize(m.keyword_count);
  for (uint32_t k = 0; k < m.keyword_count; k++) {
    m.types[k] = table.get_search_type(k);
    m.themes[k] = table.get_keyword_theme(k);
  }
  m.stamps.assign(m.automaton.node_count, 0);
  start_block();
}

KeywordMatcher::KeywordMatcher(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {
  start_block();
}

KeywordMatcher::~KeywordMatcher() = default;

std::unique_ptr<KeywordMatcher> KeywordMatcher::clone() const {
  auto impl = std::make_unique<Impl>(impl_->shared);
  impl->keyword_count = impl_->keyword_count;
  impl->encoding = impl_->encoding;
  impl->types = impl_->types;
  impl->themes = impl_->themes;
  impl->stamps.assign(impl_->automaton.node_count, 0);
  return std::unique_ptr<KeywordMatcher>(new KeywordMatcher(std::move(impl)));
}

void KeywordMatcher::start_block() {
  Impl& m = *impl_;
  if (++m.generation == 0) {
    // After 2^32 blocks the stamps would repeat: forget them all.
    std::fill(m.stamps.begin(), m.stamps.end(), 0);
    m.generation = 1;
  }
  m.lines = 0;
  m.best = kNoKeyword;
  m.judged_prefix = 0;
}

void KeywordMatcher::add_line(const char* folded, size_t length) {
  add_line_of(folded, length, false);
}

void KeywordMatcher::add_padded_line(const char* folded, size_t length) {
  add_line_of(folded, length, true);
}

void KeywordMatcher::add_line_of(const char* folded, size_t length, bool padded) {
  Impl& m = *impl_;
  m.line = reinterpret_cast<const unsigned char*>(folded);
  m.length = length;
  if (m.lines == 0 && !m.automaton.empty_keywords.empty()) m.judge_empty_keywords();
  m.lines++;
  m.scan(padded);
}

bool KeywordMatcher::decided() const {
  Impl& m = *impl_;
  uint32_t limit = std::min(m.best, m.keyword_count);
  while (m.judged_prefix < limit && m.is_judged(m.judged_prefix)) m.judged_prefix++;
  return m.judged_prefix >= limit;
}

TextEncoding KeywordMatcher::text_encoding() const { return impl_->encoding; }

uint32_t KeywordMatcher::block_theme() const {
  const Impl& m = *impl_;
  return m.best == kNoKeyword ? kNoTheme : m.themes[m.best];
}

}  // namespace karvel
