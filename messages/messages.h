// The output list and the protocol: every message of a run goes through here.
//
// show_message appends a line (at most 79 characters) to the window's output
// list; write_protocol writes a line (at most 99 characters with its line
// feed) to the run's protocol file; show_and_protocol does both. Longer texts
// are cut, never overrun. Errors that end a run are reported by the run
// driver, which owns the protocol file and the window.

#ifndef KARVEL_MESSAGES_MESSAGES_H_
#define KARVEL_MESSAGES_MESSAGES_H_

#include <cstdint>
#include <string>

#include "files/text_encoding.h"
#include "messages/run_view.h"

namespace karvel {

class MessageRecord;
class OutputFile;
class ProgramConfiguration;
class StopRequest;

inline constexpr size_t kOutputLineSize = 80;     // output-list line: 79 characters
inline constexpr size_t kProtocolLineSize = 100;  // protocol line: 99 characters

class Messages {
 public:
  // The window of the current run; absent before the first run.
  void set_window(RunView* window) { window_ = window; }
  RunView* window() const { return window_; }

  // The application's main window, used while no run has set its window.
  void set_main_window(RunView* window) { main_window_ = window; }

  // The protocol file of the current run; absent when none is open.
  void set_protocol(OutputFile* protocol) { protocol_ = protocol; }
  OutputFile* protocol() const { return protocol_; }

  // Sends every line, protocol line and field to `record` instead of a
  // window and a protocol (work done on a worker thread); null ends that.
  void set_record(MessageRecord* record);

  // Gives the lines and protocol lines of `record` to the window and the
  // protocol, in their order, as if they came now. Its fields are not given.
  void replay(const MessageRecord& record);

  // The text encoding of the run: in UTF-8 a line too long for its room is
  // cut on a character boundary. Code page 866 unless set.
  void set_text_encoding(TextEncoding encoding) { encoding_ = encoding; }
  TextEncoding text_encoding() const { return encoding_; }

  // Appends a line to the output list. Returns the number of characters
  // formatted, or 1 when there is no window.
  int show_message(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // Appends a line of text from the user's files (at most 79 characters) to
  // the output list, for the view to decode in the run's text encoding.
  void show_text(const char* text);

  // Writes a line to the protocol, adding a line feed when the text has none.
  // Returns the number of characters formatted, or 0 with no protocol open.
  int write_protocol(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // Shows the text and writes it to the protocol. Returns 0.
  int show_and_protocol(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // The "Error: " line of a failure, to the output list and the protocol.
  void show_error(const std::string& text);

  // The sixteen lines of the usage text; sets `stop` of the configuration.
  void show_usage(ProgramConfiguration* configuration);

  // Sets a numbered field of the run's window: "%lu", or signed decimal.
  void set_field(int control, uint64_t value);
  void set_signed_field(int control, int64_t value);

  // Reads one answer key through the run's window; -1 when none can come.
  int read_answer_key(const char* accepted);

  // The stop request of the run in progress, besides the window's own.
  void set_stop_request(const StopRequest* stop) { stop_ = stop; }

  // Whether the run has been asked to stop. Every stage looks at it between
  // its steps and then ends with Status::Stopped().
  bool stop_requested() const;

 private:
  RunView* target() const { return window_ != nullptr ? window_ : main_window_; }

  RunView* window_ = nullptr;
  RunView* main_window_ = nullptr;
  OutputFile* protocol_ = nullptr;
  MessageRecord* record_ = nullptr;
  TextEncoding encoding_ = TextEncoding::kCp866;
  const StopRequest* stop_ = nullptr;
};

}  // namespace karvel

#endif  // KARVEL_MESSAGES_MESSAGES_H_
