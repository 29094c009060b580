// The similar-blocks pass through the theme workspace: the similarity test's
// boundaries, the grouping in the doubles file, the answers to the question,
// and random themes against the pass as written with find_whole_word.

#include "themes/similar_blocks.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "records/program_configuration.h"
#include "tests/themes/theme_fixture.h"
#include "themes/theme_blocks.h"
#include "themes/theme_workspace.h"

namespace karvel {
namespace {

using testing::IndexedSource;
using testing::LiteralTheme;

const std::string kDashes(68, '-');

// One source, its workspace and its doubles file.
struct SimilarRun {
  IndexedSource s;
  ThemeWorkspace workspace;
  OutputFile doubles;
  ProgramConfiguration configuration;

  void build(const std::vector<std::string>& blocks, const std::vector<uint32_t>& themes) {
    s.build(blocks, themes);
    ASSERT_TRUE(workspace.create(s.statistics).ok());
    ASSERT_TRUE(doubles.open(s.dir.file("doubles"), OutputFile::Mode::kAppend));
    configuration.set_group_mode(1);
  }

  Status run_theme(uint32_t t) {
    Status status = workspace.load_theme(s.source, s.index, s.buckets, t, s.messages);
    if (!status.ok()) return status;
    workspace.sort_by_length();
    status = workspace.delete_equal_blocks(s.source, s.index, s.statistics, s.messages);
    if (!status.ok()) return status;
    return workspace.find_similar_blocks(s.source, doubles, s.index, configuration, s.statistics,
                                         s.messages);
  }

