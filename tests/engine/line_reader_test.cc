// Line reads: the 99-character cut, CR LF read as LF, NUL bytes, and the
// buffered reader against a character-by-character reading of the same bytes.

#include "files/line_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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

TEST(LineReadTest, LongLinesAreTakenInReadsOf99Characters) {
  std::string bytes = std::string(99, 'x') + "\n" + std::string(150, 'y') + "\n";
  std::vector<LineRead> reads = cut_all(bytes);
  ASSERT_EQ(reads.size(), 4u);
  EXPECT_EQ(reads[0].length(), 99u);
  EXPECT_FALSE(reads[0].is_empty());
  EXPECT_EQ(slot_of(reads[1]), "\n");  // the lone line feed after 99 characters
  EXPECT_TRUE(reads[1].is_empty());
  EXPECT_EQ(reads[2].length(), 99u);
  EXPECT_EQ(slot_of(reads[3]), std::string(51, 'y') + "\n");
}

TEST(LineReadTest, CrLfReadsAsTheLineFeedAloneAndKeepsItsBytes) {
  std::string lf_bytes = "ab\n\n" + std::string(98, 'z') + "\n";
  std::string crlf_bytes = "ab\r\n\r\n" + std::string(98, 'z') + "\r\n";
  std::vector<LineRead> lf = cut_all(lf_bytes);
  std::vector<LineRead> crlf = cut_all(crlf_bytes);
  ASSERT_EQ(lf.size(), 3u);
  ASSERT_EQ(crlf.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(slot_of(crlf[i]), slot_of(lf[i]));
    EXPECT_EQ(crlf[i].length(), lf[i].length());
    EXPECT_EQ(crlf[i].is_empty(), lf[i].is_empty());
    EXPECT_EQ(crlf[i].raw_length, lf[i].raw_length + 1);
  }
  EXPECT_EQ(crlf[2].length(), 99u);  // 98 characters and the line feed fit one read
  EXPECT_EQ(crlf[2].raw_length, 100u);
}

TEST(LineReadTest, LoneCrIsAnOrdinaryCharacter) {
  std::string bytes = "a\rb\n\r";
  std::vector<LineRead> reads = cut_all(bytes);
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(slot_of(reads[0]), "a\rb\n");
  EXPECT_EQ(slot_of(reads[1]), "\r");
  EXPECT_FALSE(reads[1].is_empty());
}

TEST(LineReadTest, TestsSeeTheTextUpToItsFirstNul) {
  std::string bytes("ab\0cd\n\0xy\n", 10);
  std::vector<LineRead> reads = cut_all(bytes);
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0].raw_length, 6u);  // the read itself takes every byte
  EXPECT_EQ(reads[0].text_length(), 2u);
  EXPECT_EQ(slot_of(reads[0]), "ab");
  EXPECT_FALSE(reads[0].is_empty());
  EXPECT_TRUE(reads[1].is_empty());  // begins with NUL
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

}  // namespace
}  // namespace karvel
