// The word tables of a theme and the candidates of each left-hand block.

#include "themes/similar_candidates.h"

#include <algorithm>

#include "messages/messages.h"
#include "records/program_configuration.h"
#include "themes/theme_blocks.h"

namespace karvel {

namespace {

// Entries of the word-to-blocks table read for the price of trying one
// candidate, as measured on generated text: a word's entries are read to
// thin the candidates while there are at most this many per candidate.
constexpr size_t kTryCost = 64;

// Blocks read between two looks at the stop request while the tables are made.
constexpr uint32_t kReadsBetweenLooks = 4096;

// The first entry of the increasing run [begin, end) above `value`, found
// by steps doubling from `begin`: the entries wanted lie near the start, and
// the steps stay in the part about to be read.
const uint32_t* first_above(const uint32_t* begin, const uint32_t* end, uint32_t value) {
  size_t size = static_cast<size_t>(end - begin);
  size_t low = 0, step = 1;  // every entry before low is at or below value
  while (low + step <= size && begin[low + step - 1] <= value) {
    low += step;
    step *= 2;
  }
  return std::upper_bound(begin + low, begin + std::min(size, low + step), value);
}

}  // namespace

void SimilarCandidates::release() { *this = SimilarCandidates(); }

Status SimilarCandidates::prepare(const ThemeBlocks& theme, const SourceFile& source,
                                  const BlockIndex& index,
                                  const ProgramConfiguration& configuration, Messages& messages,
                                  const Status& stopped) {
  uint32_t n = theme.block_count;
  dictionary_.clear();
  list_start_.assign(n + 1, 0);
  list_words_.clear();
  set_start_.assign(n + 1, 0);
  set_words_.clear();
  BlockWordReader reader;
  // Only blocks alive now take part: a block deleted as equal is never
  // compared.
  for (uint32_t p = 0; p < n; ++p) {
    list_start_[p] = static_cast<uint32_t>(list_words_.size());
    set_start_[p] = static_cast<uint32_t>(set_words_.size());
    if (p % kReadsBetweenLooks == kReadsBetweenLooks - 1) {
      messages.set_field(kCurrentBlock, p);
      if (configuration.get_stop() != 0 || messages.stop_requested()) return stopped;
    }
    if (!theme.is_alive(p)) continue;
    Status status = reader.read(source, index, theme.block_at(p), dictionary_, p + 1, &list_words_,
                                &set_words_);
    if (!status.ok()) return status;
  }
  list_start_[n] = static_cast<uint32_t>(list_words_.size());
  set_start_[n] = static_cast<uint32_t>(set_words_.size());
  uint32_t words = dictionary_.size();
  // Words numbered again from the rarest (held by the fewest blocks) to the
  // most common, so that a list's words sort rarest first by number.
  std::vector<uint32_t> held(words + 1, 0);
  for (uint32_t w : set_words_) ++held[w];
  std::vector<uint32_t> start(n + 2, 0);  // by number of holders: words held that often
  for (uint32_t w = 0; w < words; ++w) ++start[held[w] + 1];
  for (uint32_t h = 0; h <= n; ++h) start[h + 1] += start[h];
  lone_words_ = start[2];
  std::vector<uint32_t> renumber(words);
  for (uint32_t w = 0; w < words; ++w) renumber[w] = start[held[w]]++;
  for (uint32_t& w : list_words_) w = renumber[w];
  for (uint32_t& w : set_words_) w = renumber[w];
  // The word-to-blocks table, each word's positions in increasing order.
  start.assign(words + 1, 0);
  for (uint32_t w : set_words_) ++start[w + 1];
  for (uint32_t w = 0; w < words; ++w) start[w + 1] += start[w];
  spans_.resize(words);
  for (uint32_t w = 0; w < words; ++w) spans_[w] = {start[w], start[w]};
  holders_.resize(set_words_.size());
  for (uint32_t p = 0; p < n; ++p) {
    for (uint32_t k = set_start_[p]; k < set_start_[p + 1]; ++k)
      holders_[spans_[set_words_[k]].end++] = p;
  }
  // And each word set again from the table, in increasing number.
  start.assign(set_start_.begin(), set_start_.end());
  for (uint32_t w = 0; w < words; ++w) {
    for (uint32_t e = spans_[w].first; e < spans_[w].end; ++e) set_words_[start[holders_[e]]++] = w;
  }
  weight_.assign(words, 0);
  skip_.resize(n + 1);
  for (uint32_t p = 0; p <= n; ++p) skip_[p] = p;
  found_.assign(n, 0);
  candidates_.assign(n, 0);
  candidate_count_ = 0;
  distinct_.clear();
  every_block_ = false;
  return Status::OK();
}

void SimilarCandidates::start(const ThemeBlocks& theme, uint32_t p, uint32_t last,
                              uint32_t similarity_ratio) {
  for (uint32_t w : distinct_) weight_[w] = 0;
  for (uint32_t k = 0; k < candidate_count_; ++k) found_[candidates_[k]] = 0;
  distinct_.clear();
  candidate_count_ = 0;
  at_ = 0;
  last_ = std::min(last, theme.block_count - 1);
  every_block_ = false;
  uint32_t count = list_start_[p + 1] - list_start_[p];
  for (uint32_t k = list_start_[p]; k < list_start_[p + 1]; ++k) ++weight_[list_words_[k]];
  if (count < kWordListCapacity) {
    // No word was left out of the list: its words are those of the set.
    distinct_.assign(set_words_.begin() + set_start_[p], set_words_.begin() + set_start_[p + 1]);
  } else {
    for (uint32_t k = set_start_[p]; k < set_start_[p + 1]; ++k) {
      if (weight_[set_words_[k]] != 0) distinct_.push_back(set_words_[k]);
    }
  }
  product_ = count * similarity_ratio;  // as the word test takes it, modulo 2^32
  uint64_t need = (uint64_t{product_} + 99) / 100;
  if (last_ <= p || need > count) return;  // no block can pass
  if (need == 0) {
    every_block_ = true;
    at_ = p + 1;
    return;
  }
  // The prefix: its blocks are the candidates.
  uint64_t remaining = count;  // list entries of the words not yet read
  size_t k = 0;
  size_t read = 0;  // entries of the table read
  // A word of p's alone has no other block to give.
  for (; k < distinct_.size() && remaining >= need && distinct_[k] < lone_words_; ++k) {
    remaining -= weight_[distinct_[k]];
    weight_[distinct_[k]] = 0;
  }
  for (; k < distinct_.size() && remaining >= need; ++k) {
    look_ahead(k);
    remaining -= weight_[distinct_[k]];
    read += gather(theme, distinct_[k], in_range(distinct_[k], p));
  }
  // The words after it, while reading their blocks costs less than trying
  // the candidates: a candidate whose words found so far, with all the words
  // not read, fall short of `need` cannot pass. The candidates are sifted
  // when as many entries were read since the last sifting as there are
  // candidates, and at the end.
  size_t unsifted = read;  // entries read since the candidates were last sifted
  for (; k < distinct_.size() && candidate_count_ != 0; ++k) {
    if (unsifted >= candidate_count_) {
      drop_hopeless(need - remaining);
      unsifted = 0;
      if (candidate_count_ == 0) break;
    }
    look_ahead(k);
    uint32_t w = distinct_[k];
    Entries entries = in_range(w, p);
    if (entries.size() > candidate_count_ * kTryCost) break;
    remaining -= weight_[w];
    unsifted += tally(w, entries);
  }
  drop_hopeless(need - remaining);
  std::sort(candidates_.begin(), candidates_.begin() + candidate_count_);
}

void SimilarCandidates::drop_hopeless(uint64_t least) {
  uint32_t kept = 0;
  for (uint32_t k = 0; k < candidate_count_; ++k) {
    uint32_t q = candidates_[k];
    if (found_[q] >= least) {
      candidates_[kept++] = q;
    } else {
      found_[q] = 0;
    }
  }
  candidate_count_ = kept;
}

void SimilarCandidates::look_ahead(size_t k) const {
  // The tables are far apart in memory: ask for the next words' parts early.
  if (k + 8 < distinct_.size()) __builtin_prefetch(&spans_[distinct_[k + 8]]);
  if (k + 4 < distinct_.size()) __builtin_prefetch(&holders_[spans_[distinct_[k + 4]].first]);
}

SimilarCandidates::Entries SimilarCandidates::in_range(uint32_t w, uint32_t p) {
  const uint32_t* begin = holders_.data() + spans_[w].first;
  const uint32_t* end = holders_.data() + spans_[w].end;
  Entries entries;
  entries.from = const_cast<uint32_t*>(first_above(begin, end, p));
  entries.stop = const_cast<uint32_t*>(first_above(entries.from, end, last_));
  spans_[w].first = static_cast<uint32_t>(entries.from - holders_.data());
  return entries;
}

size_t SimilarCandidates::gather(const ThemeBlocks& theme, uint32_t w, Entries entries) {
  // A dead block is never a candidate, so its count stays 0; its entry is
  // dropped, the others being packed to the end of the part read.
  const uint8_t* alive = theme.theme_bitmap.data();
  uint16_t* found = found_.data();
  uint32_t weight = weight_[w];
  uint32_t* kept = entries.stop;
  uint32_t* gathered = candidates_.data() + candidate_count_;
  for (uint32_t* c = entries.stop; c-- != entries.from;) {
    uint32_t q = *c;
    uint32_t live = alive[q] != 0;
    kept[-1] = q;
    kept -= live;
    uint32_t f = found[q];
    *gathered = q;
    gathered += live & (f == 0);
    found[q] = static_cast<uint16_t>(f + (weight & (0u - live)));
  }
  candidate_count_ = static_cast<uint32_t>(gathered - candidates_.data());
  spans_[w].first = static_cast<uint32_t>(kept - holders_.data());
  // Counted in found_ now; the words left are counted when a candidate is
  // tried.
  weight_[w] = 0;
  return entries.size();
}

size_t SimilarCandidates::tally(uint32_t w, Entries entries) {
  // Only the candidates count: the others have 0 and keep it.
  uint16_t* found = found_.data();
  uint32_t weight = weight_[w];
  for (const uint32_t* c = entries.from; c != entries.stop; ++c) {
    uint32_t f = found[*c];
    found[*c] = static_cast<uint16_t>(f + (f != 0 ? weight : 0));
  }
  weight_[w] = 0;
  return entries.size();
}

uint32_t SimilarCandidates::next_alive(const ThemeBlocks& theme, uint32_t q) {
  uint32_t n = theme.block_count;
  uint32_t r = q;
  while (r < n && !theme.is_alive(r)) r = skip_[r] > r ? skip_[r] : r + 1;
  // Every position from q up to r is dead: let each on the way jump to r.
  for (uint32_t x = q; x < r;) {
    uint32_t after = skip_[x] > x ? skip_[x] : x + 1;
    skip_[x] = r;
    x = after;
  }
  return r;
}

bool SimilarCandidates::next(const ThemeBlocks& theme, uint32_t* q) {
  if (every_block_) {
    if (at_ > last_) return false;
    uint32_t r = next_alive(theme, at_);
    if (r > last_) return false;
    at_ = r + 1;
    *q = r;
    return true;
  }
  while (at_ < candidate_count_) {
    uint32_t r = candidates_[at_++];
    if (theme.is_alive(r)) {
      *q = r;
      return true;
    }
  }
  return false;
}

bool SimilarCandidates::words_similar(uint32_t q) const {
  // At most the 2000 words of the list, so found * 100 does not wrap.
  uint32_t found = every_block_ ? 0 : found_[q];
  for (uint32_t k = set_start_[q]; k < set_start_[q + 1]; ++k) found += weight_[set_words_[k]];
  return found * 100u >= product_;
}

}  // namespace karvel
