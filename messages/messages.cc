// Formatting and routing of the output-list and protocol lines.

#include "messages/messages.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "files/output_file.h"
#include "files/status.h"
#include "messages/message_record.h"
#include "records/program_configuration.h"
#include "records/stop_request.h"

namespace karvel {

std::string format_text(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  return text;
}

namespace {

// The length at most `limit` of a cut of text[0, length) that leaves no
// UTF-8 character in part: a lead byte whose continuation bytes run on past
// the limit is left out with them.
size_t character_cut(const char* text, size_t length, size_t limit) {
  if (length <= limit) return length;
  for (size_t s = limit; s > 0 && limit - s < 4;) {
    unsigned char b = static_cast<unsigned char>(text[--s]);
    if ((b & 0xC0) == 0x80) continue;
    size_t bytes = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (s + bytes <= limit) return limit;
    for (size_t k = s + 1; k < s + bytes; ++k) {
      if (k >= length || (static_cast<unsigned char>(text[k]) & 0xC0) != 0x80) return limit;
    }
    return s;
  }
  return limit;
}

// Formats into a buffer of `size` bytes (at most kProtocolLineSize); a
// longer text keeps its first size - 1 characters, or in UTF-8 text as many
// as end on a character boundary.
int format_line(char* buffer, size_t size, TextEncoding encoding, const char* format,
                va_list args) {
  char wide[kProtocolLineSize + 4];
  int n = vsnprintf(wide, size + 4, format, args);
  if (n < 0) {
    buffer[0] = '\0';
    return 0;
  }
  size_t length = strlen(wide);
  size_t kept = encoding == TextEncoding::kUtf8 ? character_cut(wide, length, size - 1)
                                                : std::min(length, size - 1);
  memcpy(buffer, wide, kept);
  buffer[kept] = '\0';
  return n < static_cast<int>(size) ? n : static_cast<int>(size) - 1;
}

}  // namespace

int Messages::show_message(const char* format, ...) {
  RunView* view = target();
  if (view == nullptr) return 1;
  char line[kOutputLineSize];
  va_list args;
  va_start(args, format);
  int n = format_line(line, sizeof line, encoding_, format, args);
  va_end(args);
  view->append_output_line(line);
  return n;
}

void Messages::show_text(const char* text) {
  RunView* view = target();
  if (view == nullptr) return;
  size_t length = strlen(text);
  size_t kept = encoding_ == TextEncoding::kUtf8 ? character_cut(text, length, kOutputLineSize - 1)
                                                 : std::min(length, kOutputLineSize - 1);
  view->append_text_line(std::string(text, kept), encoding_);
}

int Messages::write_protocol(const char* format, ...) {
  if (protocol_ == nullptr && record_ == nullptr) return 0;
  char line[kProtocolLineSize];
  va_list args;
  va_start(args, format);
  int n = format_line(line, sizeof line, encoding_, format, args);
  va_end(args);
  size_t length = strlen(line);
  if (strchr(line, '\n') == nullptr) {
    // Room for the added line feed: a text without one keeps 98 characters.
    if (length > kProtocolLineSize - 2) {
      length = encoding_ == TextEncoding::kUtf8 ? character_cut(line, length, kProtocolLineSize - 2)
                                                : kProtocolLineSize - 2;
    }
    line[length++] = '\n';
  }
  if (record_ != nullptr) {
    record_->add_protocol_line(line, length);
    return n;
  }
  // Written through, so that a run ended from outside leaves its protocol
  // up to that moment.
  protocol_->write(line, length);
  protocol_->flush();
  return n;
}

void Messages::set_record(MessageRecord* record) {
  record_ = record;
  window_ = record;
}

void Messages::replay(const MessageRecord& record) {
  RunView* view = target();
  for (const MessageRecord::Entry& entry : record.entries()) {
    switch (entry.kind) {
      case MessageRecord::Kind::kLine:
        if (view != nullptr) view->append_output_line(entry.text);
        break;
      case MessageRecord::Kind::kText:
        if (view != nullptr) view->append_text_line(entry.text, entry.encoding);
        break;
      case MessageRecord::Kind::kProtocol:
        if (protocol_ != nullptr) {
          protocol_->write(entry.text);
          protocol_->flush();
        }
        break;
    }
  }
}

int Messages::show_and_protocol(const char* format, ...) {
  char text[kProtocolLineSize];
  va_list args;
  va_start(args, format);
  format_line(text, sizeof text, encoding_, format, args);
  va_end(args);
  show_message("%s", text);
  write_protocol("%s\n", text);
  return 0;
}

void Messages::show_error(const std::string& text) {
  char cut[kProtocolLineSize];
  size_t length = strlen(text.c_str());
  size_t kept = encoding_ == TextEncoding::kUtf8
                    ? character_cut(text.c_str(), length, sizeof cut - 1)
                    : std::min(length, sizeof cut - 1);
  memcpy(cut, text.c_str(), kept);
  cut[kept] = '\0';
  show_message("Error: %s", cut);
  write_protocol("Error: %s\n", cut);
}

void Messages::show_usage(ProgramConfiguration* configuration) {
  show_message("Karvel - the program for sorting big files by themes");
  show_message("          and searching for similar blocks. Last edition: %s, ver. %s",
               "Oct 12 1999", "5.0");
  show_message("The parameters to be set: ");
  show_message("   src=<file_name> dst=<file_name> kwd=<file_name>");
  show_message("   rst=<file_name> [debug] len_rat=<percents>");
  show_message("   sim_rat=<percents> ans=<default_answer> sort=[YyNn10]");
  show_message(" src - file name with source data         (ReadOnly)");
  show_message(" kwd - file name with keywords            (ReadOnly)");
  show_message(" dst - name of new file with result data  (WriteOnly)");
  show_message(" rst - name of new file with rest of data (WriteOnly)");
  show_message(" log - name of protocol file (WriteOnly)");
  show_message(" len_rat - acceptable ration (in percents) of block lengths (default=70%%)");
  show_message(" sim_rat - acceptable percent of found words (default=70%%)");
  show_message(" ans - default answer on the question %s", "\"Are two blocks similar?\"");
  show_message("      Possible values: 'y' (yes), 'n' (no), 'a' (always yes), 'q' (always no)");
  show_message("      only 'a', 'g' and 'q' have affect for input from command line");
  if (configuration != nullptr) configuration->set_stop(1);
}

void Messages::set_field(int control, uint64_t value) {
  if (window_ == nullptr) return;
  char text[24];
  snprintf(text, sizeof text, "%" PRIu64, value);
  window_->set_field(control, text);
}

void Messages::set_signed_field(int control, int64_t value) {
  if (window_ == nullptr) return;
  char text[24];
  snprintf(text, sizeof text, "%" PRId64, value);
  window_->set_field(control, text);
}

bool Messages::stop_requested() const {
  return (stop_ != nullptr && stop_->requested()) ||
         (window_ != nullptr && window_->stop_requested());
}

int Messages::read_answer_key(const char* accepted) {
  if (window_ == nullptr) return -1;
  return window_->read_answer_key(accepted);
}

}  // namespace karvel
