// Finding, deciding and grouping the similar blocks of a theme.

#include "themes/similar_blocks.h"

#include <algorithm>
#include <new>

#include "files/line_reader.h"
#include "index/block_index.h"
#include "messages/messages.h"
#include "records/file_statistics.h"
#include "records/program_configuration.h"
#include "themes/block_reads.h"
#include "themes/output_files.h"
#include "themes/theme_blocks.h"

namespace karvel {

namespace {

// Lines of a block that the similarity question shows.
constexpr uint32_t kShownLines = 9;
constexpr char kDashedLine[] =
    "--------------------------------------------------------------------";
constexpr char kAnswerKeys[] = "YyNnAaQq12GgBb";

}  // namespace

void SimilarBlocks::release() {
  doubles_list_.clear();
  dictionary_ = WordDictionary();
  list_start_ = std::vector<uint32_t>();
  list_words_ = std::vector<uint32_t>();
  set_start_ = std::vector<uint32_t>();
  set_words_ = std::vector<uint32_t>();
  seen_ = std::vector<uint32_t>();
  holders_start_ = std::vector<uint32_t>();
  holders_ = std::vector<uint32_t>();
  cursor_ = std::vector<uint32_t>();
  marks_ = std::vector<uint16_t>();
  found_ = std::vector<uint32_t>();
  count_ = 0;
}

Status SimilarBlocks::prepare(const ThemeBlocks& theme, const SourceFile& source,
                              const BlockIndex& index) {
  uint32_t n = theme.block_count;
  dictionary_.clear();
  list_start_.assign(n + 1, 0);
  list_words_.clear();
  set_start_.assign(n + 1, 0);
  set_words_.clear();
  // Only blocks alive now can take part: a block deleted as equal is never
  // compared.
  for (uint32_t p = 0; p < n; ++p) {
    list_start_[p] = static_cast<uint32_t>(list_words_.size());
    if (!theme.is_alive(p)) continue;
    Status status =
        karvel::build_word_list(source, index, theme.block_at(p), dictionary_, &word_list_);
    if (!status.ok()) return status;
    list_words_.insert(list_words_.end(), word_list_.words, word_list_.words + word_list_.count);
  }
  list_start_[n] = static_cast<uint32_t>(list_words_.size());
  // A word of a block that stands in no word list is never looked for, so
  // the word sets hold only words of the dictionary.
  uint32_t words = dictionary_.size();
  seen_.assign(words, 0);
  for (uint32_t p = 0; p < n; ++p) {
    set_start_[p] = static_cast<uint32_t>(set_words_.size());
    if (!theme.is_alive(p)) continue;
    Status status = collect_block_words(source, index, theme.block_at(p), dictionary_, p + 1,
                                        &seen_, &set_words_);
    if (!status.ok()) return status;
  }
  set_start_[n] = static_cast<uint32_t>(set_words_.size());
  // The word-to-blocks table, each word's positions in increasing order.
  holders_start_.assign(words + 1, 0);
  for (uint32_t w : set_words_) ++holders_start_[w + 1];
  for (uint32_t w = 0; w < words; ++w) holders_start_[w + 1] += holders_start_[w];
  cursor_.assign(holders_start_.begin(), holders_start_.end() - 1);
  holders_.resize(set_words_.size());
  for (uint32_t p = 0; p < n; ++p) {
    for (uint32_t k = set_start_[p]; k < set_start_[p + 1]; ++k)
      holders_[cursor_[set_words_[k]]++] = p;
  }
  cursor_.assign(holders_start_.begin(), holders_start_.end() - 1);
  marks_.assign(words, 0);
  found_.assign(n, 0);
  return Status::OK();
}

void SimilarBlocks::build_word_list(uint32_t p) {
  count_ = list_start_[p + 1] - list_start_[p];
  for (uint32_t k = list_start_[p]; k < list_start_[p + 1]; ++k) ++marks_[list_words_[k]];
  for (uint32_t k = list_start_[p]; k < list_start_[p + 1]; ++k) {
    uint32_t w = list_words_[k];
    uint32_t times = marks_[w];
    if (times == 0) continue;  // a repeat, already counted
    marks_[w] = 0;
    // Blocks at or before p are never right-hand blocks again.
    uint32_t end = holders_start_[w + 1];
    uint32_t c = cursor_[w];
    while (c < end && holders_[c] <= p) ++c;
    cursor_[w] = c;
    for (; c < end; ++c) found_[holders_[c]] += times;
  }
}

void SimilarBlocks::clear_word_list(uint32_t p, uint32_t n) {
  for (uint32_t q = p + 1; q < n; ++q) found_[q] = 0;
  count_ = 0;
}

int SimilarBlocks::blocks_similar(const ThemeBlocks& theme,
                                  const ProgramConfiguration& configuration, uint32_t p,
                                  uint32_t q) const {
  uint32_t lp = theme.get_length(p);
  uint32_t lq = theme.get_length(q);
  if (lp * 100u < lq * configuration.get_length_ratio()) return 0;
  // found_ never exceeds 2000, so found_ * 100 does not wrap.
  return found_[q] * 100u >= count_ * configuration.get_similarity_ratio();
}

Status SimilarBlocks::show_block(const ThemeBlocks& theme, const SourceFile& source,
                                 const BlockIndex& index, Messages& messages, uint32_t p) {
  BlockReads reads;
  Status status = reads.open(source, index, theme.block_at(p));
  if (!status.ok()) return status;
  uint32_t shown = std::min(theme.get_length(p), kShownLines);
  char slot[kLineSlotSize];
  LineRead read;
  for (uint32_t i = 0; i < shown && reads.next(&read); ++i) {
    read.copy_to_slot(slot);
    messages.show_text(slot);
  }
  if (!reads.status().ok()) return reads.status();
  messages.show_message("%s", kDashedLine);
  return Status::OK();
}

Status SimilarBlocks::ask_user_choice(const ThemeBlocks& theme, const SourceFile& source,
                                      const BlockIndex& index, ProgramConfiguration& configuration,
                                      Messages& messages, uint32_t p, uint32_t q,
                                      UserChoice* choice) {
  if (configuration.get_always_yes()) {
    *choice = CHOICE_DELETE_SECOND;
    return Status::OK();
  }
  messages.show_message("===== Similarity test=====");
  Status status = show_block(theme, source, index, messages, p);
  if (status.ok()) status = show_block(theme, source, index, messages, q);
  if (!status.ok()) return status;
  messages.show_message("Do the blocks seem equal? (1-del_1, Y=2-del_2, N, Q, A)");
  // When no key can come the answer is "no": the run never waits forever.
  int key = messages.read_answer_key(kAnswerKeys);
  switch (key) {
    case '1':
      *choice = CHOICE_DELETE_FIRST;
      break;
    case '2':
    case 'Y':
    case 'y':
      *choice = CHOICE_DELETE_SECOND;
      break;
    case 'A':
    case 'a':
      configuration.set_always_yes(1);
      *choice = CHOICE_DELETE_SECOND;
      break;
    case 'G':
    case 'g':
      configuration.set_group_mode(1);
      configuration.set_always_yes(1);
      *choice = CHOICE_GROUP;
      break;
    case 'B':
    case 'b':
      *choice = CHOICE_GROUP;
      break;
    case 'Q':
    case 'q':
      configuration.set_check_similarity(0);
      *choice = CHOICE_KEEP_BOTH;
      break;
    default:  // N, n, or no key at all
      *choice = CHOICE_KEEP_BOTH;
      break;
  }
  return Status::OK();
}

Status SimilarBlocks::find_similar_blocks(ThemeBlocks& theme, const SourceFile& source,
                                          OutputFile& doubles, BlockIndex& index,
                                          ProgramConfiguration& configuration,
                                          FileStatistics& statistics, Messages& messages) {
  uint32_t n = theme.block_count;
  if (n == 0 || n >= kSimilarSearchLimit) return Status::OK();
  doubles_list_.clear();
  messages.set_field(kBlocksTotal, n);
  if (!configuration.get_check_similarity()) return Status::OK();

  uint32_t found = 0;
  if (n > 1) {
    try {
      Status status = prepare(theme, source, index);
      if (!status.ok()) return status;
    } catch (const std::bad_alloc&) {
      return Status::Error("Not enough memory for word list");
    }
    // Lengths do not decrease with the position, so once the length test
    // fails it fails for every later block too, unless the products wrap.
    uint64_t longest = theme.get_length(n - 1);
    bool lengths_fit = longest * configuration.get_length_ratio() <= UINT32_MAX;
    for (uint32_t i = 0; i + 1 < n; ++i) {
      if (i % 10 == 0) messages.set_field(kCurrentBlock, i);
      if (!theme.is_alive(i)) continue;
      build_word_list(i);
      bool may_stop = lengths_fit && uint64_t{theme.get_length(i)} * 100 <= UINT32_MAX;
      uint32_t left = theme.block_at(i);
      for (uint32_t j = i + 1; j < n; ++j) {
        if (may_stop &&
            theme.get_length(i) * 100u < theme.get_length(j) * configuration.get_length_ratio()) {
          break;
        }
        if (!theme.is_alive(j) || !blocks_similar(theme, configuration, i, j)) continue;
        UserChoice choice = CHOICE_GROUP;
        if (!configuration.get_group_mode()) {
          Status status =
              ask_user_choice(theme, source, index, configuration, messages, i, j, &choice);
          if (!status.ok()) return status;
        }
        uint32_t right = theme.block_at(j);
        PairResult result = PAIR_BOTH_LISTED;
        switch (choice) {
          case CHOICE_KEEP_BOTH:
            break;
          case CHOICE_DELETE_FIRST:
            // The search goes on with i's word list.
            theme.theme_bitmap[i] = 0;
            index.mark_written(left);
            ++found;
            break;
          case CHOICE_DELETE_SECOND:
            theme.theme_bitmap[j] = 0;
            index.mark_written(right);
            ++found;
            break;
          case CHOICE_GROUP: {
            Status status = doubles_list_.add_pair(left, right, &result);
            if (!status.ok()) return status;
            // Listed blocks get their written flag when they are copied.
            switch (result) {
              case PAIR_NEW_GROUP:
                theme.theme_bitmap[j] = 0;
                found += 2;
                break;
              case PAIR_FIRST_JOINED:
                theme.theme_bitmap[i] = 0;
                ++found;
                break;
              case PAIR_SECOND_JOINED:
                theme.theme_bitmap[j] = 0;
                ++found;
                break;
              case PAIR_BOTH_LISTED:
                theme.theme_bitmap[j] = 0;
                break;
              default:
                return Status::Error("Shit happened");
            }
            break;
          }
          default:
            return Status::Error(format_text("Unexpected result of 'ask_user_choice' %lu",
                                             static_cast<unsigned long>(choice)));
        }
      }
      clear_word_list(i, n);
    }
  }

  if (found != 0) {
    messages.write_protocol("%lu similar blocks found", static_cast<unsigned long>(found));
    statistics.saved_as_similar += found;
    messages.set_signed_field(kSimilarFound, statistics.saved_as_similar);
  }
  for (uint32_t k = 0; k < doubles_list_.get_count(); ++k) {
    Status status =
        copy_block(index, doubles_list_.get_entry(k) & kBlockNumberMask, source, doubles);
    if (!status.ok()) return status;
  }
  return Status::OK();
}

}  // namespace karvel
