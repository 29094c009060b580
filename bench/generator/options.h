// Command line of karvel-generate.

#ifndef KARVEL_BENCH_GENERATOR_OPTIONS_H_
#define KARVEL_BENCH_GENERATOR_OPTIONS_H_

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace karvel::bench {

enum class Mode {
  kKeyword,     // one theme per keyword
  kSeparator,   // themes are groups of keywords between empty lines
  kBigTheme,    // one theme of a million blocks, few lengths, many equal blocks
  kManyThemes,  // 2000 themes of 400 blocks, a fifth of them near copies
  kNearCopies   // one theme of many text blocks, a tenth of them near copies
};

struct Options {
  Mode mode = Mode::kKeyword;
  uint64_t size = 10'000'000;  // bytes of source, keyword and separator modes
  std::optional<uint32_t> keywords;
  uint64_t seed = 1;
  std::string out_dir = ".";
  std::string src_path;         // empty: out_dir + "/#src"
  std::string kwd_path;         // empty: out_dir + "/#kwd"
  uint32_t blocks = 1'000'000;  // bigtheme, nearcopies
  uint32_t themes = 2000;       // manythemes
  uint32_t theme_blocks = 400;  // manythemes
  bool quiet = false;
};

// Parses the arguments. On a bad command line writes the reason to standard
// error and returns nothing; `help` is set for --help.
std::optional<Options> parse_options(int argc, char** argv, bool& help);

void print_usage(FILE* stream);

// "10M", "1Gi", "4096": k M G are powers of 1000, Ki Mi Gi powers of 1024
// (a trailing B is allowed).
std::optional<uint64_t> parse_size(const std::string& text);

}  // namespace karvel::bench

#endif  // KARVEL_BENCH_GENERATOR_OPTIONS_H_
