// Parsing of the karvel-batch command line.

#include "batch/batch_arguments.h"

namespace karvel {

namespace {

// S: one of Y y N n 1 0.
bool parse_switch(const std::string& value, int* out) {
  if (value == "Y" || value == "y" || value == "1") {
    *out = 1;
    return true;
  }
  if (value == "N" || value == "n" || value == "0") {
    *out = 0;
    return true;
  }
  return false;
}

// A decimal number of at most `max_digits` digits and at most `max`: N (0 to
// 99, as the dialog's two-digit fields allow), a block count (0 to
// 4294967295) or a thread count (0 to 1024).
bool parse_number(const std::string& value, size_t max_digits, uint32_t max, uint32_t* out) {
  if (value.empty() || value.size() > max_digits) return false;
  uint64_t n = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<uint64_t>(c - '0');
  }
  if (n > max) return false;
  *out = static_cast<uint32_t>(n);
  return true;
}

// auto, utf8 or cp866.
bool parse_encoding(const std::string& value, EncodingChoice* out) {
  if (value == "auto") {
    *out = EncodingChoice::kAuto;
  } else if (value == "utf8") {
    *out = EncodingChoice::kUtf8;
  } else if (value == "cp866") {
    *out = EncodingChoice::kCp866;
  } else {
    return false;
  }
  return true;
}

bool parse_word(const std::string& word, BatchArguments* a) {
  if (word == "debug") {
    a->debug = 1;
    return true;
  }
  size_t equals = word.find('=');
  if (equals == std::string::npos) return false;
  std::string name = word.substr(0, equals);
  std::string value = word.substr(equals + 1);
  if (name == "src")
    a->src = value;
  else if (name == "dst")
    a->dst = value;
  else if (name == "kwd")
    a->kwd = value;
  else if (name == "rst")
    a->rst = value;
  else if (name == "dbl")
    a->dbl = value;
  else if (name == "log")
    a->log = value;
  else if (name == "len_rat")
    return parse_number(value, 2, 99, &a->len_rat);
  else if (name == "sim_rat")
    return parse_number(value, 2, 99, &a->sim_rat);
  else if (name == "sim_max")
    return parse_number(value, 10, UINT32_MAX, &a->sim_max);
  else if (name == "sort")
    return parse_switch(value, &a->sort);
  else if (name == "similar")
    return parse_switch(value, &a->similar);
  else if (name == "rst_dst")
    return parse_switch(value, &a->rst_dst);
  else if (name == "debug")
    return parse_switch(value, &a->debug);
  else if (name == "enc")
    return parse_encoding(value, &a->enc);
  else if (name == "threads")
    return parse_number(value, 4, 1024, &a->threads);
  else if (name == "ans") {
    if (value.size() != 1) return false;
    a->ans = value[0];
  } else {
    return false;
  }
  return true;
}

}  // namespace

BatchCommand parse_batch_arguments(const std::vector<std::string>& words, BatchArguments* arguments,
                                   std::string* bad_word) {
  for (const std::string& word : words) {
    if (word == "--help") return BatchCommand::kHelp;
    if (word == "--version") return BatchCommand::kVersion;
  }
  for (const std::string& word : words) {
    if (!parse_word(word, arguments)) {
      *bad_word = word;
      return BatchCommand::kBadArgument;
    }
  }
  return BatchCommand::kRun;
}

}  // namespace karvel