  std::string doubles_text() {
    doubles.flush();
    return testing::read_file(s.dir.file("doubles"));
  }
};

std::string lines(int count, const std::string& text) {
  std::string block;
  for (int i = 0; i < count; ++i) block += text + "\n";
  return block + "\n";
}

TEST(SimilarBlocks, GroupOpenedByALeftBlockIsWrittenAroundIt) {
  SimilarRun run;
  std::vector<std::string> blocks = {"alpha beta gamma\n\n", "alpha beta gamma one\n\n",
                                     "alpha beta gamma two\n\n", "alpha beta gamma three\n\n",
                                     "something else entirely\n\n"};
  run.build(blocks, {0, 0, 0, 0, 0});
  ASSERT_TRUE(run.run_theme(0).ok());
  // Partners j1, j2, j3 of i are written as j2, j3, i, j1.
  EXPECT_EQ(run.doubles_text(), blocks[2] + blocks[3] + blocks[0] + blocks[1]);
  EXPECT_EQ(run.s.statistics.saved_as_similar, 4u);
  EXPECT_EQ(run.s.view.fields[kSimilarFound], "4");
  EXPECT_EQ(run.s.protocol_text(), "4 similar blocks found\n");
  for (uint32_t b = 0; b < 4; ++b) EXPECT_FALSE(run.s.index.is_unwritten(b));
  EXPECT_TRUE(run.s.index.is_unwritten(4));
}

TEST(SimilarBlocks, LengthAndWordShareBoundaries) {
  SimilarRun run;
  run.build({lines(4, "alpha beta"), lines(8, "alpha beta"),              // theme 0: 5 and 9 lines
             lines(4, "alpha beta"), lines(7, "alpha beta"),              // theme 1: 5 and 8 lines
             "alpha beta gamma delta\n\n", "alpha beta other words\n\n",  // 2 of 4 words
             "alpha beta gamma delta\n\n", "alpha zzz yyy xxx\n\n",       // 1 of 4 words
             "Alpha beta\n\n", "alpha betamax\n\n",                       // case, word start
             "a b\n\n", "x yz\n\n"},                                      // no words of 3
            {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5});
  std::vector<bool> similar;
  for (uint32_t t = 0; t < 6; ++t) {
    uint32_t before = run.s.statistics.saved_as_similar;
    ASSERT_TRUE(run.run_theme(t).ok());
    similar.push_back(run.s.statistics.saved_as_similar != before);
  }
  EXPECT_EQ(similar, (std::vector<bool>{false, true, true, false, false, true}));
}

TEST(SimilarBlocks, ThemesOf500BlocksAreNotSearchedUnlessTheLimitIsOff) {
  for (auto [n, limit] : {std::pair{499u, 500u}, {500u, 500u}, {500u, 0u}, {30u, 30u}}) {
    SimilarRun run;
    run.configuration.set_similar_limit(limit);
    std::vector<std::string> blocks;
    for (uint32_t i = 0; i < n; ++i) {
      blocks.push_back("alpha beta " + std::string(1, 'a' + i / 26 % 26) +
                       std::string(1, 'a' + i % 26) + "\n\n");
    }
    run.build(blocks, std::vector<uint32_t>(n, 0));
    ASSERT_TRUE(run.run_theme(0).ok());
    if (n < limit || limit == 0) {
      EXPECT_EQ(run.s.statistics.saved_as_similar, n);
      EXPECT_EQ(run.doubles_text().size(), run.s.text.size());
    } else {
      EXPECT_EQ(run.s.statistics.saved_as_similar, 0u);
      EXPECT_EQ(run.doubles_text(), "");
      for (uint32_t b = 0; b < n; ++b) EXPECT_TRUE(run.s.index.is_unwritten(b));
    }
  }
}

TEST(SimilarBlocks, StopRequestEndsTheSearch) {
  SimilarRun run;
  run.build({"alpha beta\n\n", "alpha beta gamma\n\n"}, {0, 0});
  run.configuration.set_stop(1);
  Status status = run.run_theme(0);
  EXPECT_TRUE(status.stopped());
  EXPECT_EQ(run.doubles_text(), "");
}

TEST(SimilarBlocks, WordListKeepsItsFirst2000Words) {
  SimilarRun run;
  // 2016 words "aaa" before any "bbb": with all its words, the left block
  // would find half of them in the right one.
  std::string left;
  for (int line = 0; line < 84; ++line) {
    for (int w = 0; w < 24; ++w) left += "aaa ";
    left += "\n";
  }
  for (int line = 0; line < 84; ++line) left += "bbb bbb bbb bbb bbb bbb bbb bbb bbb bbb bbb bbb\n";
  left += "\n";
  // The right block has as many lines, so that it comes second.
  std::string right = "bbb\n";
  for (int line = 0; line < 167; ++line) right += "x\n";
  run.build({left, right + "\n"}, {0, 0});
  run.configuration.set_length_ratio(0);
  ASSERT_TRUE(run.run_theme(0).ok());
  EXPECT_EQ(run.s.statistics.saved_as_similar, 0u);
}

TEST(SimilarBlocks, WordsDeepInABlockTooBigToHold) {
  SimilarRun run;
  std::string big;
  while (big.size() < (1 << 20) + 1000) big += "xy zw\n";
  run.build({"alpha beta\n\n", big + "beta, alpha\n\n"}, {0, 0});
  run.configuration.set_length_ratio(0);
  ASSERT_TRUE(run.run_theme(0).ok());
  EXPECT_EQ(run.s.statistics.saved_as_similar, 2u);
  EXPECT_EQ(run.doubles_text(), run.s.text);
}

TEST(SimilarBlocks, AnswersToTheQuestion) {
  SimilarRun run;
  std::string first = lines(11, "alpha beta gamma");
  std::string second = lines(11, "alpha beta gamma extra");
  std::string third = lines(11, "alpha beta gamma more");
  run.build({first, second, third, first, second, third}, {0, 0, 0, 1, 1, 1});
  run.configuration.set_group_mode(0);
  // Keys outside the answers are ignored. Theme 0: 'x' 'N' keeps (0, 1);
  // 'B' groups (0, 2); (1, 2) is skipped, 2 being listed.
  run.s.view.keys = "xNB";
  ASSERT_TRUE(run.run_theme(0).ok());
  EXPECT_EQ(run.doubles_text(), first + third);
  std::vector<std::string> expected{"===== Similarity test====="};
  for (int i = 0; i < 9; ++i) expected.push_back("alpha beta gamma\n");
  expected.push_back(kDashes);
  for (int i = 0; i < 9; ++i) expected.push_back("alpha beta gamma extra\n");
  expected.push_back(kDashes);
  expected.push_back("Do the blocks seem equal? (1-del_1, Y=2-del_2, N, Q, A)");
  ASSERT_EQ(run.s.view.lines.size(), 44u);
  EXPECT_EQ(std::vector<std::string>(run.s.view.lines.begin(), run.s.view.lines.begin() + 22),
            expected);
  // Theme 1: '1' deletes block 3 and the search goes on with its words:
  // 'Q' keeps (3, 5) and switches the search off for later themes; (4, 5)
  // is still asked: no key is left, which answers no.
  run.s.view.keys = "1Q";
  run.s.view.next_key = 0;
  ASSERT_TRUE(run.run_theme(1).ok());
  EXPECT_FALSE(run.s.index.is_unwritten(3));
  EXPECT_TRUE(run.s.index.is_unwritten(4));
  EXPECT_TRUE(run.s.index.is_unwritten(5));
  EXPECT_EQ(run.s.view.lines.size(), 44u + 3 * 22);
  EXPECT_EQ(run.configuration.get_check_similarity(), 0);
  EXPECT_EQ(run.s.statistics.saved_as_similar, 2u + 1u);
}

TEST(SimilarBlocks, AlwaysYesAndGroupAnswers) {
  SimilarRun run;
  std::string a = lines(2, "alpha beta gamma"), b = lines(2, "alpha beta gamma x1"),
              c = lines(2, "alpha beta gamma x2");
  run.build({a, b, c, a, b, c}, {0, 0, 0, 1, 1, 1});
  run.configuration.set_group_mode(0);
  // 'A': every later pair deletes its second block without a question.
  run.s.view.keys = "A";
  ASSERT_TRUE(run.run_theme(0).ok());
  EXPECT_EQ(run.s.view.lines.size(), 10u);  // one question; a block shows its 3 reads
  EXPECT_EQ(run.doubles_text(), "");
  EXPECT_FALSE(run.s.index.is_unwritten(1));
  EXPECT_FALSE(run.s.index.is_unwritten(2));
  EXPECT_EQ(run.configuration.get_always_yes(), 1);
  // 'G' switches group mode (and always yes) on: no more questions.
  run.configuration.set_always_yes(0);
  run.s.view.keys = "G";
  run.s.view.next_key = 0;
  run.s.view.lines.clear();
  ASSERT_TRUE(run.run_theme(1).ok());
  EXPECT_EQ(run.s.view.lines.size(), 10u);
  EXPECT_EQ(run.configuration.get_group_mode(), 1);
  EXPECT_EQ(run.doubles_text(), c + a + b);
}

}  // namespace
}  // namespace karvel
