// Lines and blocks of generated text: running words with punctuation, line
// lengths like those of real files (some over 99 characters), keyword words
// put into lines, and near copies that differ by a word or two.
//
// Source lines are read in pieces of at most 99 characters, so the maker
// keeps every keyword word inside one piece, and the writer keeps lines from
// ending exactly at a piece's end (which would read as an empty line and so
// split the block).

#ifndef KARVEL_BENCH_GENERATOR_TEXT_H_
#define KARVEL_BENCH_GENERATOR_TEXT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "generator/random.h"
#include "generator/words.h"

namespace karvel::bench {

// Lines of a block, without line feeds; the writer adds them and the empty
// line that ends the block.
struct Block {
  std::vector<std::string> lines;
};

// How long the lines of a block are.
enum class LineLengths {
  kText,   // mostly 45..92, some short, about 15% longer than 99 (up to 900)
  kShort,  // 20..60, never longer than 99 with a keyword added
  kNarrow  // 30..95, about 5% 100..200
};

class TextMaker {
 public:
  TextMaker(const Vocabulary& latin, const Vocabulary& cyrillic)
      : latin_(latin), cyrillic_(cyrillic) {}

  const Vocabulary& words(Script script) const {
    return script == Script::kLatin ? latin_ : cyrillic_;
  }

  // A line of about `length` characters.
  std::string line(Random& random, Script script, size_t length) const;

  // A block of `count` lines; a share of them in the other script.
  Block block(Random& random, Script script, uint32_t count, LineLengths lengths,
              double other_script_share) const;

  // Puts `word` into line `index` as a word of its own, after every keyword
  // word already there (so those keep their places) and within one 99-byte
  // piece of the line.
  void insert_word(Block& block, uint32_t index, const std::string& word, Random& random) const;

  // Changes one or two words of the block (replace, drop or add a word),
  // never a keyword word and never in front of one.
  void near_copy(Block& block, Random& random) const;

 private:
  const Vocabulary& latin_;
  const Vocabulary& cyrillic_;
};

// The bytes of a block as it stands in the source: its lines, each with a
// line feed, and the empty line.
void render_block(const Block& block, std::string& out);

}  // namespace karvel::bench

#endif  // KARVEL_BENCH_GENERATOR_TEXT_H_
