// Fuzz target: a whole run on a fuzzed source and keywords file, with the
// conservation check as the oracle.
//
// Each input is written as #src and #kwd into a private folder (in /dev/shm
// when it exists); the run uses the default switches, and for inputs of an
// odd size the UTF-8 rules. The run must complete,
// leave both inputs unchanged, and account for every block of the source and
// for the tail after its last block.

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
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

const char* const kFileNames[] = {"#src", "#kwd", "#dst", "#dbl", "#rst", "#log"};

std::string& folder_path() {
  static std::string path;
  return path;
}

// Removes the folder of the runs when the fuzzer ends.
void remove_folder() {
  for (const char* name : kFileNames) unlink((folder_path() + "/" + name).c_str());
  rmdir(folder_path().c_str());
}

std::string folder() {
  if (folder_path().empty()) {
    std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/karvel-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) fuzz::fail("no folder for the run");
    folder_path() = pattern;
    atexit(remove_folder);
  }
  return folder_path();
}

void write_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) fuzz::fail("cannot write " + path);
}

std::string read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SplitInput input = fuzz::split_input(data, size);
  const std::string dir = folder();
  const std::string src = dir + "/#src", kwd = dir + "/#kwd", dst = dir + "/#dst",
                    dbl = dir + "/#dbl", rst = dir + "/#rst", log = dir + "/#log";
  for (const std::string& output : {dst, dbl, rst, log}) unlink(output.c_str());
  write_bytes(src, input.source);
  write_bytes(kwd, input.keywords);

  RunContext context;
  // Half of the inputs are taken as UTF-8 whatever they hold.
  context.set_encoding_choice(size % 2 == 0 ? EncodingChoice::kAuto : EncodingChoice::kUtf8);
  QuietView view;
  int result = context.run_processing(&view, 0, 1, 1, 1, src, dst, dbl, rst, kwd, log, 50, 60);
  if (result != 0) fuzz::fail("the run did not complete:\n" + view.errors);
  if (!view.errors.empty()) fuzz::fail("a completed run showed errors:\n" + view.errors);
  if (read_bytes(src) != input.source) fuzz::fail("the source file changed");
  if (read_bytes(kwd) != input.keywords) fuzz::fail("the keywords file changed");
  hardening::ConservationResult conservation = hardening::check_conservation(
      input.source, read_bytes(dst), read_bytes(dbl), read_bytes(rst));
  if (!conservation.ok()) fuzz::fail("conservation:\n" + conservation.describe());
  return 0;
}
