// The conservation check: after a run with the default switches (outputs
// empty before it), every source block and the tail after the last one must
// be written once to one output, or deleted as equal to a written block of its
// kind; nothing else may appear. Its block splitter is its own, so that a
// fault of the program's reader cannot hide. And seeded random inputs.

#ifndef KARVEL_TESTS_HARDENING_CONSERVATION_H_
#define KARVEL_TESTS_HARDENING_CONSERVATION_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace karvel::hardening {

// The line reads of `bytes`: at most 99 characters, or fewer through a line
// feed; CR LF counts as one character (the LF). A read is empty when its first
// character is LF or NUL, or it is exactly CR LF; an empty read at the start
// of a line ends a block.
struct ReadEnd {
  size_t end;  // the offset just after the read
  bool empty;
  bool ends_block;
  std::string text;  // as the equality test sees it: CR LF read as LF, cut at the first NUL
  bool operator==(const ReadEnd&) const = default;
};
std::vector<ReadEnd> line_reads(const std::string& bytes);

struct ConservationResult {
  std::vector<std::string> problems;  // empty when everything is accounted for
  size_t source_blocks = 0;
  size_t written_blocks = 0;  // blocks found in the three outputs
  bool ok() const { return problems.empty(); }
  std::string describe() const;  // the problems, one a line
};

// Checks the outputs of a run against its source. For a stopped run (`complete`
// false) blocks may be missing, but the outputs must be whole source blocks,
// none written more often than the source holds it.
ConservationResult check_conservation(const std::string& source, const std::string& dst,
                                      const std::string& dbl, const std::string& rst,
                                      bool complete = true);

// Bytes for messages: control bytes and those above 126 escaped, cut at `limit`.
std::string printable(const std::string& bytes, size_t limit = 60);

// A small deterministic generator (splitmix64: the same numbers everywhere).
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t next();
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }  // 0 .. n - 1
  bool chance(uint32_t percent) { return below(100) < percent; }
  template <typename T>
  const T& pick(const std::vector<T>& items) {
    return items[below(static_cast<uint32_t>(items.size()))];
  }

 private:
  uint64_t state_;
};

// Few words per seed over small alphabets, so that duplicates, near duplicates
// and keyword matches are frequent. Sources (a few KB) mix LF and CR LF, lone
// CRs, NULs, code page 866, long lines, runs of empty lines and a tail;
// keywords files come in both modes, with all marks, separators, marks only
// and overlong lines.
std::vector<std::string> random_vocabulary(Random& random);
std::string random_source(Random& random, const std::vector<std::string>& vocabulary);
std::string random_keywords(Random& random, const std::vector<std::string>& vocabulary);

}  // namespace karvel::hardening

#endif  // KARVEL_TESTS_HARDENING_CONSERVATION_H_
