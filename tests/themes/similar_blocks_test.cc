// The similar-blocks pass through the theme workspace where the random
// themes of similar_random_test do not reach: a stop request, and a block too
// big to hold. (Boundaries, grouping and answers are compared there.)

#include "themes/similar_blocks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/program_configuration.h"
#include "theme_fixture.h"
#include "themes/theme_blocks.h"
#include "themes/theme_workspace.h"

namespace karvel {
namespace {

using testing::IndexedSource;

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

TEST(SimilarBlocks, StopRequestEndsTheSearch) {
  SimilarRun run;
  run.build({"alpha beta\n\n", "alpha beta gamma\n\n"}, {0, 0});
  run.configuration.set_stop(1);
  Status status = run.run_theme(0);
  EXPECT_TRUE(status.stopped());
  EXPECT_EQ(run.doubles_text(), "");
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

}  // namespace
}  // namespace karvel
