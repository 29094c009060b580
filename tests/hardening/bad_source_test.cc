// Sources that are not the tidy text the program was made for: empty, without
// any empty line, binary, one huge line, one huge block, runs of empty lines,
// every kind of line end. Each run goes through karvel-batch with the default
// switches (Rst=Dst: everything lands in the rest file) and must complete,
// leave its inputs alone and account for every byte of the source. And a
// source that shrinks during the run.

#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/source_map.h"
#include "random_corpus.h"
#include "test_support.h"

namespace karvel::hardening {
namespace {

using namespace karvel::testing;

std::string to_crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST(BadSource, EmptySourceCompletesAndWritesNothing) {
  CheckedRun run = run_checked("", "cat\n");
  expect_completed_and_conserved(run);
  EXPECT_TRUE(has_line(run.batch.list(), "Find Offsets: 0 blocks"));
  EXPECT_TRUE(has_line(run.batch.list(), "0 blocks saved in the rest file"));
  EXPECT_EQ(run.dst + run.dbl + run.rst, "");
}

TEST(BadSource, SourceWithoutAnyEmptyLineGoesWholeToTheRestFile) {
  const std::string source = "first line\nsecond cat line\nlast line without its end";
  CheckedRun run = run_checked(source, "cat\n");
  expect_completed_and_conserved(run);
  EXPECT_TRUE(has_line(run.batch.list(), "0 blocks saved in the rest file"));
  EXPECT_TRUE(has_line(run.batch.list(), "3 lines after the last block saved in the rest file"));
  EXPECT_EQ(run.rst, source);
  EXPECT_EQ(run.dbl, "");
}

TEST(BadSource, BinaryDataIsCopiedByteForByte) {
  // Random bytes over all 256 values: whatever blocks they form, all of them
  // and the tail come out.
  Random random(7);
  std::string noise = random_bytes(random, 64 * 1024);
  expect_completed_and_conserved(run_checked(noise, "cat\n'\xFF\xFF'\n*\x80*\n"));

  // NUL bytes: every read of them is empty, but only the first begins a
  // line, so 5000 NULs are one block of 99 bytes and a tail of 50 reads.
  std::string nuls(5000, '\0');
  CheckedRun run = run_checked(nuls, "cat\n");
  expect_completed_and_conserved(run);
  EXPECT_TRUE(has_line(run.batch.list(), "1 blocks saved in the rest file"));
  EXPECT_TRUE(has_line(run.batch.list(), "50 lines after the last block saved in the rest file"));
  EXPECT_EQ(run.rst, nuls);

  // Runs of 0xFF, one of them far longer than a read.
  std::string ff = std::string(20000, '\xFF') + "\n\n" + "\xFF\n\xFF\xFF\n\n" + "\xFF";
  run = run_checked(ff, "cat\n");
  expect_completed_and_conserved(run);
  EXPECT_EQ(run.rst, ff);
}

TEST(BadSource, LineOfTenMegabytes) {
  const std::string line(10 << 20, 'x');
  // Alone, without a line end: it is the tail, 105917 reads of it.
  CheckedRun run = run_checked(line, "x\n");
  expect_completed_and_conserved(run);
  EXPECT_TRUE(
      has_line(run.batch.list(), "105917 lines after the last block saved in the rest file"));
  EXPECT_EQ(run.rst, line);

  // Twice as a block of its theme (one copy deleted as equal), a short block
  // of the same theme between them, and once more as the tail. Blocks of far
  // more than 32767 reads must not be mistaken for short ones.
  const std::string block = line + "\n\n";
  run = run_checked(block + "small x\n\n" + block + line, "x\n");
  expect_completed_and_conserved(run);
  EXPECT_TRUE(has_line(run.batch.list(), "1 equal blocks found"));
  EXPECT_EQ(run.rst, block + "small x\n\n" + line);
  EXPECT_EQ(run.dbl, "");
}

TEST(BadSource, BlockOfTwoHundredThousandLines) {
  std::string block;
  for (int i = 0; i < 200000; ++i) block += "entry " + std::to_string(i % 7) + " of the corpus\n";
  block += "\n";
  // The huge block twice (one copy deleted as equal), a block without theme,
  // and a tail.
  CheckedRun run = run_checked(block + "short\n\n" + block + "tail", "corpus\n");
  expect_completed_and_conserved(run);
  EXPECT_TRUE(has_line(run.batch.list(), "1 equal blocks found"));
  EXPECT_EQ(run.rst, block + "short\n\n" + "tail");

  // A block of 3393 reads: the same count as 200001 in 16 bits. Whatever the
  // two are taken for, neither may be lost or taken for the other.
  std::string small;
  for (int i = 0; i < 3392; ++i) small += "entry " + std::to_string(i % 7) + " of the corpus\n";
  small += "\n";
  run = run_checked(small + block + small, "corpus\n");
  expect_completed_and_conserved(run);
}

TEST(BadSource, EmptyLinesInARowAndSourcesOfOnlyEmptyLines) {
  // The second of two empty lines is a block of one line, without theme.
  CheckedRun run = run_checked("b\n\n\na cat\n\n", "cat\n");
  expect_completed_and_conserved(run);
  EXPECT_EQ(run.rst, "a cat\n\nb\n\n\n");
  EXPECT_TRUE(has_line(run.batch.list(), "2 blocks saved in the rest file"));

  // 1000 empty lines are 1000 blocks; none has a theme, all are kept.
  run = run_checked(std::string(1000, '\n'), "cat\n");
  expect_completed_and_conserved(run);
  EXPECT_EQ(run.rst, std::string(1000, '\n'));
  EXPECT_TRUE(has_line(run.batch.list(), "1000 blocks saved in the rest file"));

  run = run_checked(to_crlf(std::string(300, '\n')), "cat\n");
  expect_completed_and_conserved(run);
  EXPECT_EQ(run.rst, to_crlf(std::string(300, '\n')));
}

// Themes, an exact duplicate, a near duplicate, a line of exactly 99
// characters (its line end is an empty read of its own) and a tail.
const std::string kLfSource =
    "the cat sat on the warm mat today\n\n"
    "a dog barked at the mailman\n\n"
    "the cat sat on the warm mat today\n\n"
    "the cat sat on the warm mat yesterday\n\n" +
    std::string(99, 'q') + "\n" + "nothing here\nat all\n\n" + "tail line\n";

TEST(BadSource, CrLfSourceGivesTheSameRunAsItsLfTwinAndKeepsItsBytes) {
  CheckedRun lf = run_checked(kLfSource, "cat\ndog\n");
  CheckedRun crlf = run_checked(to_crlf(kLfSource), "cat\ndog\n");
  expect_completed_and_conserved(lf);
  expect_completed_and_conserved(crlf);
  EXPECT_EQ(crlf.batch.list(), lf.batch.list());
  EXPECT_FALSE(lf.dbl.empty());
  EXPECT_EQ(crlf.rst, to_crlf(lf.rst));
  EXPECT_EQ(crlf.dbl, to_crlf(lf.dbl));
}

TEST(BadSource, MixedLineEnds) {
  // Every other line end is CR LF; "equal" blocks may differ in their bytes,
  // and whichever survives, nothing is lost.
  std::string mixed;
  bool cr = false;
  for (char c : kLfSource) {
    if (c == '\n' && (cr = !cr)) mixed += '\r';
    mixed += c;
  }
  CheckedRun run = run_checked(mixed, "cat\ndog\n");
  expect_completed_and_conserved(run);
  EXPECT_EQ(run.batch.list(), run_checked(kLfSource, "cat\ndog\n").batch.list());
}

TEST(BadSource, LoneCarriageReturnsAreOrdinaryCharacters) {
  // "\r\n" alone is an empty line; a CR elsewhere is text: "\rthree" is not
  // empty, "x\r\r\n" is the text "x\r" and its line end. A CR at the very end
  // belongs to the tail.
  const std::string b0 = "one\rtwo\nx\r\r\n\r\n";
  const std::string b1 = "\rthree cat\n\n";
  CheckedRun run = run_checked(b0 + b1 + "last\r", "cat\n");
  expect_completed_and_conserved(run);
  EXPECT_EQ(run.rst, b1 + b0 + "last\r");
  EXPECT_TRUE(has_line(run.batch.list(), "1 blocks saved in the rest file"));
  EXPECT_TRUE(has_line(run.batch.list(), "1 lines after the last block saved in the rest file"));
}

// Cuts the source down to `size` bytes when a line of the output list begins
// with `moment`.
class ShrinkingView : public testing::RecordingView {
 public:
  ShrinkingView(const std::string& source, const std::string& moment, off_t size)
      : source_(source), moment_(moment), size_(size) {}
  void append_output_line(const std::string& line) override {
    RecordingView::append_output_line(line);
    if (line.rfind(moment_, 0) == 0) {
      EXPECT_EQ(truncate(source_.c_str(), size_), 0);
    }
  }

