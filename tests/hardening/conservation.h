// The conservation check: after a run with the default switches (Rst=Dst,
// Sort Blocks and the similarity search on, outputs empty before the run),
// every block of the source, and the tail after its last block, must be
// accounted for. A block is written once to one output file, or it was
// deleted as equal to a block of its kind that was written. Nothing else may
// appear in the outputs.
//
// The check carries its own block splitter, kept small and independent of
// the program's reader, so that a fault in the reader cannot hide itself.

#ifndef KARVEL_TESTS_HARDENING_CONSERVATION_H_
#define KARVEL_TESTS_HARDENING_CONSERVATION_H_

#include <cstddef>
#include <string>
#include <vector>

namespace karvel::hardening {

// The line reads of `bytes`: the offset just after each read, whether it is
// empty and whether it ends a block. A read takes at most 99 characters, or
// fewer through a line feed; a CR immediately followed by LF counts as one
// character (the LF) and stays in the bytes. A read is empty when its first
// character is LF or NUL, or when it is exactly CR LF. An empty read ends a
// block when it begins a line: at the start of the file or right after a LF.
struct ReadEnd {
  size_t end;
  bool empty;
  bool ends_block;
};
std::vector<ReadEnd> line_reads(const std::string& bytes);

// A file cut into blocks by those reads; the reads after the last block are
// the tail.
struct SplitText {
  std::vector<std::string> blocks;  // the bytes of each block, in file order
  std::string tail;
};
SplitText split_blocks(const std::string& bytes);

struct ConservationResult {
  std::vector<std::string> problems;  // empty when everything is accounted for
  size_t source_blocks = 0;
  size_t written_blocks = 0;  // blocks found in the three outputs
  bool ok() const { return problems.empty(); }
  std::string describe() const;  // the problems, one a line
};

// Checks the outputs of one run against its source (see the top of this
// file). `dst`, `dbl` and `rst` are the whole contents of the destination,
// doubles and rest files after the run. For a run that was stopped
// (`complete` false) blocks may be missing, but the outputs must still be
// whole source blocks, none written more often than the source holds it.
ConservationResult check_conservation(const std::string& source, const std::string& dst,
                                      const std::string& dbl, const std::string& rst,
                                      bool complete = true);

// A short printable form of some bytes, for messages: escapes for control
// bytes and bytes above 126, cut after `limit` bytes.
std::string printable(const std::string& bytes, size_t limit = 60);

}  // namespace karvel::hardening

#endif  // KARVEL_TESTS_HARDENING_CONSERVATION_H_
