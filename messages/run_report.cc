// The parameter lines at the start of a run and the final report at its end.

#include "messages/run_report.h"

#include "messages/messages.h"
#include "records/file_statistics.h"
#include "records/program_configuration.h"

namespace karvel {

namespace {

unsigned long ul(uint64_t v) { return static_cast<unsigned long>(v); }

}  // namespace

void print_parameters(const std::string& src_file_name, const std::string& dst_file_name,
                      const std::string& kwd_file_name, const std::string& rst_file_name,
                      const std::string& log_file_name, const ProgramConfiguration& configuration,
                      Messages& messages) {
  messages.show_and_protocol("Set parameters:");
  messages.show_and_protocol("src_file_name='%s', ", src_file_name.c_str());
  messages.show_and_protocol("dst_file_name='%s'", dst_file_name.c_str());
  messages.show_and_protocol("kwd_file_name='%s', ", kwd_file_name.c_str());
  messages.show_and_protocol("rst_file_name='%s'", rst_file_name.c_str());
  messages.show_and_protocol("log_file_name='%s'", log_file_name.c_str());
  messages.show_and_protocol("length_ratio=%lu, ", ul(configuration.get_length_ratio()));
  messages.show_and_protocol("similarity_ratio=%lu, ", ul(configuration.get_similarity_ratio()));
  messages.show_and_protocol("default_answer=%c ", configuration.get_default_answer());
  messages.show_and_protocol("sort=%d", configuration.get_sort());
  if (configuration.get_similar_limit() != kDefaultSimilarLimit) {
    messages.show_and_protocol("similar_limit=%lu", ul(configuration.get_similar_limit()));
  }
}

void print_run_report(const FileStatistics& s, Messages& messages) {
  messages.show_and_protocol("=== File info: ===");
  messages.show_and_protocol("%lu blocks, %lu lines, %lu bytes,", ul(s.file_blocks),
                             ul(s.file_lines), ul(s.file_bytes));
  messages.show_and_protocol("%lu blocks processed, %lu equal blocks found", ul(s.file_blocks),
                             ul(s.equal_blocks));
  messages.show_and_protocol("%5lu blocks saved as similar", ul(s.saved_as_similar));
  messages.show_and_protocol("%5lu blocks saved as found_in_themes",
                             ul(s.saved_as_found_in_themes));
  messages.show_and_protocol("%5lu blocks saved as no_themes", ul(s.saved_as_no_themes));
  messages.show_and_protocol("%5lu blocks no_themes in source", ul(s.no_themes_in_source));
  messages.show_and_protocol("=== Themes info: ===");
  messages.show_and_protocol("%lu blocks, %lu lines, %lu bytes", ul(s.theme_max_blocks),
                             ul(s.theme_max_lines), ul(s.theme_max_bytes));
  messages.show_and_protocol("max_len_line=%lu, max_block=%lu lines, %lu bytes", ul(s.max_len_line),
                             ul(s.max_block_lines), ul(s.max_block_bytes));
  messages.show_and_protocol("Summary size of deleted equal blocks=%lu", ul(s.deleted_equal_bytes));
}

}  // namespace karvel
