// Several themes at once: the per-theme work of a run (load, sort, equal
// blocks, similar-blocks search) done on worker threads, one theme to a
// worker, while the calling thread hands on each theme's messages, counters
// and doubles in theme order.
//
// Only for runs in which no question can be asked: the similar-blocks search
// off, or its answers automatic (group mode or "always yes"). The themes own
// disjoint sets of blocks, so the workers never touch the same entry of the
// block index. The output list, the protocol, the doubles file and the
// counters come out as if the themes had been processed one after the other;
// only the progress fields may show a theme's work while an earlier one is
// still being handed on.

#ifndef KARVEL_THEMES_THEME_POOL_H_
#define KARVEL_THEMES_THEME_POOL_H_

#include <cstdint>
#include <functional>
#include <vector>

#include "files/status.h"

namespace karvel {

class BlockIndex;
class Messages;
class OutputFile;
class ProgramConfiguration;
class ThemeBuckets;
class ThemeWorkspace;
struct FileStatistics;
struct SourceFile;

// Whether the themes of a run with this configuration may be processed at
// once: true when no similarity question can come.
bool themes_may_run_at_once(const ProgramConfiguration& configuration);

// The run's inputs and outputs of the per-theme work.
struct ThemeWork {
  const SourceFile* source;
  BlockIndex* index;
  const ThemeBuckets* buckets;
  ProgramConfiguration* configuration;
  FileStatistics* statistics;
  OutputFile* doubles;
  Messages* messages;
};

// The work on theme t that needs no other theme: load, sort, equal blocks
// and, when the search is on, the similar-blocks search, whose doubles list
// is put in *doubled. Messages and counters go to `messages` and `counts`.
Status work_on_theme(const ThemeWork& work, ThemeWorkspace& workspace, uint32_t t,
                     FileStatistics& counts, Messages& messages, std::vector<uint32_t>* doubled);

// Copies the blocks of a theme's doubles list to the doubles file.
Status write_doubles(const ThemeWork& work, const std::vector<uint32_t>& doubled);

// Processes themes 0 .. theme_count - 1 on `threads` workers. The first
// worker uses `workspace` (made for the largest theme); the others make
// their own as their themes need. After each theme has been handed on,
// `after_theme` is called (the run's check of its outputs); a failure of a
// theme or of after_theme ends the work with that status, after the messages
// that theme gave before it failed. A stop request ends it with
// Status::Stopped() within a fraction of a second.
Status process_themes_at_once(const ThemeWork& work, uint32_t theme_count, unsigned threads,
                              ThemeWorkspace& workspace,
                              const std::function<Status()>& after_theme);

}  // namespace karvel

#endif  // KARVEL_THEMES_THEME_POOL_H_
