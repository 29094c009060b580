// The messages of work done away from the run's thread (a theme processed by
// a worker), kept in order and handed on later by the run's thread.
//
// A MessageRecord stands in for the run's window and protocol while the work
// runs: Messages set to record into it (Messages::set_record) keeps every
// output-list line and protocol line here, and the last text of each field.
// Messages::replay then gives the lines to the real window and protocol in
// the order they came, as if the work had run on the run's thread.
//
// Thread safety: one thread records; the fields may be read from another
// (take_fields), so that progress shows while the work goes on.

#ifndef KARVEL_MESSAGES_MESSAGE_RECORD_H_
#define KARVEL_MESSAGES_MESSAGE_RECORD_H_

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "messages/run_view.h"

namespace karvel {

class MessageRecord : public RunView {
 public:
  enum class Kind { kLine, kText, kProtocol };
  struct Entry {
    Kind kind;
    TextEncoding encoding;  // of a kText line
    std::string text;       // a protocol line with its line feed
  };

  void append_output_line(const std::string& line) override;
  void append_text_line(const std::string& line, TextEncoding encoding) override;
  void set_field(int control, const std::string& text) override;
  // No question is asked of work that is recorded.
  int read_answer_key(const char* /*accepted*/) override { return -1; }

  void add_protocol_line(const char* bytes, size_t length);

  const std::vector<Entry>& entries() const { return entries_; }

  // The fields set since the last call, each with its latest text, in the
  // order they were first set.
  std::vector<std::pair<int, std::string>> take_fields();

 private:
  std::vector<Entry> entries_;
  std::mutex fields_mutex_;
  std::vector<std::pair<int, std::string>> fields_;  // guarded by fields_mutex_
};

}  // namespace karvel

#endif  // KARVEL_MESSAGES_MESSAGE_RECORD_H_
