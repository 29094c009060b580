// Line reads (the 99-character cut, CR LF read as LF, NUL bytes): the cutting,
// the buffered reader and the statistics pass, with the progress it shows,
// against the conservation check's own splitter on random bytes.

#include "files/line_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "conservation.h"
#include "files/block_ends.h"
#include "index/source_statistics.h"
#include "messages/messages.h"
#include "records/file_statistics.h"
#include "test_support.h"

namespace karvel {
namespace {

// The program's read that begins at `start`, as the splitter describes one.
hardening::ReadEnd read_of(const LineRead& read, uint64_t start, BlockEnds& ends) {
  char slot[kLineSlotSize];
  size_t n = read.copy_to_slot(slot);
  EXPECT_EQ(n, read.text_length());
  return {start + read.raw_length, read.is_empty(), ends.ends_block(read), std::string(slot, n)};
}

// The counters a statistics pass gives, to compare.
auto counters(const FileStatistics& s) {
  return std::tuple(s.file_bytes, s.file_lines, s.file_blocks, s.max_block_lines, s.max_len_line,
                    s.equal_blocks);
}

// Short alphabets make empty lines, CR LF pairs and NULs frequent; now and
// then a long line crosses the 99-character cut and a buffer's end. The
// statistics as the pass defines them: an empty read ends a block where it
// begins a line; "N lines" is shown for every multiple of 80000 reads.
TEST(LineReadTest, CuttingReaderAndStatisticsMatchCharacterByCharacterReading) {
  std::mt19937 random(11);
  testing::TempDir dir;
  for (int round = 0; round < 300; ++round) {
    const std::string alphabet = round % 3 == 0   ? std::string("ab\n\r\n", 5)
                                 : round % 3 == 1 ? std::string("ab\n\r\0 ", 6)
                                                  : std::string("xyz \n");
    std::string bytes;
    size_t size = round % 100 == 7 ? 9u << 20 : round == 0 ? 0 : random() % 3000;
    while (bytes.size() < size) {
      if (random() % 40 == 0) bytes += std::string(90 + random() % 220, 'L');
      if (random() % 40 == 0) bytes += std::string(99 * (1 + random() % 3), 'L');
      bytes += alphabet[random() % alphabet.size()];
    }
    // The reads and statistics that the conservation check's own splitter,
    // independent of the program, gives.
    const std::vector<hardening::ReadEnd> want = hardening::line_reads(bytes);
    FileStatistics literal;
    uint32_t running = 0;
    for (const hardening::ReadEnd& read : want) {
      ++literal.file_lines;
      ++running;
      if (read.ends_block) {
        literal.max_block_lines = std::max(literal.max_block_lines, running);
        ++literal.file_blocks;
        running = 0;
      }
      literal.max_len_line = std::max<uint32_t>(literal.max_len_line, read.text.size());
    }
    literal.file_bytes = bytes.size();
    std::vector<std::string> marks = {"Get_File_Statistics..."};
    for (uint32_t n = 80000; n <= literal.file_lines; n += 80000)
      marks.push_back(std::to_string(n) + " lines");
    marks.push_back("Done");

    std::vector<hardening::ReadEnd> cut, taken;
    BlockEnds cut_ends, taken_ends;
    for_each_line_read(bytes.data(), bytes.size(), [&](const LineRead& read) {
      cut.push_back(read_of(read, cut.empty() ? 0 : cut.back().end, cut_ends));
    });
    ASSERT_EQ(cut, want) << "round " << round;
    testing::write_file(dir.file("s"), bytes);
    int fd = open(dir.file("s").c_str(), O_RDONLY);
    LineReader reader(fd);
    LineRead read;
    for (uint64_t position = 0; reader.next(&read); position += read.raw_length) {
      ASSERT_EQ(0, memcmp(read.bytes, bytes.data() + position, read.raw_length));
      taken.push_back(read_of(read, position, taken_ends));
    }
    EXPECT_EQ(reader.error(), 0);
    EXPECT_EQ(reader.position(), bytes.size());
    close(fd);
    ASSERT_EQ(taken, want) << "round " << round;
    for (size_t buffer : {256u, 301u, 4096u}) {
      testing::RecordingView view;
      Messages messages;
      messages.set_window(&view);
      FileStatistics counted;
      counted.equal_blocks = 77;  // zeroed by the pass
      fd = open(dir.file("s").c_str(), O_RDONLY);
      ASSERT_TRUE(Get_File_Statistics(fd, "src", counted, messages, buffer).ok());
      close(fd);
      ASSERT_EQ(counters(counted), counters(literal)) << round;
      ASSERT_EQ(view.lines, marks) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace karvel
