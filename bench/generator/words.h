// Words of the generated text: filler words in Latin letters and in Cyrillic
// letters of code page 866, letter case changes, and the marker letters that
// only keywords hold.
//
// No filler word holds a marker letter (q, x, z; Cyrillic shcha and hard
// sign, in either case). Every keyword begins and ends with one, so a keyword
// occurs in the text only where the generator puts it.

#ifndef KARVEL_BENCH_GENERATOR_WORDS_H_
#define KARVEL_BENCH_GENERATOR_WORDS_H_

#include <string>
#include <string_view>
#include <vector>

#include "generator/random.h"

namespace karvel::bench {

enum class Script { kLatin, kCyrillic };

// Filler words of one script, drawn with a Zipf-like frequency: a head of
// short common words and a long tail of made-up ones.
class Vocabulary {
 public:
  Vocabulary(Random& random, Script script, size_t size);

  const std::string& draw(Random& random) const { return words_[picker_.pick(random)]; }

 private:
  std::vector<std::string> words_;
  WeightedPicker picker_;
};

// A made-up word of 1 to `max_syllables` syllables without marker letters.
std::string made_up_word(Random& random, Script script, int max_syllables);

// True when the text holds a marker letter.
bool has_marker(std::string_view text);

// Letter case: the first letter, or every letter, as a capital. Latin and
// code page 866 letters (lower 160..175 and 224..239, yo 241).
void capitalize_first(std::string& word);
void capitalize_all(std::string& word);

}  // namespace karvel::bench

#endif  // KARVEL_BENCH_GENERATOR_WORDS_H_
