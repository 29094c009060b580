// The parameter lines at the start of a run and the final report at its end.

#ifndef KARVEL_MESSAGES_RUN_REPORT_H_
#define KARVEL_MESSAGES_RUN_REPORT_H_

#include <string>

namespace karvel {

class Messages;
class ProgramConfiguration;
struct FileStatistics;

// The ten "Set parameters:" lines, to the output list and the protocol.
void print_parameters(const std::string& src_file_name, const std::string& dst_file_name,
                      const std::string& kwd_file_name, const std::string& rst_file_name,
                      const std::string& log_file_name, const ProgramConfiguration& configuration,
                      Messages& messages);

// The eleven lines of the final report, to the output list and the protocol.
void print_run_report(const FileStatistics& statistics, Messages& messages);

}  // namespace karvel

#endif  // KARVEL_MESSAGES_RUN_REPORT_H_
