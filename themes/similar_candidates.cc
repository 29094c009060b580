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
  std::vector<uint32_t> seen;
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
    Status status = read_block_words(source, index, theme.block_at(p), dictionary_, p + 1, &seen,
                                     &list_words_, &set_words_);
    if (!status.ok()) return status;
  }
  list_start_[n] = static_cast<uint32_t>(list_words_.size());
  set_start_[n] = static_cast<uint32_t>(set_words_.size());
  uint32_t words = dictionary_.size();
  // The word-to-blocks table, each word's positions in increasing order.
  holders_start_.assign(words + 1, 0);
  for (uint32_t w : set_words_) ++holders_start_[w + 1];
  for (uint32_t w = 0; w < words; ++w) holders_start_[w + 1] += holders_start_[w];
  first_.assign(holders_start_.begin(), holders_start_.end() - 1);
  holders_.resize(set_words_.size());
  for (uint32_t p = 0; p < n; ++p) {
    for (uint32_t k = set_start_[p]; k < set_start_[p + 1]; ++k)
      holders_[first_[set_words_[k]]++] = p;
  }
  first_.assign(holders_start_.begin(), holders_start_.end() - 1);
  weight_.assign(words, 0);
  skip_.resize(n + 1);
  for (uint32_t p = 0; p <= n; ++p) skip_[p] = p;
  tallies_.assign(n, Tally());
  distinct_.clear();
  candidates_.clear();
  every_block_ = false;
  return Status::OK();
}

void SimilarCandidates::start(const ThemeBlocks& theme, uint32_t p, uint32_t last,
                              uint32_t similarity_ratio) {
  for (uint32_t w : distinct_) weight_[w] = 0;
  distinct_.clear();
  candidates_.clear();
  at_ = 0;
  last_ = std::min(last, theme.block_count - 1);
  every_block_ = false;
  uint32_t count = list_start_[p + 1] - list_start_[p];
  for (uint32_t k = list_start_[p]; k < list_start_[p + 1]; ++k) {
    uint32_t w = list_words_[k];
    if (weight_[w]++ == 0) distinct_.push_back(w);
  }
  product_ = count * similarity_ratio;  // as the word test takes it, modulo 2^32
  uint64_t need = (uint64_t{product_} + 99) / 100;
  if (last_ <= p || need > count) return;  // no block can pass
  if (need == 0) {
    every_block_ = true;
    at_ = p + 1;
    return;
  }
  order_.clear();
  for (uint32_t w : distinct_) {
    order_.push_back(uint64_t{holders_start_[w + 1] - holders_start_[w]} << 32 | w);
  }
  std::sort(order_.begin(), order_.end());
  for (size_t k = 0; k < order_.size(); ++k) distinct_[k] = static_cast<uint32_t>(order_[k]);
  // The prefix: its blocks are the candidates.
  uint64_t remaining = count;  // list entries of the words not yet read
  size_t k = 0;
  for (; k < distinct_.size() && remaining >= need; ++k) {
    remaining -= weight_[distinct_[k]];
    read_holders(theme, distinct_[k], p, true);
  }
  auto cannot_pass = [&](uint32_t q) { return tallies_[q].found + remaining < need; };
  std::erase_if(candidates_, cannot_pass);
  // The words after it, while reading their blocks costs less than trying
  // the candidates: a candidate whose words found so far, with all the words
  // not read, fall short of `need` cannot pass.
  for (; k < distinct_.size() && !candidates_.empty(); ++k) {
    uint32_t w = distinct_[k];
    const uint32_t* begin = holders_.data() + first_[w];
    const uint32_t* end = holders_.data() + holders_start_[w + 1];
    if (std::upper_bound(begin, end, last_) - begin >
        static_cast<ptrdiff_t>(candidates_.size() * kTryCost)) {
      break;
    }
    remaining -= weight_[w];
    read_holders(theme, w, p, false);
    std::erase_if(candidates_, cannot_pass);
  }
  std::sort(candidates_.begin(), candidates_.end());
}

void SimilarCandidates::read_holders(const ThemeBlocks& theme, uint32_t w, uint32_t p,
                                     bool gather) {
  // The entries of w within the range. Those at or before p are dropped;
  // the others still alive are packed to the end of the part read.
  uint32_t* begin = holders_.data() + first_[w];
  uint32_t* end = holders_.data() + holders_start_[w + 1];
  uint32_t* from = std::upper_bound(begin, end, p);
  uint32_t* stop = std::upper_bound(from, end, last_);
  uint32_t* kept = stop;
  const uint8_t* alive = theme.theme_bitmap.data();
  uint32_t weight = weight_[w];
  for (uint32_t* c = stop; c-- != from;) {
    uint32_t q = *c;
    bool live = alive[q] != 0;
    kept[-1] = q;
    kept -= live;
    Tally& tally = tallies_[q];
    if (tally.stamp == p + 1) {
      tally.found += weight;  // a candidate, alive since it was taken
    } else if (gather && live) {
      tally = {p + 1, weight};
      candidates_.push_back(q);
    }
  }
  first_[w] = static_cast<uint32_t>(kept - holders_.data());
  // Counted in the tallies now; the words left are counted when a candidate
  // is tried.
  weight_[w] = 0;
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
  while (at_ < candidates_.size()) {
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
  uint32_t found = every_block_ ? 0 : tallies_[q].found;
  for (uint32_t k = set_start_[q]; k < set_start_[q + 1]; ++k) found += weight_[set_words_[k]];
  return found * 100u >= product_;
}

}  // namespace karvel
