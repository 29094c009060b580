// Line reads: the 99-character cut, CR LF read as LF, NUL bytes, and the
// buffered reader against a character-by-character reading of the same
// bytes; the statistics pass against a read-by-read count, and the
// progress a user sees in its messages.

#include "files/line_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "index/source_statistics.h"
#include "messages/messages.h"
#include "records/file_statistics.h"
#include "test_support.h"

namespace karvel {
namespace {

// Raw lengths of the reads of `bytes`, one character at a time, the way a
// text-mode line read into a 100-byte buffer takes them.
std::vector<uint32_t> reference_reads(const std::string& bytes) {
  std::vector<uint32_t> reads;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t start = pos;
    size_t chars = 0;
    while (pos < bytes.size() && chars < 99) {
      if (bytes[pos] == '\r' && pos + 1 < bytes.size() && bytes[pos + 1] == '\n') {
        pos += 2;
        break;
      }
      if (bytes[pos++] == '\n') break;
      ++chars;
    }
    reads.push_back(static_cast<uint32_t>(pos - start));
  }
  return reads;
}

// The reads point into `bytes`, which must outlive them.
std::vector<LineRead> cut_all(const std::string& bytes) {
  std::vector<LineRead> reads;
  for_each_line_read(bytes.data(), bytes.size(), [&](const LineRead& r) { reads.push_back(r); });
  return reads;
}

std::string slot_of(const LineRead& read) {
  char slot[kLineSlotSize];
  size_t n = read.copy_to_slot(slot);
  return std::string(slot, n);
}

// Each read as its slot string, "|E" when it is empty, "|" and its raw
// length when that differs from the slot's.
std::vector<std::string> described_reads(const std::string& bytes) {
  std::vector<std::string> described;
  for (const LineRead& read : cut_all(bytes)) {
    std::string d = slot_of(read);
    if (read.is_empty()) d += "|E";
    if (read.raw_length != d.size() && !read.is_empty()) d += "|" + std::to_string(read.raw_length);
    described.push_back(d);
  }
  return described;
}

TEST(LineReadTest, CutCrLfNulAndEmptyReads) {
  const std::string x99(99, 'x'), y99(99, 'y'), y51(51, 'y'), z98(98, 'z');
  const struct {
    std::string bytes;
    std::vector<std::string> reads;
  } cases[] = {
      // 99 characters fill a read; the lone line feed after them is empty.
      {x99 + "\n" + std::string(150, 'y') + "\n", {x99, "\n|E", y99, y51 + "\n"}},
      // CR LF reads as the line feed alone and keeps its bytes.
      {"ab\r\n\r\n" + z98 + "\r\n", {"ab\n|4", "\n|E", z98 + "\n|100"}},
      {"a\rb\n\r", {"a\rb\n", "\r"}},  // a lone CR is an ordinary character
      // The text ends at its first NUL; a read that begins with NUL is empty.
      {std::string("ab\0cd\n\0xy\n", 10), {"ab|6", "|E"}},
  };
  for (const auto& c : cases) EXPECT_EQ(described_reads(c.bytes), c.reads);
  std::string nul("ab\0cd\n", 6);
  EXPECT_EQ(cut_all(nul)[0].text_length(), 2u);
}

TEST(LineReadTest, ReaderMatchesCharacterByCharacterReadingAcrossBuffers) {
  std::mt19937 random(7);
  const char alphabet[] = {'a', 'b', '\n', '\r', '\0', ' ', '\n'};
  for (size_t size : {0u, 1u, 100u, 5000u, 9u << 20}) {
    std::string bytes(size, 'a');
    size_t run = 0;
    for (char& c : bytes) {
      // Mostly short lines, now and then a line of a few hundred characters.
      if (run > 0) {
        --run;
        continue;
      }
      c = alphabet[random() % sizeof alphabet];
      if (random() % 50 == 0) run = random() % 400;
    }
    testing::TempDir dir;
    testing::write_file(dir.file("s"), bytes);
    int fd = open(dir.file("s").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    LineReader reader(fd);
    std::vector<uint32_t> got;
    uint64_t position = 0;
    LineRead read;
    while (reader.next(&read)) {
      ASSERT_EQ(0, memcmp(read.bytes, bytes.data() + position, read.raw_length));
      position += read.raw_length;
      got.push_back(read.raw_length);
    }
    EXPECT_EQ(reader.error(), 0);
    EXPECT_EQ(reader.position(), bytes.size());
    EXPECT_EQ(got, reference_reads(bytes)) << "size " << size;
    close(fd);
  }
}

TEST(LineReadTest, ReaderStopsAtTheGivenEndAndSeeks) {
  testing::TempDir dir;
  testing::write_file(dir.file("s"), "one\ntwo\nthree\n");
  int fd = open(dir.file("s").c_str(), O_RDONLY);
  LineReader reader(fd, 4, 8);
  LineRead read;
  ASSERT_TRUE(reader.next(&read));
  EXPECT_EQ(slot_of(read), "two\n");
  EXPECT_FALSE(reader.next(&read));
  reader.seek(0);
  ASSERT_TRUE(reader.next(&read));
  EXPECT_EQ(slot_of(read), "one\n");
  close(fd);
}

// The counters as the pass defines them, one line read at a time: an empty
// read ends a block where it begins a line.
FileStatistics literal_statistics(const std::string& bytes) {
  FileStatistics s;
  uint32_t running = 0;
  size_t at = 0;
  for_each_line_read(bytes.data(), bytes.size(), [&](const LineRead& read) {
    ++s.file_lines;
    ++running;
    bool begins_line = at == 0 || bytes[at - 1] == '\n';
    at += read.raw_length;
    if (begins_line && read.is_empty()) {
      if (running > s.max_block_lines) s.max_block_lines = running;
      ++s.file_blocks;
      running = 0;
    }
    if (read.text_length() > s.max_len_line) s.max_len_line = read.text_length();
  });
  s.file_bytes = bytes.size();
  return s;
}

FileStatistics measure(const std::string& bytes, size_t buffer_size,
                       std::vector<std::string>* lines = nullptr) {
  testing::TempDir dir;
  testing::write_file(dir.file("src"), bytes);
  int fd = open(dir.file("src").c_str(), O_RDONLY);
  testing::RecordingView view;
  Messages messages;
  messages.set_window(&view);
  FileStatistics s;
  s.equal_blocks = 77;  // zeroed by the pass
  EXPECT_TRUE(Get_File_Statistics(fd, "src", s, messages, buffer_size).ok());
  close(fd);
  if (lines != nullptr) *lines = view.lines;
  return s;
}

// The counters a statistics pass gives, to compare.
auto counters(const FileStatistics& s) {
  return std::tuple(s.file_bytes, s.file_lines, s.file_blocks, s.max_block_lines, s.max_len_line,
                    s.equal_blocks);
}

TEST(StatisticsTest, CountsMatchReadByReadCountingOnRandomText) {
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    // Short alphabets make empty lines, CR LF pairs and NULs frequent; now
    // and then a long line crosses the 99-character cut and the buffer end.
    const std::string alphabet = round % 3 == 0   ? std::string("ab\n\r\n", 5)
                                 : round % 3 == 1 ? std::string("ab\n\r\0 ", 6)
                                                  : std::string("xyz \n");
    std::string bytes;
    size_t size = random() % 3000;
    while (bytes.size() < size) {
      if (random() % 40 == 0) bytes += std::string(90 + random() % 220, 'L');
      if (random() % 40 == 0) bytes += std::string(99 * (1 + random() % 3), 'L');
      bytes += alphabet[random() % alphabet.size()];
    }
    FileStatistics want = literal_statistics(bytes);
    for (size_t buffer : {256u, 301u, 4096u})
      ASSERT_EQ(counters(measure(bytes, buffer)), counters(want)) << "round " << round;
  }
}

TEST(StatisticsTest, EmptySourceAndProgressMessages) {
  std::vector<std::string> lines;
  FileStatistics s = measure("", 4096, &lines);
  EXPECT_EQ(s.file_lines, 0u);
  EXPECT_EQ(s.file_bytes, 0u);
  EXPECT_EQ(lines, (std::vector<std::string>{"Get_File_Statistics...", "Done"}));

  std::string many;
  for (int i = 0; i < 160001; ++i) many += i % 2 ? "\n" : "x\n";
  measure(many, 4096, &lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"Get_File_Statistics...", "80000 lines",
                                             "160000 lines", "Done"}));
  // A long line passes a mark in the middle of its reads.
  std::string long_lines = std::string(79999, '\n') + std::string(300, 'x') + "\n";
  measure(long_lines, 1024, &lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"Get_File_Statistics...", "80000 lines", "Done"}));
}

}  // namespace
}  // namespace karvel
