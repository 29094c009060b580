// karvel-generate: writes a seeded source file and keywords file for the
// benchmarks. The same options and seed always give the same two files.

#include <cstdio>

#include "generator/keywords.h"
#include "generator/options.h"
#include "generator/profiles.h"
#include "generator/source_writer.h"
#include "generator/text.h"
#include "generator/words.h"

namespace {

using karvel::bench::Mode;

const char* mode_name(Mode mode) {
  switch (mode) {
    case Mode::kKeyword:
      return "keyword";
    case Mode::kSeparator:
      return "separator";
    case Mode::kBigTheme:
      return "bigtheme";
    case Mode::kManyThemes:
      return "manythemes";
    case Mode::kNearCopies:
      return "nearcopies";
  }
  return "?";
}

uint32_t keyword_count(const karvel::bench::Options& options) {
  if (options.mode == Mode::kManyThemes) return options.themes;
  if (options.keywords) return *options.keywords;
  return options.mode == Mode::kBigTheme || options.mode == Mode::kNearCopies ? 10 : 500;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace karvel::bench;
  bool help = false;
  const std::optional<Options> parsed = parse_options(argc, argv, help);
  if (help) {
    print_usage(stdout);
    return 0;
  }
  if (!parsed) {
    print_usage(stderr);
    return 2;
  }
  const Options& options = *parsed;
  const uint32_t count = keyword_count(options);
  if ((options.mode == Mode::kBigTheme || options.mode == Mode::kNearCopies) && count == 0) {
    std::fputs("karvel-generate: bigtheme and nearcopies need at least one keyword\n", stderr);
    return 2;
  }

  // Separate streams for the words, the keywords and the text, so that the
  // vocabulary does not change with the keyword count.
  Random word_random(options.seed * 3 + 1);
  Random keyword_random(options.seed * 3 + 2);
  Random text_random(options.seed * 3 + 3);
  const Vocabulary latin(word_random, Script::kLatin, 30000);
  const Vocabulary cyrillic(word_random, Script::kCyrillic, 12000);
  const TextMaker maker(latin, cyrillic);
  const KeywordSet keywords(keyword_random, count, options.mode == Mode::kSeparator);

  if (!keywords.write(options.kwd_path, options.seed)) {
    std::fprintf(stderr, "karvel-generate: cannot write %s\n", options.kwd_path.c_str());
    return 1;
  }
  SourceWriter out;
  if (!out.open(options.src_path)) {
    std::fprintf(stderr, "karvel-generate: cannot write %s\n", options.src_path.c_str());
    return 1;
  }
  switch (options.mode) {
    case Mode::kKeyword:
    case Mode::kSeparator:
      generate_mixed(options, keywords, maker, text_random, out);
      break;
    case Mode::kBigTheme:
      generate_big_theme(options, keywords, maker, text_random, out);
      break;
    case Mode::kManyThemes:
      generate_many_themes(options, keywords, maker, text_random, out);
      break;
    case Mode::kNearCopies:
      generate_near_copies(options, keywords, maker, text_random, out);
      break;
  }
  const SourceCounts counts = out.counts();
  if (!out.close()) {
    std::fprintf(stderr, "karvel-generate: cannot write %s\n", options.src_path.c_str());
    return 1;
  }
  if (!options.quiet) {
    std::printf("%s: %llu bytes, %llu blocks, %llu lines (%llu over 99 characters)\n",
                options.src_path.c_str(), static_cast<unsigned long long>(counts.bytes),
                static_cast<unsigned long long>(counts.blocks),
                static_cast<unsigned long long>(counts.lines),
                static_cast<unsigned long long>(counts.long_lines));
    std::printf("  %llu without keyword, %llu exact copies, %llu near copies, %llu with Cyrillic\n",
                static_cast<unsigned long long>(counts.no_keyword),
                static_cast<unsigned long long>(counts.exact_copies),
                static_cast<unsigned long long>(counts.near_copies),
                static_cast<unsigned long long>(counts.cyrillic));
    std::printf("%s: %u keywords, %u themes, %s mode, seed %llu\n", options.kwd_path.c_str(), count,
                keywords.theme_count(), mode_name(options.mode),
                static_cast<unsigned long long>(options.seed));
  }
  return 0;
}
