// Keywords of the four match rules, their themes, the keywords file, and the
// words that put a keyword into the source.

#include "generator/keywords.h"

#include <cstdio>
#include <unordered_set>

namespace karvel::bench {

namespace {

// A keyword core: a made-up word between two marker letters. Filler words
// hold no marker letter, so wherever a core is found in generated text it
// starts and ends at marker letters of one inserted keyword: cores that are
// merely distinct can never be found inside one another, nor across the
// boundary between a keyword and the letters glued to it.
std::string make_core(Random& random, Script script) {
  std::string core;
  if (script == Script::kLatin) {
    static constexpr const char* kStarts[] = {"qu", "x", "z"};
    static constexpr char kEnds[] = {'x', 'z'};
    core = kStarts[random.below(3)];
    core += made_up_word(random, script, 3);
    core.push_back(kEnds[random.below(2)]);
  } else {
    constexpr char kShcha = static_cast<char>(233);
    constexpr char kHardSign = static_cast<char>(234);
    core.push_back(kShcha);
    core += made_up_word(random, script, 3);
    core.push_back(random.chance(0.5) ? kShcha : kHardSign);
  }
  // Capital yo (240) does not fold to yo (241): keep yo out of keywords so
  // that a capitalised occurrence still matches.
  for (char& ch : core) {
    if (static_cast<unsigned char>(ch) == 241) ch = static_cast<char>(165);
  }
  return core;
}

std::string keyword_line(const std::string& core, MatchRule rule, Random& random) {
  std::string text = core;
  if (random.chance(0.2)) capitalize_first(text);  // the program folds keywords too
  switch (rule) {
    case MatchRule::kWholeWord:
      return random.chance(0.85) ? "'" + text + "'" : "'" + text;
    case MatchRule::kWordStart:
      return text + "*";
    case MatchRule::kWordEnd:
      return "*" + text;
    case MatchRule::kAnywhere:
      return random.chance(0.5) ? "*" + text + "*" : text;
  }
  return text;
}

void vary_case(std::string& word, Random& random) {
  const double roll = random.unit();
  if (roll < 0.2) {
    capitalize_first(word);
  } else if (roll < 0.28) {
    capitalize_all(word);
  }
}

// Letters of a filler word to glue in front of or behind a keyword.
std::string affix(Random& random, const Vocabulary& words) {
  std::string word = words.draw(random);
  while (word.size() < 2) word += words.draw(random);
  return word;
}

}  // namespace

KeywordSet::KeywordSet(Random& random, uint32_t count, bool separator_mode, uint32_t cyrillic_every)
    : separator_mode_(separator_mode) {
  std::unordered_set<std::string> cores;
  keywords_.reserve(count);
  while (keywords_.size() < count) {
    Keyword keyword;
    keyword.script = random.below(cyrillic_every) == 0 ? Script::kCyrillic : Script::kLatin;
    keyword.core = make_core(random, keyword.script);
    if (keyword.core.size() < 4 || !cores.insert(keyword.core).second) continue;
    keyword.rule = static_cast<MatchRule>(random.below(4));
    keyword.line = keyword_line(keyword.core, keyword.rule, random);
    keywords_.push_back(std::move(keyword));
  }
  for (uint32_t k = 0; k < count;) {
    uint32_t group = separator_mode ? random.between(1, 6) : 1;
    if (group > count - k) group = count - k;
    themes_.emplace_back();
    for (uint32_t i = 0; i < group; ++i, ++k) {
      keywords_[k].theme = static_cast<uint32_t>(themes_.size() - 1);
      themes_.back().push_back(k);
    }
  }
}

bool KeywordSet::write(const std::string& path, uint64_t seed) const {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  if (separator_mode_) {
    // Every group ends with an empty line; with fewer than five groups, more
    // empty lines (empty themes) keep the file in separator mode.
    uint32_t short_lines = 0;
    for (const auto& theme : themes_) {
      for (uint32_t k : theme) std::fprintf(file, "%s\n", keywords_[k].line.c_str());
      std::fputs("\n", file);
      ++short_lines;
    }
    for (; short_lines < 5; ++short_lines) std::fputs("\n", file);
  } else {
    // A line that begins with a back-quote is a comment in keyword mode.
    std::fprintf(file, "` generated keywords, seed %llu\n", static_cast<unsigned long long>(seed));
    for (const Keyword& keyword : keywords_) std::fprintf(file, "%s\n", keyword.line.c_str());
  }
  const bool written = std::ferror(file) == 0;
  return std::fclose(file) == 0 && written;
}

std::string KeywordSet::occurrence(uint32_t k, Random& random, const Vocabulary& words) const {
  const Keyword& keyword = keywords_[k];
  std::string word = keyword.core;
  vary_case(word, random);
  switch (keyword.rule) {
    case MatchRule::kWholeWord:
      break;
    case MatchRule::kWordStart:
      if (random.chance(0.7)) word += affix(random, words);
      break;
    case MatchRule::kWordEnd:
      if (random.chance(0.7)) word = affix(random, words) + word;
      break;
    case MatchRule::kAnywhere:
      if (random.chance(0.5)) word = affix(random, words) + word;
      if (random.chance(0.5)) word += affix(random, words);
      break;
  }
  return word;
}

std::string KeywordSet::decoy(uint32_t k, Random& random, const Vocabulary& words) const {
  const Keyword& keyword = keywords_[k];
  std::string word = keyword.core;
  vary_case(word, random);
  switch (keyword.rule) {
    case MatchRule::kWholeWord:
      return random.chance(0.5) ? affix(random, words) + word : word + affix(random, words);
    case MatchRule::kWordStart:
      return affix(random, words) + word;
    case MatchRule::kWordEnd:
      return word + affix(random, words);
    case MatchRule::kAnywhere:
      break;
  }
  return std::string();
}

}  // namespace karvel::bench
