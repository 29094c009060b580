// Keeping the messages of work done on another thread.

#include "messages/message_record.h"

namespace karvel {

void MessageRecord::append_output_line(const std::string& line) {
  entries_.push_back({Kind::kLine, TextEncoding::kCp866, line});
}

void MessageRecord::append_text_line(const std::string& line, TextEncoding encoding) {
  entries_.push_back({Kind::kText, encoding, line});
}

void MessageRecord::add_protocol_line(const char* bytes, size_t length) {
  entries_.push_back({Kind::kProtocol, TextEncoding::kCp866, std::string(bytes, length)});
}

void MessageRecord::set_field(int control, const std::string& text) {
  std::lock_guard<std::mutex> lock(fields_mutex_);
  for (auto& field : fields_) {
    if (field.first == control) {
      field.second = text;
      return;
    }
  }
  fields_.emplace_back(control, text);
}

std::vector<std::pair<int, std::string>> MessageRecord::take_fields() {
  std::vector<std::pair<int, std::string>> taken;
  std::lock_guard<std::mutex> lock(fields_mutex_);
  taken.swap(fields_);
  return taken;
}

}  // namespace karvel
