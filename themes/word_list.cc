// Word numbers, and the word lists and word sets of blocks.

#include "themes/word_list.h"

#include <algorithm>
#include <cstring>

#include "files/line_reader.h"
#include "files/source_file.h"
#include "index/block_index.h"
#include "text/text_rules.h"
#include "text/words.h"
#include "themes/block_reads.h"

namespace karvel {

namespace {

uint64_t hash_word(const char* text, size_t length) {
  // Eight bytes at a time, each step mixed by a multiplication.
  uint64_t h = length * 0x9E3779B97F4A7C15ull;
  uint64_t v;
  for (; length >= 8; text += 8, length -= 8) {
    memcpy(&v, text, 8);
    h = (h ^ v) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  }
  v = 0;
  memcpy(&v, text, length);
  h = (h ^ v) * 0xC4CEB9FE1A85EC53ull;
  return h ^ (h >> 29);
}

}  // namespace

void WordDictionary::clear() {
  text_.clear();
  word_start_.clear();
  word_size_.clear();
  word_hash_.clear();
  std::fill(slots_.begin(), slots_.end(), 0);
}

uint32_t WordDictionary::lookup(const char* text, size_t length, uint64_t hash) const {
  uint32_t mask = static_cast<uint32_t>(slots_.size() - 1);
  uint64_t tag = hash >> 32 << 32;
  for (uint32_t slot = static_cast<uint32_t>(hash) & mask;; slot = (slot + 1) & mask) {
    uint64_t entry = slots_[slot];
    if (entry == 0) return slot;
    if ((entry & ~uint64_t{0xFFFFFFFF}) != tag) continue;
    uint32_t number = static_cast<uint32_t>(entry) - 1;
    if (word_size_[number] == length &&
        memcmp(text_.data() + word_start_[number], text, length) == 0) {
      return slot;
    }
  }
}

void WordDictionary::grow() {
  size_t size = slots_.empty() ? 1024 : slots_.size() * 2;
  slots_.assign(size, 0);
  uint32_t mask = static_cast<uint32_t>(size - 1);
  for (uint32_t number = 0; number < word_start_.size(); ++number) {
    uint32_t slot = static_cast<uint32_t>(word_hash_[number]) & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = (word_hash_[number] >> 32 << 32) | (number + 1);
  }
}

uint32_t WordDictionary::intern(const char* text, size_t length) {
  // At most half of the slots are taken, so a lookup always ends.
  if (2 * (word_start_.size() + 1) > slots_.size()) grow();
  uint64_t hash = hash_word(text, length);
  uint32_t slot = lookup(text, length, hash);
  if (slots_[slot] != 0) return static_cast<uint32_t>(slots_[slot]) - 1;
  uint32_t number = size();
  word_start_.push_back(static_cast<uint32_t>(text_.size()));
  word_size_.push_back(static_cast<uint32_t>(length));
  word_hash_.push_back(hash);
  text_.append(text, length);
  slots_[slot] = (hash >> 32 << 32) | (number + 1);
  return number;
}

namespace {

// The words of one line read, as the word splitter hands them out: the
// runs of characters between delimiters of the read's slot string. In UTF-8
// text a delimiter may take several bytes, and the byte-order mark that
// begins a file is no part of a word.
class LineWords {
 public:
  LineWords(const LineRead& read, TextEncoding encoding, bool file_start)
      : length_(read.copy_to_slot(slot_)), utf8_(encoding == TextEncoding::kUtf8) {
    if (file_start) position_ = byte_order_mark_length(slot_, length_, encoding);
  }

  // The next word; false once the line is exhausted.
  bool next(const char** word, size_t* length) {
    if (utf8_) return next_utf8(word, length);
    const bool* delimiter = delimiters().is;
    while (slot_[position_] != '\0' && delimiter[static_cast<unsigned char>(slot_[position_])]) {
      ++position_;
    }
    if (slot_[position_] == '\0') return false;
    size_t start = position_;
    while (!delimiter[static_cast<unsigned char>(slot_[position_])]) ++position_;
    *word = slot_ + start;
    *length = position_ - start;
    return true;
  }

 private:
  // A byte inside a character never begins a delimiter, so the word ends
  // where the next delimiter character begins.
  bool next_utf8(const char** word, size_t* length) {
    const unsigned char* line = reinterpret_cast<const unsigned char*>(slot_);
    size_t skip;
    while (position_ < length_ &&
           (skip = delimiter_length(line, length_, position_, TextEncoding::kUtf8)) != 0) {
      position_ += skip;
    }
    if (position_ >= length_) return false;
    size_t start = position_;
    while (position_ < length_ &&
           delimiter_length(line, length_, position_, TextEncoding::kUtf8) == 0) {
      ++position_;
    }
    *word = slot_ + start;
    *length = position_ - start;
    return true;
  }

  struct Table {
    bool is[256];  // by unsigned byte value: is_delimiter, NUL included
    Table() {
      for (int c = 0; c < 256; ++c) is[c] = is_delimiter(c) != 0;
    }
  };
  static const Table& delimiters() {
    static const Table table;
    return table;
  }

  char slot_[kLineSlotSize];
  size_t length_;  // of the slot's string
  bool utf8_;
  size_t position_ = 0;
};

}  // namespace

Status read_block_words(const SourceFile& source, const BlockIndex& index, uint32_t b,
                        WordDictionary& dictionary, uint32_t stamp, std::vector<uint32_t>* seen,
                        std::vector<uint32_t>* list, std::vector<uint32_t>* set) {
  BlockReads reads;
  Status status = reads.open(source, index, b);
  if (!status.ok()) return status;
  size_t room = list->size() + kWordListCapacity;  // the list's end for this block
  LineRead read;
  for (bool file_start = index.offset(b) == 0; reads.next(&read); file_start = false) {
    LineWords line_words(read, source.encoding, file_start);
    const char* word;
    size_t length;
    while (line_words.next(&word, &length)) {
      if (length < kMinWordLength) continue;
      uint32_t number = dictionary.intern(word, length);
      if (list->size() < room) list->push_back(number);
      if (number >= seen->size()) seen->resize(number + 1, 0);
      if ((*seen)[number] == stamp) continue;
      (*seen)[number] = stamp;
      set->push_back(number);
    }
  }
  return reads.status();
}

}  // namespace karvel
