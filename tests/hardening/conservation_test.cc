// The conservation check itself: it must accept the outputs of a sound run
// and catch every way a run could lose, duplicate, invent or mangle a block.
// A checker that never complains would make every other test of this folder
// worthless.

#include "conservation.h"

#include <gtest/gtest.h>

namespace karvel::hardening {
namespace {

TEST(ConservationSplitter, CutsReadsLikeTheProgramDoes) {
  // Blocks end with an empty read; what follows the last one is the tail.
  SplitText split = split_blocks("a\nb\n\nc\n\n\nlast line");
  EXPECT_EQ(split.blocks, (std::vector<std::string>{"a\nb\n\n", "c\n\n", "\n"}));
  EXPECT_EQ(split.tail, "last line");

  // CR LF is one character and an empty read when alone; a lone CR is text.
  split = split_blocks("x\r\n\r\ny\r\r\n");
  EXPECT_EQ(split.blocks, (std::vector<std::string>{"x\r\n\r\n"}));
  EXPECT_EQ(split.tail, "y\r\r\n");

  // A read whose first character is NUL is empty, whatever follows it.
  split = split_blocks(std::string("z\n\0rest\nq\n", 10));
  EXPECT_EQ(split.blocks, (std::vector<std::string>{std::string("z\n\0rest\n", 8)}));
  EXPECT_EQ(split.tail, "q\n");

  // A line of 99 characters and its line feed are two reads: the line feed
  // alone is empty but begins no line, so it ends no block; nor does a read
  // of a long line that begins with NUL. With CR LF the CR does not count.
  std::string line99(99, 'k');
  EXPECT_TRUE(split_blocks(line99 + "\nnext").blocks.empty());
  EXPECT_EQ(split_blocks(line99 + "\r\n\r\n").blocks,
            std::vector<std::string>{line99 + "\r\n\r\n"});
  EXPECT_TRUE(split_blocks(line99 + std::string("\0z\n", 3)).blocks.empty());
  std::string line98(98, 'k');
  EXPECT_TRUE(split_blocks(line98 + "\r\nnext").blocks.empty());
}

TEST(ConservationSplitter, EqualityIgnoresCrOfCrLfAndTextAfterNul) {
  EXPECT_EQ(equality_key("ab\r\n\r\n"), equality_key("ab\n\n"));
  EXPECT_EQ(equality_key(std::string("ab\0x\n\n", 6)), equality_key(std::string("ab\0y\n\n", 6)));
  EXPECT_NE(equality_key("ab\r\r\n\n"), equality_key("ab\r\n\n"));
  EXPECT_NE(equality_key("Ab\n\n"), equality_key("ab\n\n"));
  // A long line is several reads: its key differs from that of the line cut
  // into lines of its own only by the line feeds.
  EXPECT_NE(equality_key(std::string(120, 'w') + "\n\n"),
            equality_key(std::string(99, 'w') + "\n" + std::string(21, 'w') + "\n\n"));
}

const char kSource[] = "one\n\ntwo\n\none\n\nthree\r\n\r\ntail";

TEST(ConservationCheck, AcceptsSoundOutputs) {
  // "one" twice: one copy deleted as equal. The tail ends the rest file.
  EXPECT_TRUE(check_conservation(kSource, "", "two\n\n", "one\n\nthree\r\n\r\ntail").ok());
  // Both copies written is sound too (a theme that was not examined).
  ConservationResult both =
      check_conservation(kSource, "", "", "one\n\none\n\nthree\r\n\r\ntwo\n\ntail");
  EXPECT_TRUE(both.ok()) << both.describe();
  EXPECT_EQ(both.written_blocks, 4u);
  // An equal block of other bytes stands in for its kind.
  EXPECT_TRUE(check_conservation("a\n\na\r\n\r\n", "", "", "a\r\n\r\n").ok());
}

TEST(ConservationCheck, CatchesEveryWayOfLosingOrDamagingData) {
  struct Case {
    const char* what;
    std::string dst, dbl, rst;
    const char* expected;  // a piece of the problem's text
  };
  const std::vector<Case> cases = {
      {"a block lost", "", "", "one\n\nthree\r\n\r\ntail", "\"two\\n\\n\" (5 bytes) is lost"},
      {"a block written twice", "", "two\n\n", "two\n\none\n\nthree\r\n\r\ntail",
       "written 2 times but occurs 1 times"},
      {"the tail lost", "", "two\n\n", "one\n\nthree\r\n\r\n", "tail after the last block"},
      {"the tail not last", "", "two\n\n", "one\n\ntailthree\r\n\r\n", "tail after the last block"},
      {"a line end changed", "", "two\n\n", "one\n\nthree\n\ntail", "rest file is not made of"},
      {"bytes invented", "", "two\n\nX", "one\n\nthree\r\n\r\ntail", "doubles file is not made of"},
      {"a block cut short", "", "two\n", "one\n\nthree\r\n\r\ntail", "doubles file is not made"},
      {"the destination written", "two\n\n", "", "one\n\nthree\r\n\r\ntail",
       "destination file is not empty"},
  };
  for (const Case& c : cases) {
    ConservationResult result = check_conservation(kSource, c.dst, c.dbl, c.rst);
    EXPECT_FALSE(result.ok()) << c.what;
    EXPECT_NE(result.describe().find(c.expected), std::string::npos) << c.what << ":\n"
                                                                     << result.describe();
  }
}

TEST(ConservationCheck, HandlesBlocksThatAreNotCutAgainTheSameWay) {
  // A block that ends at the end of the source with a NUL read, and a block
  // whose empty read of 99 characters ends with a CR: written in another
  // order, the reads of the output fall differently. The cut must still find
  // the blocks.
  std::string cr_end = "y\n" + std::string(1, '\0') + std::string(97, 'p') + "\r";
  std::string nul_end = "x\n" + std::string(1, '\0');
  std::string source = cr_end + "z\n\n" + "\n" + nul_end;
  SplitText split = split_blocks(source);
  ASSERT_EQ(split.blocks, (std::vector<std::string>{cr_end, "z\n\n", "\n", nul_end}));
  std::string rst = nul_end + "z\n\n" + cr_end + "\n";
  ConservationResult result = check_conservation(source, "", "", rst);
  EXPECT_TRUE(result.ok()) << result.describe();

  // "\0" (the last block, cut short by the end of the source) followed by
  // "e\n\n" reads as "\0e\n" and "\n", two other blocks of the source: only
  // the counts tell which cut is the true one.
  source = std::string("e\n\n\0e\n\n\0", 8);
  rst = std::string("\0e\n\n\0e\n\n", 8);
  result = check_conservation(source, "", "", rst);
  EXPECT_TRUE(result.ok()) << result.describe();
  EXPECT_EQ(result.written_blocks, 4u);
  // Half of it is either "\0" and "e\n\n" or "\0e\n" and "\n": a kind of
  // block is missing whichever way it is cut.
  EXPECT_FALSE(check_conservation(source, "", "", rst.substr(0, 4)).ok());
}

}  // namespace
}  // namespace karvel::hardening
