// The kinds of generated source: a mixed file of Zipf-sized themes, one big
// theme of many equal blocks, many middle-sized themes with near copies, and
// one theme of many text blocks with near copies.

#ifndef KARVEL_BENCH_GENERATOR_PROFILES_H_
#define KARVEL_BENCH_GENERATOR_PROFILES_H_

#include "generator/keywords.h"
#include "generator/options.h"
#include "generator/source_writer.h"
#include "generator/text.h"

namespace karvel::bench {

// Blocks of Zipf-sized themes until the source holds `options.size` bytes:
// some without keyword, exact and near copies of earlier blocks of the same
// theme, some Cyrillic text, some decoys (a keyword glued into a longer word).
void generate_mixed(const Options& options, const KeywordSet& keywords, const TextMaker& maker,
                    Random& random, SourceWriter& out);

// `options.blocks` blocks of theme 0, of 2 to 5 short lines (four lengths),
// 60% of them equal to an earlier one.
void generate_big_theme(const Options& options, const KeywordSet& keywords, const TextMaker& maker,
                        Random& random, SourceWriter& out);

// `options.theme_blocks` blocks for each theme, in random order, 20% near
// copies and 2% exact copies of an earlier block of the same theme.
void generate_many_themes(const Options& options, const KeywordSet& keywords,
                          const TextMaker& maker, Random& random, SourceWriter& out);

// `options.blocks` text blocks of theme 0, of 2 to 10 lines, a tenth of them
// near copies of one of the last few hundred blocks.
void generate_near_copies(const Options& options, const KeywordSet& keywords,
                          const TextMaker& maker, Random& random, SourceWriter& out);

}  // namespace karvel::bench

#endif  // KARVEL_BENCH_GENERATOR_PROFILES_H_
