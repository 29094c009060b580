// Word numbers, and the word lists and word sets of blocks.

#include "themes/word_list.h"

#include <algorithm>
#include <cstring>

#include "files/line_reader.h"
#include "files/source_file.h"
#include "index/block_index.h"
#include "text/line_words.h"
#include "text/text_rules.h"
#include "themes/block_reads.h"

namespace karvel {

namespace {

uint64_t load8(const char* text) {
  uint64_t v;
  memcpy(&v, text, 8);
  return v;
}

// The first 8 bytes of a word, zero-padded; 8 bytes from its start must be
// readable. A word holds no NUL, so the head of a word of at most 8 bytes
// tells it from every other word.
uint64_t word_head(const char* text, size_t length) {
  uint64_t bytes = load8(text);
  return length >= 8 ? bytes : bytes & ((uint64_t{1} << (8 * length)) - 1);
}

uint64_t hash_word(const char* text, size_t length, uint64_t head) {
  // Eight bytes at a time, each step mixed by a multiplication.
  uint64_t h = (head ^ length) * 0x9E3779B97F4A7C15ull;
  if (length > 8) {
    for (size_t k = 8; k + 8 < length; k += 8)
      h = (h ^ (h >> 31) ^ load8(text + k)) * 0xFF51AFD7ED558CCDull;
    h = (h ^ (h >> 31) ^ load8(text + length - 8)) * 0xC4CEB9FE1A85EC53ull;
  }
  h = (h ^ (h >> 29)) * 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 32);
}

// What a slot holds of the hash, with the word's length (up to 255) in the
// low byte.
uint32_t slot_tag(uint64_t hash, size_t length) {
  return (static_cast<uint32_t>(hash >> 32) & ~0xFFu) |
         static_cast<uint32_t>(std::min<size_t>(length, 255));
}

}  // namespace

uint64_t WordDictionary::look_ahead(const char* text, size_t length) const {
  uint64_t hash = hash_word(text, length, word_head(text, length));
  if (!slots_.empty()) __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
  return hash;
}

void WordDictionary::clear() {
  // The table is made again for as many words as the last use held, at most
  // a quarter taken: a small theme after a large one does not pay for
  // clearing the large table, nor a run of like themes for growing it.
  size_t slots = 1024;
  while (slots < 4 * words_.size()) slots *= 2;
  slots_.assign(slots, Slot());
  text_.clear();
  words_.clear();
  hashes_.clear();
}

inline uint32_t WordDictionary::lookup(const char* text, size_t length, uint64_t hash,
                                       uint64_t head) const {
  uint32_t mask = static_cast<uint32_t>(slots_.size() - 1);
  uint32_t tag = slot_tag(hash, length);
  for (uint32_t slot = static_cast<uint32_t>(hash) & mask;; slot = (slot + 1) & mask) {
    const Slot& entry = slots_[slot];
    if (entry.number == 0) return slot;
    if (entry.tag != tag || entry.head != head) continue;
    if (length <= 8) return slot;
    const Word& word = words_[entry.number - 1];
    if (word.size != length) continue;
    const char* kept = text_.data() + word.start;
    if (length <= 16 ? load8(kept + length - 8) == load8(text + length - 8)
                     : memcmp(kept + 8, text + 8, length - 8) == 0) {
      return slot;
    }
  }
}

void WordDictionary::grow() {
  std::vector<Slot> old(slots_.empty() ? 1024 : slots_.size() * 2);
  old.swap(slots_);
  uint32_t mask = static_cast<uint32_t>(slots_.size() - 1);
  for (const Slot& entry : old) {
    if (entry.number == 0) continue;
    uint32_t slot = static_cast<uint32_t>(hashes_[entry.number - 1]) & mask;
    while (slots_[slot].number != 0) slot = (slot + 1) & mask;
    slots_[slot] = entry;
  }
}

uint32_t WordDictionary::intern(const char* text, size_t length) {
  char head[8] = {};  // a short word with the 8 bytes that the lookup reads
  if (length < 8) text = static_cast<const char*>(memcpy(head, text, length));
  return intern(text, length, look_ahead(text, length));
}

uint32_t WordDictionary::intern(const char* text, size_t length, uint64_t hash) {
  // At most half of the slots are taken, so a lookup always ends.
  if (2 * (words_.size() + 1) > slots_.size()) grow();
  uint64_t head = word_head(text, length);
  uint32_t slot = lookup(text, length, hash, head);
  if (slots_[slot].number != 0) return slots_[slot].number - 1;
  uint32_t number = size();
  words_.push_back({static_cast<uint32_t>(text_.size()), static_cast<uint32_t>(length)});
  hashes_.push_back(hash);
  text_.append(text, length);
  slots_[slot] = {head, slot_tag(hash, length), number + 1};
  return number;
}

Status BlockWordReader::read(const SourceFile& source, const BlockIndex& index, uint32_t b,
                             WordDictionary& dictionary, uint32_t stamp,
                             std::vector<uint32_t>* list, std::vector<uint32_t>* set) {
  Status status = reads_.open(source, index, b);
  if (!status.ok()) return status;
  size_t room = list->size() + kWordListCapacity;  // the list's end for this block
  LineRead read;
  for (bool file_start = index.offset(b) == 0; reads_.next(&read); file_start = false) {
    size_t skip =
        file_start ? byte_order_mark_length(read.bytes, read.text_length(), source.encoding) : 0;
    // The words are found, and looked up, with some bytes after them read
    // too: a streamed block's read is copied to have them.
    char copy[kLineWordsWindow];
    if (!reads_.padded()) {
      memset(copy, 0, sizeof copy);
      read.bytes = static_cast<const char*>(memcpy(copy, read.bytes, read.raw_length));
    }
    WordSpan spans[kMaxLineWords];
    size_t count = find_line_words(read, source.encoding, skip, spans);
    // The words of the read are hashed first, so that their slots of the
    // dictionary are on their way while the first ones are looked up.
    struct Found {
      const char* text;
      size_t length;
      uint64_t hash;
    } found[kMaxLineWords];
    size_t words = 0;
    for (size_t k = 0; k < count; ++k) {
      if (spans[k].length < kMinWordLength) continue;
      const char* word = read.bytes + spans[k].start;
      found[words++] = {word, spans[k].length, dictionary.look_ahead(word, spans[k].length)};
    }
    // Likewise the numbers, before their marks in `seen_` are looked at.
    uint32_t numbers[kMaxLineWords];
    for (size_t k = 0; k < words; ++k) {
      numbers[k] = dictionary.intern(found[k].text, found[k].length, found[k].hash);
      if (numbers[k] < seen_.size()) __builtin_prefetch(seen_.data() + numbers[k]);
    }
    if (seen_.size() < dictionary.size()) seen_.resize(dictionary.size(), 0);
    list->insert(list->end(), numbers, numbers + std::min(words, room - list->size()));
    uint32_t* mark = seen_.data();
    size_t taken = 0;
    for (size_t k = 0; k < words; ++k) {
      uint32_t number = numbers[k];
      numbers[taken] = number;
      taken += mark[number] != stamp;
      mark[number] = stamp;
    }
    set->insert(set->end(), numbers, numbers + taken);
  }
  return reads_.status();
}

}  // namespace karvel
