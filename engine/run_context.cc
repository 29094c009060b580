// The run driver: one processing run from opening its six files to its end.

#include "engine/run_context.h"

#include <unistd.h>

#include <algorithm>
#include <new>
#include <vector>

#include "engine/run_files.h"
#include "index/block_index.h"
#include "index/source_statistics.h"
#include "messages/run_report.h"
#include "records/program_configuration.h"
#include "records/run_clock.h"
#include "text/fold.h"
#include "text/keyword_matcher.h"
#include "text/keyword_table.h"
#include "text/utf8_check.h"
#include "themes/output_files.h"
#include "themes/theme_pool.h"
#include "themes/theme_workspace.h"

namespace karvel {

namespace {
unsigned long ul(uint64_t v) { return static_cast<unsigned long>(v); }
}  // namespace

// The files and records of one run. They live from the opening of the files
// to finish_run (or the silent clean-up), which releases and closes them.
struct RunContext::Run {
  RunFileNames names;
  RunFiles files;
  std::unique_ptr<KeywordTable> keywords;
  std::unique_ptr<BlockIndex> block_index;
  std::unique_ptr<ThemeBuckets> buckets;
  std::unique_ptr<ThemeWorkspace> workspace;
  bool failed = false;  // an error has been reported and the outputs restored
};

RunContext::RunContext() { messages_.set_stop_request(&stop_); }
RunContext::~RunContext() = default;

void RunContext::request_stop(int value) {
  if (value != 0) stop_.request();
}

int RunContext::run_processing(RunView* window, int debug, int check_similarity, int sort,
                               int rst_eq_dst, const std::string& src_file_name,
                               const std::string& dst_file_name, const std::string& dbl_file_name,
                               const std::string& rst_file_name, const std::string& kwd_file_name,
                               const std::string& log_file_name, uint32_t length_ratio,
                               uint32_t similarity_ratio) {
  messages_.set_window(window);
  messages_.set_text_encoding(TextEncoding::kCp866);
  build_fold_table();
  configuration_.reset();
  Run run;
  run.names = {src_file_name, dst_file_name, dbl_file_name,
               rst_file_name, kwd_file_name, log_file_name};
  stop_.begin_run();
  int result;
  try {
    result =
        perform_run(run, debug, check_similarity, sort, rst_eq_dst, length_ratio, similarity_ratio);
  } catch (const std::bad_alloc&) {
    result = report_error(run, Status::Error("Not enough memory for the run"));
  }
  stop_.end_run();
  return result;
}

int RunContext::perform_run(Run& run, int debug, int check_similarity, int sort, int rst_eq_dst,
                            uint32_t length_ratio, uint32_t similarity_ratio) {
  const RunFileNames& names = run.names;
  Status status = run.files.open_run_files(names);
  messages_.set_protocol(run.files.protocol());
  if (!status.ok()) {
    report_error(run, status);
    messages_.show_usage(nullptr);
    return -1;
  }

  SourceFile& source = run.files.source();
  // The automatic choice of the text encoding looks at every byte of it.
  Utf8Check source_check;
  status = Get_File_Statistics(source.fd, source.name, statistics_, messages_, 256 << 10,
                               encoding_choice_ == EncodingChoice::kAuto ? &source_check : nullptr);
  if (!status.ok()) return report_error(run, status);
  source.size = statistics_.file_bytes;
  source.map.map(source.fd, source.size);

  configuration_ = std::make_unique<ProgramConfiguration>();
  ProgramConfiguration* configuration = configuration_.get();
  configuration->set_default_answer_for_batch(default_answer_);
  configuration->set_similar_limit(similar_limit_.load());
  configuration->set_check_similarity(check_similarity);
  configuration->set_debug(debug);
  configuration->set_sort(sort);
  configuration->set_similarity_ratio(static_cast<int32_t>(similarity_ratio));
  configuration->set_length_ratio(static_cast<int32_t>(length_ratio));

  status = set_up_run(run, *configuration, source_check);
  if (!status.ok()) return report_error(run, status);

  if (configuration->get_similarity_ratio() == 0 || configuration->get_length_ratio() == 0) {
    messages_.show_usage(configuration);
    silent_clean_up(run);
    return -1;
  }
  print_parameters(names.src, names.dst, names.kwd, names.rst, names.log, *configuration,
                   messages_);
  if (configuration->get_stop() != 0 || messages_.stop_requested()) {
    silent_clean_up(run);
    return -1;
  }
  apply_default_answer(*configuration);
  messages_.show_message("Themes processing");

  unsigned threads = run_threads();
  ThemeWork work{&source,      run.block_index.get(), run.buckets.get(), configuration,
                 &statistics_, &run.files.doubles(),  &messages_};
  if (threads > 1 && theme_total_ > 1 && themes_may_run_at_once(*configuration)) {
    status = process_themes_at_once(work, theme_total_, std::min(threads, theme_total_),
                                    *run.workspace, [&run] { return run.files.check_outputs(); });
    if (!status.ok()) return report_error(run, status);
  } else {
    for (uint32_t t = 0; t < theme_total_; ++t) {
      status = messages_.stop_requested() ? Status::Stopped() : process_theme(run, work, t);
      if (!status.ok()) return report_error(run, status);
    }
  }

  OutputFile& sorted_output = rst_eq_dst != 0 ? run.files.rest() : run.files.destination();
  status = Save_Sorted_Blocks(*run.block_index, *run.buckets, source, sorted_output,
                              configuration->get_sort(), statistics_, messages_);
  if (status.ok()) status = run.files.check_outputs();
  if (status.ok()) {
    status = Save_Rest_Of_File(source, run.files.rest(), statistics_, *run.block_index, messages_);
  }
  // Completion is reported only once the outputs are on the disk.
  if (status.ok()) status = run.files.sync_outputs();
  if (!status.ok()) return report_error(run, status);
  return finish_run(run) ? 0 : -1;
}

Status RunContext::load_keywords(Run& run, Utf8Check& source_check) {
  Utf8Check keywords_check;
  if (encoding_choice_ == EncodingChoice::kAuto) {
    Status status =
        check_file_utf8(run.files.keywords_fd(), "keywords file " + run.names.kwd, &keywords_check);
    if (!status.ok()) return status;
  }
  TextEncoding encoding = choose_text_encoding(encoding_choice_, keywords_check, source_check);
  run.keywords = std::make_unique<KeywordTable>();
  run.keywords->set_text_encoding(encoding);
  run.files.source().encoding = encoding;
  messages_.set_text_encoding(encoding);
  bool reached_end = false;
  Status status =
      run.keywords->load_keywords(run.files.keywords_fd(), run.names.kwd, messages_, &reached_end);
  if (!status.ok()) return status;
  if (reached_end) run.files.close_keywords();
  if (encoding == TextEncoding::kUtf8) messages_.show_and_protocol("Text encoding: UTF-8");
  return Status::OK();
}

Status RunContext::set_up_run(Run& run, ProgramConfiguration& configuration,
                              Utf8Check& source_check) {
  Status status = load_keywords(run, source_check);
  if (!status.ok()) return status;
  theme_total_ = run.keywords->get_theme_count();
  if (configuration.get_debug() != 0) run.keywords->log_keywords_information(messages_);

  run.block_index = std::make_unique<BlockIndex>();
  status = run.block_index->create(statistics_.file_blocks, messages_);
  if (!status.ok()) return status;
  {
    KeywordMatcher matcher(*run.keywords);
    const SourceFile& source = run.files.source();
    status = find_offsets(source.fd, source.name, matcher, statistics_.file_blocks,
                          statistics_.max_block_lines, *run.block_index, messages_, run_threads(),
                          &source.map);
    if (!status.ok()) return status;
  }
  run.buckets = std::make_unique<ThemeBuckets>();
  run.buckets->build(*run.block_index);
  get_stats_about_offsets(*run.block_index, *run.buckets, statistics_, messages_);

  run.workspace = std::make_unique<ThemeWorkspace>();
  status = run.workspace->create(statistics_);
  if (!status.ok()) return status;

  messages_.set_field(kBlocksTotal, statistics_.file_blocks);
  messages_.set_field(kThemesTotal, theme_total_);
  return run.files.check_outputs();
}

Status RunContext::process_theme(Run& run, const ThemeWork& work, uint32_t t) {
  messages_.set_field(kCurrentTheme, t);
  std::vector<uint32_t> doubled;
  Status status = work_on_theme(work, *run.workspace, t, statistics_, messages_, &doubled);
  if (status.ok()) status = write_doubles(work, doubled);
  if (!status.ok()) return status;
  return run.files.check_outputs();
}

unsigned RunContext::run_threads() const {
  if (thread_count_ != 0) return thread_count_;
  long cores = sysconf(_SC_NPROCESSORS_ONLN);
  return cores > 0 ? static_cast<unsigned>(cores) : 1;
}

int RunContext::report_error(Run& run, const Status& status) {
  if (status.stopped()) {
    silent_clean_up(run);
    return -1;
  }
  if (status.plain()) {
    messages_.show_message("%s", status.text().c_str());
  } else {
    messages_.show_error(status.text());
  }
  restore_outputs(run);
  finish_run(run);
  return -1;
}

void RunContext::restore_outputs(Run& run) {
  run.failed = true;
  bool added = false;
  Status status = run.files.restore_outputs(&added);
  if (!status.ok()) {
    messages_.show_error(status.text());
  } else if (added) {
    messages_.show_and_protocol("Outputs restored to their size before the run");
  }
}

bool RunContext::finish_run(Run& run) {
  if (configuration_ && configuration_->get_debug() != 0) print_run_report(statistics_, messages_);
  release_records(run);
  bool outputs = close_outputs(run);
  messages_.write_protocol("The program worked %lu seconds", ul(elapsed_seconds()));
  return close_protocol(run) && outputs;
}

void RunContext::silent_clean_up(Run& run) {
  release_records(run);
  close_outputs(run);
  close_protocol(run);
}

void RunContext::release_records(Run& run) {
  if (run.workspace) run.workspace->release();
  run.workspace.reset();
  run.buckets.reset();
  if (run.block_index) run.block_index->release();
  run.block_index.reset();
  run.keywords.reset();
}

// A close that fails after an error of the run adds nothing to its report:
// the outputs are restored already.
bool RunContext::close_outputs(Run& run) {
  Status status = run.files.close_inputs_and_outputs();
  if (status.ok() || run.failed) return status.ok();
  messages_.show_error(status.text());
  restore_outputs(run);
  return false;
}

bool RunContext::close_protocol(Run& run) {
  Status status = run.files.close_protocol();
  messages_.set_protocol(nullptr);
  if (!status.ok() && !run.failed) {
    messages_.show_error(status.text());
    restore_outputs(run);
  }
  run.files.release();
  return status.ok();
}

}  // namespace karvel
