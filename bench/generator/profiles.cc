// Generation loops of the three kinds of source.

#include "generator/profiles.h"

#include <numeric>

namespace karvel::bench {

namespace {

// The last few blocks of each theme, from which copies are taken.
class ThemeHistory {
 public:
  ThemeHistory(uint32_t themes, uint32_t depth)
      : blocks_(themes), next_(themes, 0), depth_(depth) {}

  bool empty(uint32_t theme) const { return blocks_[theme].empty(); }

  const Block& any(uint32_t theme, Random& random) const {
    const auto& past = blocks_[theme];
    return past[random.below(static_cast<uint32_t>(past.size()))];
  }

  void remember(uint32_t theme, const Block& block) {
    auto& past = blocks_[theme];
    if (past.size() < depth_) {
      past.push_back(block);
    } else {
      past[next_[theme]] = block;
      next_[theme] = (next_[theme] + 1) % depth_;
    }
  }

 private:
  std::vector<std::vector<Block>> blocks_;
  std::vector<uint32_t> next_;
  uint32_t depth_;
};

uint32_t text_block_lines(Random& random) {
  if (random.chance(0.02)) return 15;
  return 1 + random.below(5) + random.below(6) + random.below(5);  // 1..14, most 5..10
}

// A fresh block that holds keyword k (and, now and then, another keyword).
Block themed_block(const KeywordSet& keywords, uint32_t k, uint32_t lines, LineLengths lengths,
                   const TextMaker& maker, Random& random) {
  const Keyword& keyword = keywords.keywords()[k];
  const double other_share = keyword.script == Script::kLatin ? 0.02 : 0.15;
  Block block = maker.block(random, keyword.script, lines, lengths, other_share);
  const uint32_t line = random.chance(0.5) ? 0 : random.below(lines);
  const Vocabulary& affixes = maker.words(keyword.script);
  maker.insert_word(block, line, keywords.occurrence(k, random, affixes), random);
  if (random.chance(0.1)) {
    const uint32_t again = random.below(lines);
    if (again > line)
      maker.insert_word(block, again, keywords.occurrence(k, random, affixes), random);
  }
  return block;
}

}  // namespace

void generate_mixed(const Options& options, const KeywordSet& keywords, const TextMaker& maker,
                    Random& random, SourceWriter& out) {
  const uint32_t theme_count = keywords.theme_count();
  const auto& all = keywords.keywords();
  // Theme sizes follow a Zipf law over ranks; ranks are dealt to themes at
  // random so that big themes stand anywhere in the keywords file.
  std::vector<uint32_t> theme_of_rank(theme_count);
  std::iota(theme_of_rank.begin(), theme_of_rank.end(), 0u);
  shuffle(theme_of_rank, random);
  const WeightedPicker rank_picker(zipf_weights(theme_count > 0 ? theme_count : 1, 1.0));
  ThemeHistory history(theme_count, 8);

  while (out.counts().bytes < options.size) {
    const uint32_t lines = text_block_lines(random);
    if (theme_count == 0 || random.chance(0.15)) {
      // A block without keyword, for the rest file; some hold a keyword glued
      // into a longer word, which must not match.
      const Script script = random.chance(0.12) ? Script::kCyrillic : Script::kLatin;
      Block block = maker.block(random, script, lines, LineLengths::kText, 0.04);
      if (!all.empty() && random.chance(0.1)) {
        const uint32_t k = random.below(static_cast<uint32_t>(all.size()));
        const std::string decoy = keywords.decoy(k, random, maker.words(all[k].script));
        if (!decoy.empty()) maker.insert_word(block, random.below(lines), decoy, random);
      }
      out.add(block, BlockKind::kNoKeyword);
      continue;
    }
    const uint32_t theme = theme_of_rank[rank_picker.pick(random)];
    const double roll = random.unit();
    if (!history.empty(theme) && roll < 0.04) {
      out.add(history.any(theme, random), BlockKind::kExactCopy);
      continue;
    }
    Block block;
    BlockKind kind = BlockKind::kFresh;
    if (!history.empty(theme) && roll < 0.10) {
      block = history.any(theme, random);
      maker.near_copy(block, random);
      kind = BlockKind::kNearCopy;
    } else {
      const auto& members = keywords.theme_keywords(theme);
      const uint32_t k = members[random.below(static_cast<uint32_t>(members.size()))];
      block = themed_block(keywords, k, lines, LineLengths::kText, maker, random);
      if (random.chance(0.03)) {
        // A second keyword: the block goes to whichever stands first in the
        // keywords file.
        const uint32_t other = random.below(static_cast<uint32_t>(all.size()));
        // (One draw per statement: the order in which arguments are computed
        // differs between compilers, and the file must not.)
        const uint32_t line = random.below(lines);
        const std::string word = keywords.occurrence(other, random, maker.words(all[other].script));
        maker.insert_word(block, line, word, random);
      }
    }
    history.remember(theme, block);
    out.add(block, kind);
  }
}

void generate_big_theme(const Options& options, const KeywordSet& keywords, const TextMaker& maker,
                        Random& random, SourceWriter& out) {
  const uint32_t k = keywords.theme_keywords(0).front();
  std::vector<std::string> distinct;
  std::string text;
  for (uint32_t b = 0; b < options.blocks; ++b) {
    if (!distinct.empty() && random.chance(0.6)) {
      out.add_rendered(distinct[random.below(static_cast<uint32_t>(distinct.size()))],
                       BlockKind::kExactCopy);
      continue;
    }
    const Block block =
        themed_block(keywords, k, random.between(2, 5), LineLengths::kShort, maker, random);
    text.clear();
    render_block(block, text);
    out.add_rendered(text, BlockKind::kFresh);
    distinct.push_back(text);
  }
}

void generate_many_themes(const Options& options, const KeywordSet& keywords,
                          const TextMaker& maker, Random& random, SourceWriter& out) {
  const uint32_t theme_count = keywords.theme_count();
  std::vector<uint32_t> order;
  order.reserve(static_cast<size_t>(theme_count) * options.theme_blocks);
  for (uint32_t t = 0; t < theme_count; ++t) order.insert(order.end(), options.theme_blocks, t);
  shuffle(order, random);
  ThemeHistory history(theme_count, 16);
  for (uint32_t theme : order) {
    const double roll = random.unit();
    if (!history.empty(theme) && roll < 0.02) {
      out.add(history.any(theme, random), BlockKind::kExactCopy);
      continue;
    }
    Block block;
    BlockKind kind = BlockKind::kFresh;
    if (!history.empty(theme) && roll < 0.22) {
      block = history.any(theme, random);
      maker.near_copy(block, random);
      kind = BlockKind::kNearCopy;
    } else {
      const uint32_t k = keywords.theme_keywords(theme).front();
      block = themed_block(keywords, k, random.between(2, 10), LineLengths::kNarrow, maker, random);
    }
    history.remember(theme, block);
    out.add(block, kind);
  }
}

void generate_near_copies(const Options& options, const KeywordSet& keywords,
                          const TextMaker& maker, Random& random, SourceWriter& out) {
  const uint32_t k = keywords.theme_keywords(0).front();
  ThemeHistory history(1, 256);
  for (uint32_t b = 0; b < options.blocks; ++b) {
    Block block;
    BlockKind kind = BlockKind::kFresh;
    if (!history.empty(0) && random.chance(0.1)) {
      block = history.any(0, random);
      maker.near_copy(block, random);
      kind = BlockKind::kNearCopy;
    } else {
      block = themed_block(keywords, k, random.between(2, 10), LineLengths::kNarrow, maker, random);
    }
    history.remember(0, block);
    out.add(block, kind);
  }
}

}  // namespace karvel::bench
