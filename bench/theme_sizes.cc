// karvel-theme-sizes: how many blocks each theme of a source gets, and the
// share of the themed blocks that sit in themes small enough for the
// similar-blocks search under a limit (themes of fewer than LIMIT blocks are
// searched; 0 searches every theme). Themes are found as a run with the
// automatic text encoding finds them.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "index/block_index.h"
#include "index/source_statistics.h"
#include "messages/messages.h"
#include "records/file_statistics.h"
#include "text/fold.h"
#include "text/keyword_matcher.h"
#include "text/keyword_table.h"
#include "text/utf8_check.h"

namespace {

int fail(const std::string& what, const karvel::Status& status) {
  std::fprintf(stderr, "karvel-theme-sizes: %s: %s\n", what.c_str(), status.text().c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr,
                 "usage: karvel-theme-sizes SOURCE KEYWORDS [LIMIT]\n"
                 "Prints the blocks of each theme and the share of themed blocks in themes\n"
                 "of fewer than LIMIT blocks (default 500; 0: every theme).\n");
    return 2;
  }
  const std::string source_name = argv[1], keywords_name = argv[2];
  const unsigned long limit = argc == 4 ? std::strtoul(argv[3], nullptr, 10) : 500;
  karvel::build_fold_table();
  karvel::Messages messages;  // no window: the stages' own lines go nowhere
  karvel::FileStatistics statistics;
  const int fd = open(source_name.c_str(), O_RDONLY);
  const int keywords_fd = open(keywords_name.c_str(), O_RDONLY);
  if (fd < 0 || keywords_fd < 0) {
    std::fprintf(stderr, "karvel-theme-sizes: cannot open %s\n",
                 (fd < 0 ? source_name : keywords_name).c_str());
    return 1;
  }
  karvel::Utf8Check source_check, keywords_check;
  karvel::Status status =
      karvel::Get_File_Statistics(fd, source_name, statistics, messages, 256 << 10, &source_check);
  if (!status.ok()) return fail(source_name, status);
  status = karvel::check_file_utf8(keywords_fd, keywords_name, &keywords_check);
  if (!status.ok()) return fail(keywords_name, status);
  const karvel::TextEncoding encoding =
      karvel::choose_text_encoding(karvel::EncodingChoice::kAuto, keywords_check, source_check);
  karvel::KeywordTable keywords;
  keywords.set_text_encoding(encoding);
  bool reached_end = false;
  status = keywords.load_keywords(keywords_fd, keywords_name, messages, &reached_end);
  if (!status.ok()) return fail(keywords_name, status);
  karvel::BlockIndex index;
  status = index.create(statistics.file_blocks, messages);
  if (!status.ok()) return fail("index", status);
  karvel::KeywordMatcher matcher(keywords);
  status = karvel::find_offsets(fd, source_name, matcher, statistics.file_blocks,
                                statistics.max_block_lines, index, messages);
  if (!status.ok()) return fail(source_name, status);
  karvel::ThemeBuckets buckets;
  buckets.build(index);

  unsigned long themed = 0, searched = 0, themes_searched = 0;
  const uint32_t themes = keywords.get_theme_count();
  for (uint32_t t = 0; t < themes; ++t) {
    const unsigned long n = buckets.end(t) - buckets.begin(t);
    std::printf("theme %u: %lu blocks\n", t, n);
    themed += n;
    if (limit == 0 || n < limit) {
      searched += n;
      ++themes_searched;
    }
  }
  std::printf(
      "%lu blocks, %lu themed in %u themes; limit %lu: %lu themes searched, "
      "%lu themed blocks in them (%.1f%%)\n",
      static_cast<unsigned long>(statistics.file_blocks), themed, themes, limit, themes_searched,
      searched, themed == 0 ? 0.0 : 100.0 * searched / themed);
  close(fd);
  close(keywords_fd);
  return 0;
}
