// The generated keywords file: keywords of the four match rules, grouped into
// themes one per keyword (keyword mode) or in groups between empty lines
// (separator mode), and the text that makes a keyword occur, or seem to occur
// without matching, in a line of the source.

#ifndef KARVEL_BENCH_GENERATOR_KEYWORDS_H_
#define KARVEL_BENCH_GENERATOR_KEYWORDS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "generator/random.h"
#include "generator/words.h"

namespace karvel::bench {

enum class MatchRule { kWholeWord, kWordStart, kWordEnd, kAnywhere };

struct Keyword {
  std::string core;  // lower case, marks removed: what the program searches for
  std::string line;  // the line of the keywords file, marks and letter case included
  MatchRule rule = MatchRule::kAnywhere;
  Script script = Script::kLatin;
  uint32_t theme = 0;
};

class KeywordSet {
 public:
  // `count` keywords with distinct cores. In separator
  // mode they are grouped 1 to 6 a theme; otherwise each is its own theme.
  // About one keyword in `cyrillic_every` is Cyrillic.
  KeywordSet(Random& random, uint32_t count, bool separator_mode, uint32_t cyrillic_every = 8);

  // Writes the keywords file; false on a failed write.
  bool write(const std::string& path, uint64_t seed) const;

  const std::vector<Keyword>& keywords() const { return keywords_; }
  uint32_t theme_count() const { return static_cast<uint32_t>(themes_.size()); }
  // Indexes of the keywords of theme t.
  const std::vector<uint32_t>& theme_keywords(uint32_t t) const { return themes_[t]; }
  // The script of theme t (that of its first keyword).
  Script theme_script(uint32_t t) const { return keywords_[themes_[t].front()].script; }

  // A word that holds keyword k and matches it under its rule, in a random
  // letter case; affixes come from `words`.
  std::string occurrence(uint32_t k, Random& random, const Vocabulary& words) const;

  // A word that holds keyword k but does not match it (glued into a longer
  // word); empty for a keyword that matches anywhere.
  std::string decoy(uint32_t k, Random& random, const Vocabulary& words) const;

 private:
  std::vector<Keyword> keywords_;
  std::vector<std::vector<uint32_t>> themes_;
  bool separator_mode_ = false;
};

}  // namespace karvel::bench

#endif  // KARVEL_BENCH_GENERATOR_KEYWORDS_H_
