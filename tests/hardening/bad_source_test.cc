// A source that shrinks during the run, read through its mapping or with
// ordinary reads: the run ends with one error and leaves the outputs as they
// were. (Sources that are odd from the start are in odd_inputs_test.)

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
