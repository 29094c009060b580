// The outcome of one stage of a processing run.
//
// A stage that cannot go on returns a Status that is not ok(); the run driver
// reports it (an "Error: " line in the output list and the protocol) and
// finishes the run. Stages never report their own fatal errors, so nothing of
// a run executes after it has been finished.

#ifndef KARVEL_FILES_STATUS_H_
#define KARVEL_FILES_STATUS_H_

#include <string>
#include <utility>

namespace karvel {

class Status {
 public:
  // A stage that went well.
  Status() = default;
  static Status OK() { return Status(); }

  // A failure that the driver reports behind "Error: ".
  static Status Error(std::string text) { return Status(Kind::kError, std::move(text)); }

  // A failure whose text is shown as it stands, in the output list only.
  static Status Plain(std::string text) { return Status(Kind::kPlain, std::move(text)); }

  // The run was asked to stop: it ends without a word, keeping what it has
  // written.
  static Status Stopped() { return Status(Kind::kStopped, std::string()); }

  bool ok() const { return kind_ == Kind::kOk; }
  bool plain() const { return kind_ == Kind::kPlain; }
  bool stopped() const { return kind_ == Kind::kStopped; }
  const std::string& text() const { return text_; }

 private:
  enum class Kind { kOk, kError, kPlain, kStopped };
  Status(Kind kind, std::string text) : kind_(kind), text_(std::move(text)) {}

  Kind kind_ = Kind::kOk;
  std::string text_;
};

// Builds the text of an error with printf-style formatting.
std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace karvel

#endif  // KARVEL_FILES_STATUS_H_
