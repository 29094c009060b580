// The conservation check itself: it must accept the outputs of a sound run
// and catch every way a run could lose, duplicate, invent or mangle a block.
// A checker that never complains would make every other test of this folder
// worthless.

#include "conservation.h"

#include <gtest/gtest.h>

namespace karvel::hardening {
namespace {

using Blocks = std::vector<std::string>;

// Blocks end with an empty read at the start of a line; what follows the
// last one is the tail.
TEST(ConservationSplitter, CutsReadsLikeTheProgramDoes) {
  const std::string k98(98, 'k'), k99(99, 'k');
  const struct {
    std::string source;
    Blocks blocks;
    std::string tail;
  } cases[] = {
      {"a\nb\n\nc\n\n\nlast line", {"a\nb\n\n", "c\n\n", "\n"}, "last line"},
      // CR LF is one character and an empty read when alone; a lone CR is text.
      {"x\r\n\r\ny\r\r\n", {"x\r\n\r\n"}, "y\r\r\n"},
      // A read whose first character is NUL is empty, whatever follows it.
      {std::string("z\n\0rest\nq\n", 10), {std::string("z\n\0rest\n", 8)}, "q\n"},
      // A line of 99 characters and its line feed are two reads: the line
      // feed alone begins no line, so it ends no block; nor does a read of a
      // long line that begins with NUL. With CR LF the CR does not count.
      {k99 + "\nnext", {}, k99 + "\nnext"},
      {k99 + "\r\n\r\n", {k99 + "\r\n\r\n"}, ""},
      {k99 + std::string("\0z\n", 3), {}, k99 + std::string("\0z\n", 3)},
      {k98 + "\r\nnext", {}, k98 + "\r\nnext"},
  };
  for (const auto& c : cases) {
    SplitText split = split_blocks(c.source);
    EXPECT_EQ(split.blocks, c.blocks) << printable(c.source);
    EXPECT_EQ(split.tail, c.tail) << printable(c.source);
  }
}

// Rows with no problem text are sound outputs; the others must fail with it.
TEST(ConservationCheck, AcceptsSoundOutputsAndCatchesEveryDamage) {
  const std::string source = "one\n\ntwo\n\none\n\nthree\r\n\r\ntail";
  const std::string nul_ab("ab\0x\n\nab\0y\n\n", 12), w99(99, 'w'), w21(21, 'w');
  const std::string w120 = std::string(120, 'w') + "\n\n";
  const std::string nul_source("e\n\n\0e\n\n\0", 8), nul_rst("\0e\n\n\0e\n\n", 8);
  // A block that ends the source with a NUL read, and one whose empty read
  // of 99 characters ends with a CR: written in another order, the reads of
  // the output fall differently, and the cut must still find the blocks.
  const std::string cr_end = "y\n" + std::string(1, '\0') + std::string(97, 'p') + "\r",
                    nul_end = "x\n" + std::string(1, '\0');
  const struct {
    std::string source, dst, dbl, rst;
    const char* problem;  // a piece of its text, or "" when sound
    size_t written;
  } cases[] = {
      // "one" twice: one copy deleted as equal. The tail ends the rest file.
      {source, "", "two\n\n", "one\n\nthree\r\n\r\ntail", "", 3},
      // Both copies written is sound too (a theme that was not examined).
      {source, "", "", "one\n\none\n\nthree\r\n\r\ntwo\n\ntail", "", 4},
      // An equal block of other bytes stands in for its kind: equality drops
      // the CR of CR LF and the text after a NUL, but not a lone CR, a
      // letter's case or the reads of a long line.
      {"a\n\na\r\n\r\n", "", "", "a\r\n\r\n", "", 1},
      {nul_ab, "", "", nul_ab.substr(0, 6), "", 1},
      {"ab\r\r\n\nab\r\n\n", "", "", "ab\r\n\n", "cannot be cut", 0},
      {"Ab\n\nab\n\n", "", "", "ab\n\n", "cannot be cut", 0},
      {w120 + w99 + "\n" + w21 + "\n\n", "", "", w120, "cannot be cut", 0},
      {cr_end + "z\n\n\n" + nul_end, "", "", nul_end + "z\n\n" + cr_end + "\n", "", 4},
      // "\0" then "e\n\n" reads as "\0e\n" and "\n", two other blocks of the
      // source: only the counts tell which cut is the true one.
      {nul_source, "", "", nul_rst, "", 4},
      // Half of it lacks a kind of block whichever way it is cut.
      {nul_source, "", "", nul_rst.substr(0, 4), "cannot be cut", 0},
      {source, "", "", "one\n\nthree\r\n\r\ntail", "cannot be cut", 0},
      {source, "", "two\n\n", "two\n\none\n\nthree\r\n\r\ntail", "cannot be cut", 0},
      {source, "", "two\n\n", "one\n\nthree\r\n\r\n", "tail after the last block", 0},
      {source, "", "two\n\n", "one\n\ntailthree\r\n\r\n", "tail after the last block", 0},
      {source, "", "two\n\n", "one\n\nthree\n\ntail", "rest file is not made of", 0},
      {source, "", "two\n\nX", "one\n\nthree\r\n\r\ntail", "doubles file is not made of", 0},
      {source, "", "two\n", "one\n\nthree\r\n\r\ntail", "doubles file is not made", 0},
      {source, "two\n\n", "", "one\n\nthree\r\n\r\ntail", "destination file is not empty", 0},
  };
  for (const auto& c : cases) {
    ConservationResult result = check_conservation(c.source, c.dst, c.dbl, c.rst);
    SCOPED_TRACE(printable(c.dbl) + " " + printable(c.rst) + "\n" + result.describe());
    EXPECT_EQ(result.ok(), *c.problem == '\0');
    EXPECT_NE(result.describe().find(c.problem), std::string::npos);
    EXPECT_EQ(result.ok() ? result.written_blocks : 0u, c.written);
  }
}

}  // namespace
}  // namespace karvel::hardening
