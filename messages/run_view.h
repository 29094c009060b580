// The window of a run: the only way the processing run reaches the outside.
//
// The dialog, the batch front end and the tests each implement RunView. The
// run appends lines to the output list, sets the numbered progress fields and,
// when the similarity question is asked, reads one answer key. Nothing else of
// a front end is known to the engine.
//
// Thread safety: the run calls a view from the thread that performs the run
// only; a view that shows its lines on another thread must carry them there
// itself, keeping their order.

#ifndef KARVEL_MESSAGES_RUN_VIEW_H_
#define KARVEL_MESSAGES_RUN_VIEW_H_

#include <string>

#include "files/text_encoding.h"

namespace karvel {

// Control numbers of the fields that a run writes.
enum FieldId : int {
  kOutputList = 1025,    // the output list itself (lines, not a field)
  kCurrentTheme = 1034,  // "Theme:"
  kThemesTotal = 1037,   // "of" after "Theme:"
  kCurrentBlock = 1039,  // "Block:"
  kBlocksTotal = 1040,   // "of" after "Block:"
  kSecondsField = 1045,  // seconds since the dialog opened (written by the dialog's timer)
  kSimilarFound = 1050,  // similar blocks found so far in the run
};

class RunView {
 public:
  virtual ~RunView() = default;

  // Appends one line to the end of the output list and shows it as the newest.
  // The line holds at most 79 characters; it may end with a line feed when the
  // text shown was a line of the source.
  virtual void append_output_line(const std::string& line) = 0;

  // Appends a line that quotes text of the user's files (a line of a block),
  // in the run's text encoding, which a view decodes to show it. By default
  // the line goes on as any other.
  virtual void append_text_line(const std::string& line, TextEncoding /*encoding*/) {
    append_output_line(line);
  }

  // Sets the text of one numbered field (one of FieldId but kOutputList).
  virtual void set_field(int control, const std::string& text) = 0;

  // Reads keys until one of the characters of `accepted` comes and returns it.
  // Returns -1 when no further key can come (end of input, no keyboard); the
  // caller then takes the answer "no". Must never wait forever on a source
  // that cannot deliver.
  virtual int read_answer_key(const char* accepted) = 0;

  // Whether the user has asked the run to stop (the dialog's Stop command, a
  // signal to karvel-batch). The run looks at it between its steps, often
  // enough to stop within a second.
  virtual bool stop_requested() { return false; }
};

}  // namespace karvel

#endif  // KARVEL_MESSAGES_RUN_VIEW_H_
