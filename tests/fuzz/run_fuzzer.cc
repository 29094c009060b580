// Fuzz target: a whole run over files in memory with the default switches
// (UTF-8 rules for inputs of an odd size) must complete, keep its inputs and
// pass the conservation check.

#include <unistd.h>

#include <string>

#include "conservation.h"
#include "engine/run_context.h"
#include "fuzz_input.h"
#include "messages/run_view.h"

using namespace karvel;

namespace {

// Keeps the "Error: " lines a run shows; answers no question.
class QuietView : public RunView {
 public:
  void append_output_line(const std::string& line) override {
    if (line.rfind("Error: ", 0) == 0) errors += line + "\n";
  }
  void set_field(int, const std::string&) override {}
  int read_answer_key(const char*) override { return -1; }
  std::string errors;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SplitInput input = fuzz::split_input(data, size);
  // The source, keywords, destination, doubles, rest and log files.
  const int fds[6] = {fuzz::memory_file(input.source), fuzz::memory_file(input.keywords),
                      fuzz::memory_file(""),           fuzz::memory_file(""),
                      fuzz::memory_file(""),           fuzz::memory_file("")};
  std::string names[6];
  for (int f = 0; f < 6; ++f) names[f] = "/proc/self/fd/" + std::to_string(fds[f]);

  RunContext context;
  // Half of the inputs are taken as UTF-8 whatever they hold.
  context.set_encoding_choice(size % 2 == 0 ? EncodingChoice::kAuto : EncodingChoice::kUtf8);
  QuietView view;
  int result = context.run_processing(&view, 0, 1, 1, 1, names[0], names[2], names[3], names[4],
                                      names[1], names[5], 50, 60);
  if (result != 0) fuzz::fail("the run did not complete:\n" + view.errors);
  if (!view.errors.empty()) fuzz::fail("a completed run showed errors:\n" + view.errors);
  if (fuzz::contents(fds[0]) != input.source) fuzz::fail("the source file changed");
  if (fuzz::contents(fds[1]) != input.keywords) fuzz::fail("the keywords file changed");
  hardening::ConservationResult conservation = hardening::check_conservation(
      input.source, fuzz::contents(fds[2]), fuzz::contents(fds[3]), fuzz::contents(fds[4]));
  if (!conservation.ok()) fuzz::fail("conservation:\n" + conservation.describe());
  for (int fd : fds) close(fd);
  return 0;
}