 private:
  std::string source_, moment_;
  off_t size_;
};

// Whenever and however far the source shrinks, read through its mapping or
// with ordinary reads, the run ends with the same error and leaves the
// outputs as they were.
TEST(BadSource, SourceThatShrinksDuringTheRunEndsItAndRestoresTheOutputs) {
  testing::TempDir dir;
  RunNames names = RunNames::defaults_in(dir.path());
  Random random(5);
  std::vector<std::string> vocabulary = random_vocabulary(random);
  std::string source;
  while (source.size() < 300000) source += random_source(random, vocabulary);
  source += "tail line";
  const std::string keywords = random_keywords(random, vocabulary);
  const off_t sizes[] = {0, 150001, static_cast<off_t>(source.size() - 1)};
  for (bool mapped : {true, false}) {
    for (const char* moment : {"Find Offsets:", "Themes processing", "Rest file saving"}) {
      for (off_t size : sizes) {
        SCOPED_TRACE(std::string(moment) + " to " + std::to_string(size) + " mapped " +
                     std::to_string(mapped));
        testing::write_file(names.src, source);
        testing::write_file(names.kwd, keywords);
        for (const std::string* output : {&names.dst, &names.dbl, &names.rst}) {
          testing::write_file(*output, "before\n");
        }
        RunContext context;
        context.set_thread_count(2);
        ShrinkingView view(names.src, moment, size);
        allow_source_mapping(mapped);
        int result = run_defaults(context, view, names);
        allow_source_mapping(true);
        EXPECT_EQ(result, -1);
        EXPECT_EQ(error_lines(view.lines),
                  std::vector<std::string>{"Error: Source file " + names.src +
                                           " changed during the run"});
        for (const std::string* output : {&names.dst, &names.dbl, &names.rst}) {
          EXPECT_EQ(testing::read_file(*output), "before\n");
        }
      }
    }
  }
}

}  // namespace
}  // namespace karvel::hardening
