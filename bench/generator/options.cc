// Command line of karvel-generate: options, sizes with unit suffixes, usage.

#include "generator/options.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace karvel::bench {

namespace {

std::optional<uint64_t> parse_number(const std::string& text) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  uint64_t value = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(ch - '0');
  }
  return value;
}

std::optional<uint32_t> parse_count(const std::string& text) {
  const std::optional<uint64_t> value = parse_number(text);
  if (!value || *value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<uint32_t>(*value);
}

std::optional<Mode> parse_mode(const std::string& text) {
  if (text == "keyword") return Mode::kKeyword;
  if (text == "separator") return Mode::kSeparator;
  if (text == "bigtheme") return Mode::kBigTheme;
  if (text == "manythemes") return Mode::kManyThemes;
  if (text == "nearcopies") return Mode::kNearCopies;
  return std::nullopt;
}

}  // namespace

void print_usage(FILE* stream) {
  std::fputs(
      "usage: karvel-generate [options]\n"
      "Writes a source file and a keywords file for benchmarks; one seed, one output.\n"
      "  --mode MODE        keyword (default): one theme per keyword;\n"
      "                     separator: themes are groups of keywords between empty lines;\n"
      "                     bigtheme: one theme of --blocks blocks, few lengths, many equal;\n"
      "                     manythemes: --themes themes of --theme-blocks blocks,\n"
      "                     20% near copies;\n"
      "                     nearcopies: one theme of --blocks text blocks, 10% near copies\n"
      "  --size N           source size (keyword, separator), default 10M;\n"
      "                     k M G multiply by 1000, Ki Mi Gi by 1024\n"
      "  --keywords N       keywords (default 500; bigtheme, nearcopies 10; manythemes: --themes)\n"
      "  --seed N           seed (default 1)\n"
      "  --out DIR          write DIR/#src and DIR/#kwd (default: current folder)\n"
      "  --src FILE         source file instead of DIR/#src\n"
      "  --kwd FILE         keywords file instead of DIR/#kwd\n"
      "  --blocks N         bigtheme, nearcopies: blocks of the theme (default 1000000)\n"
      "  --themes N         manythemes: themes (default 2000)\n"
      "  --theme-blocks N   manythemes: blocks per theme (default 400)\n"
      "  --quiet            no summary\n",
      stream);
}

std::optional<uint64_t> parse_size(const std::string& text) {
  size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  const std::optional<uint64_t> value = parse_number(text.substr(0, digits));
  if (!value) return std::nullopt;
  std::string unit = text.substr(digits);
  if (!unit.empty() && (unit.back() == 'B' || unit.back() == 'b')) unit.pop_back();
  uint64_t factor = 1;
  if (unit.empty()) {
    factor = 1;
  } else if (unit == "k" || unit == "K") {
    factor = 1000;
  } else if (unit == "M") {
    factor = 1000'000;
  } else if (unit == "G") {
    factor = 1000'000'000;
  } else if (unit == "Ki") {
    factor = 1ull << 10;
  } else if (unit == "Mi") {
    factor = 1ull << 20;
  } else if (unit == "Gi") {
    factor = 1ull << 30;
  } else {
    return std::nullopt;
  }
  if (*value > UINT64_MAX / factor) return std::nullopt;
  return *value * factor;
}

std::optional<Options> parse_options(int argc, char** argv, bool& help) {
  Options options;
  help = false;
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    std::string value;
    const size_t equals = name.find('=');
    const bool has_value = equals != std::string::npos;
    if (has_value) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    if (name == "--help" || name == "-h") {
      help = true;
      return options;
    }
    if (name == "--quiet") {
      options.quiet = true;
      continue;
    }
    if (!has_value) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "karvel-generate: %s needs a value\n", name.c_str());
        return std::nullopt;
      }
      value = argv[++i];
    }
    bool good = true;
    if (name == "--mode") {
      const auto mode = parse_mode(value);
      good = mode.has_value();
      if (good) options.mode = *mode;
    } else if (name == "--size") {
      const auto size = parse_size(value);
      good = size.has_value();
      if (good) options.size = *size;
    } else if (name == "--keywords") {
      const auto count = parse_count(value);
      good = count.has_value();
      if (good) options.keywords = *count;
    } else if (name == "--seed") {
      const auto seed = parse_number(value);
      good = seed.has_value();
      if (good) options.seed = *seed;
    } else if (name == "--out") {
      options.out_dir = value;
    } else if (name == "--src") {
      options.src_path = value;
    } else if (name == "--kwd") {
      options.kwd_path = value;
    } else if (name == "--blocks" || name == "--themes" || name == "--theme-blocks") {
      const auto count = parse_count(value);
      good = count.has_value() && *count > 0;
      if (good) {
        uint32_t& target = name == "--blocks"   ? options.blocks
                           : name == "--themes" ? options.themes
                                                : options.theme_blocks;
        target = *count;
      }
    } else {
      std::fprintf(stderr, "karvel-generate: unknown option '%s'\n", name.c_str());
      return std::nullopt;
    }
    if (!good) {
      std::fprintf(stderr, "karvel-generate: bad value '%s' for %s\n", value.c_str(), name.c_str());
      return std::nullopt;
    }
  }
  if (options.src_path.empty()) options.src_path = options.out_dir + "/#src";
  if (options.kwd_path.empty()) options.kwd_path = options.out_dir + "/#kwd";
  return options;
}

}  // namespace karvel::bench
