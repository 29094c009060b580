// The statistics pass over the source, the parameter lines, the final report
// and the program clock.

#include "engine/file_statistics.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "engine/program_configuration.h"
#include "messages/messages.h"
#include "text/line_reader.h"

namespace karvel {

namespace {

// Block numbers carry the written flag in bit 31, so a source can have at most
// this many blocks.
constexpr uint32_t kMaxBlocks = 0x7FFFFFFF;

std::atomic<time_t> start_time{0};

unsigned long ul(uint64_t v) { return static_cast<unsigned long>(v); }

}  // namespace

Status Get_File_Statistics(int fd, const std::string& file_name, FileStatistics& statistics,
                           Messages& messages) {
  messages.show_message("Get_File_Statistics...");
  LineReader reader(fd, 0);
  statistics = FileStatistics();
  uint32_t running = 0;  // line reads of the block being counted
  LineRead read;
  while (reader.next(&read)) {
    if (++statistics.file_lines % 80000 == 0) {
      messages.show_message("%lu lines", ul(statistics.file_lines));
    }
    ++running;
    if (read.is_empty()) {
      if (running > statistics.max_block_lines) statistics.max_block_lines = running;
      if (statistics.file_blocks == kMaxBlocks) {
        return Status::Error(format_text("Source file %s has too many blocks", file_name.c_str()));
      }
      ++statistics.file_blocks;
      running = 0;
    }
    uint32_t length = static_cast<uint32_t>(read.text_length());
    if (length > statistics.max_len_line) statistics.max_len_line = length;
  }
  if (reader.error() != 0) {
    return Status::Error(
        format_text("Can't read source file %s: %s", file_name.c_str(), strerror(reader.error())));
  }
  statistics.file_bytes = reader.position();
  messages.show_message("Done");
  return Status::OK();
}

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

void mark_start_time() { start_time.store(time(nullptr)); }

uint32_t elapsed_seconds() {
  double seconds = difftime(time(nullptr), start_time.load());
  return seconds <= 0 ? 0 : static_cast<uint32_t>(seconds);
}

}  // namespace karvel
