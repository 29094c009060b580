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
// Candidates tried between two looks at the stop request.
constexpr uint32_t kStopCheckCandidates = 4096;

// A stop ends the run as every stop does: without a word, keeping what has
// been written.
Status stopped() { return Status::Stopped(); }

bool stop_requested(const ProgramConfiguration& configuration, const Messages& messages) {
  return configuration.get_stop() != 0 || messages.stop_requested();
}

// The last position after p whose block passes the length test with p:
//   length(p) * 100 >= length(q) * length_ratio     (unsigned 32-bit)
// Lengths do not decrease with the position, so the test holds for a run of
// positions after p, unless the products wrap; then every later position is
// in range and each is tested on its own.
uint32_t last_in_length(const ThemeBlocks& theme, uint32_t p, uint32_t length_ratio) {
  uint32_t n = theme.block_count;
  uint64_t lp = theme.get_length(p);
  if (uint64_t{theme.get_length(n - 1)} * length_ratio > UINT32_MAX || lp * 100 > UINT32_MAX) {
    return n - 1;
  }
  uint32_t low = p, high = n - 1;  // the test holds at low; the answer is in [low, high]
  while (low < high) {
    uint32_t middle = low + (high - low + 1) / 2;
    if (lp * 100 >= uint64_t{theme.get_length(middle)} * length_ratio) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return low;
}

bool lengths_similar(const ThemeBlocks& theme, uint32_t p, uint32_t q, uint32_t length_ratio) {
  return theme.get_length(p) * 100u >= theme.get_length(q) * length_ratio;
}

}  // namespace

void SimilarBlocks::release() {
  doubles_list_ = DoublesList();
  candidates_.release();
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
  Status status = search(theme, source, index, configuration, statistics, messages);
  if (!status.ok()) return status;
  return write_doubles(source, index, doubles);
}

Status SimilarBlocks::write_doubles(const SourceFile& source, BlockIndex& index,
                                    OutputFile& doubles) const {
  for (uint32_t k = 0; k < doubles_list_.get_count(); ++k) {
    Status status =
        copy_block(index, doubles_list_.get_entry(k) & kBlockNumberMask, source, doubles);
    if (!status.ok()) return status;
  }
  return Status::OK();
}

void SimilarBlocks::list_doubled_blocks(std::vector<uint32_t>* blocks) const {
  blocks->clear();
  for (uint32_t k = 0; k < doubles_list_.get_count(); ++k) {
    blocks->push_back(doubles_list_.get_entry(k) & kBlockNumberMask);
  }
}

Status SimilarBlocks::search(ThemeBlocks& theme, const SourceFile& source, BlockIndex& index,
                             ProgramConfiguration& configuration, FileStatistics& statistics,
                             Messages& messages) {
  doubles_list_.clear();
  uint32_t n = theme.block_count;
  uint32_t limit = configuration.get_similar_limit();
  if (n == 0 || (limit != 0 && n >= limit)) return Status::OK();
  messages.set_field(kBlocksTotal, n);
  if (!configuration.get_check_similarity()) return Status::OK();

  uint32_t found = 0;
  if (n > 1) {
    try {
      Status status = candidates_.prepare(theme, source, index, configuration, messages, stopped());
      if (!status.ok()) return status;
    } catch (const std::bad_alloc&) {
      return Status::Error("Not enough memory for word list");
    }
    uint32_t tried = 0;
    for (uint32_t i = 0; i + 1 < n; ++i) {
      if (i % 10 == 0) messages.set_field(kCurrentBlock, i);
      if (stop_requested(configuration, messages)) return stopped();
      if (!theme.is_alive(i)) continue;
      uint32_t length_ratio = configuration.get_length_ratio();
      candidates_.start(theme, i, last_in_length(theme, i, length_ratio),
                        configuration.get_similarity_ratio());
      uint32_t left = theme.block_at(i);
      uint32_t j;
      while (candidates_.next(theme, &j)) {
        if (++tried % kStopCheckCandidates == 0 && stop_requested(configuration, messages)) {
          return stopped();
        }
        if (!lengths_similar(theme, i, j, length_ratio) || !candidates_.words_similar(j)) continue;
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
    }
  }

  if (found != 0) {
    messages.write_protocol("%lu similar blocks found", static_cast<unsigned long>(found));
    statistics.saved_as_similar += found;
    messages.set_signed_field(kSimilarFound, statistics.saved_as_similar);
  }
  return Status::OK();
}

}  // namespace karvel
