// The switches and ratios of one processing run.
//
// A new record is made for every run after its statistics pass; the dialog's
// values are stored into it, the similarity answers switch modes on (or the
// search off) during the run, and the dialog's Stop command writes `stop` from
// the GUI thread while the worker may be running. `stop` is therefore atomic;
// every other field is touched by the thread of the run only.

#ifndef KARVEL_RECORDS_PROGRAM_CONFIGURATION_H_
#define KARVEL_RECORDS_PROGRAM_CONFIGURATION_H_

#include <atomic>
#include <cstdint>

namespace karvel {

// Themes of this many blocks or more are not searched for similar blocks,
// unless the run is given another limit.
inline constexpr uint32_t kDefaultSimilarLimit = 500;

class ProgramConfiguration {
 public:
  ProgramConfiguration() = default;

  int32_t get_check_similarity() const { return check_similarity_; }
  int32_t get_always_yes() const { return always_yes_; }
  int32_t get_group_mode() const { return group_mode_; }
  int32_t get_stop() const { return stop_.load(std::memory_order_relaxed); }
  int32_t get_sort() const { return sort_; }
  int32_t get_debug() const { return debug_; }
  uint32_t get_length_ratio() const { return length_ratio_; }
  uint32_t get_similarity_ratio() const { return similarity_ratio_; }
  char get_default_answer() const { return default_answer_; }
  uint32_t get_similar_limit() const { return similar_limit_; }

  // Setters store the value unchanged: no range check, no clamping.
  void set_check_similarity(int32_t v) { check_similarity_ = v; }
  void set_always_yes(int32_t v) { always_yes_ = v; }
  void set_group_mode(int32_t v) { group_mode_ = v; }
  void set_stop(int32_t v) { stop_.store(v, std::memory_order_relaxed); }
  void set_sort(int32_t v) { sort_ = v; }
  void set_debug(int32_t v) { debug_ = v; }
  void set_length_ratio(int32_t v) { length_ratio_ = static_cast<uint32_t>(v); }
  void set_similarity_ratio(int32_t v) { similarity_ratio_ = static_cast<uint32_t>(v); }

  // The default answer is 'g' in every dialog run. Only the batch front end's
  // `ans=` changes it, before the run starts.
  void set_default_answer_for_batch(char c) { default_answer_ = c; }

  // Themes of this many blocks or more are not searched for similar blocks;
  // 0 searches every theme.
  void set_similar_limit(uint32_t v) { similar_limit_ = v; }

 private:
  int32_t check_similarity_ = 1;    // search similar blocks in the themes still to come
  int32_t always_yes_ = 0;          // answer "yes" (delete the second block) without asking
  int32_t group_mode_ = 0;          // group every similar pair without asking
  std::atomic<int32_t> stop_{0};    // stop request, written from the GUI thread
  int32_t sort_ = 1;                // write the sorted output of themed blocks
  int32_t debug_ = 0;               // keywords listing and final report
  uint32_t length_ratio_ = 60;      // percent: acceptable ratio of block lengths
  uint32_t similarity_ratio_ = 50;  // percent: acceptable share of found words
  char default_answer_ = 'g';       // default answer to the similarity question
  uint32_t similar_limit_ = kDefaultSimilarLimit;  // 0: every theme is searched
};

// Turns the default answer into switch settings before the themes are
// processed: A/a always yes, G/g group mode, Q/q no similarity search. It only
// ever switches a mode on, or the search off.
void apply_default_answer(ProgramConfiguration& configuration);

}  // namespace karvel

#endif  // KARVEL_RECORDS_PROGRAM_CONFIGURATION_H_
