// Whether a file is valid UTF-8, checked as its bytes stream by: the test
// behind the automatic choice of a run's text encoding.
//
// The statistics pass feeds the source through it as it reads it, so the
// check runs at memory speed: 64 bytes at a time with the processor's vector
// instructions where it has them (AVX2), eight at a time otherwise. Bytes
// added after a fault has been found are not looked at.

#ifndef KARVEL_TEXT_UTF8_CHECK_H_
#define KARVEL_TEXT_UTF8_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "files/status.h"
#include "files/text_encoding.h"

namespace karvel {

class Utf8Check {
 public:
  // `vectors` false keeps to the byte form, as on processors without AVX2.
  explicit Utf8Check(bool vectors = true) : vectors_(vectors) {}

  // Takes the next `n` bytes of the file.
  void add(const char* bytes, size_t n);

  // After the last bytes: true when all of them form valid UTF-8 (no stray
  // continuation byte, overlong form, surrogate, code point past U+10FFFF,
  // nor a character cut off at the end).
  bool valid();

  // True when a byte from 128 up has been added (before any fault).
  bool has_multibyte() const { return multibyte_; }

  // The in-place form, for a reader that holds the file in memory: checks
  // p[0, n) after the 32 bytes before p, which must be the file's (NULs before
  // its start). Bytes may be checked more than once and in any order, as long
  // as every byte is, and the end is checked followed by 32 NULs: a character
  // cut off there shows as a fault. Only where in_place(), and never mixed
  // with add().
  bool in_place() const;
  void add_in_place(const char* p, size_t n);
  // What a reader's own in-place loop found (with utf8_vectors.h).
  void add_found(bool fault, bool multibyte) {
    error_ |= fault;
    multibyte_ |= multibyte;
  }
  // True once a fault has been found: the answer stands.
  bool failed() const { return error_; }

 private:
  void add_blocks(const unsigned char* p, size_t n);  // n a multiple of 64
  void add_blocks_avx2(const unsigned char* p, size_t n);
  void add_bytes(const unsigned char* p, size_t n);

  unsigned char pending_[64] = {};  // bytes short of a whole block
  size_t pending_count_ = 0;
  bool vectors_;
  bool error_ = false;
  bool multibyte_ = false;
  // Vector form: the last 32 bytes checked, and whether they end with a cut
  // character. Byte form: continuation bytes still due, and the range the
  // next one must lie in.
  alignas(32) unsigned char previous_[32] = {};
  bool incomplete_ = false;
  int due_ = 0;
  unsigned char low_ = 0x80, high_ = 0xBF;
};

// Reads the file open as `fd` from its start through `check`. A read that
// fails is an error naming `what`.
Status check_file_utf8(int fd, const std::string& what, Utf8Check* check);

// The encoding a run takes: the choice, or for kAuto UTF-8 when both files
// are valid UTF-8 and one of them holds a multi-byte character.
TextEncoding choose_text_encoding(EncodingChoice choice, Utf8Check& keywords, Utf8Check& source);

}  // namespace karvel

#endif  // KARVEL_TEXT_UTF8_CHECK_H_
