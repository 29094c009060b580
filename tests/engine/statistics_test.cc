// The statistics pass: its counters against a read-by-read count of the same
// bytes, and the behaviours a user sees in its messages.

#include <fcntl.h>
#include <unistd.h>

#include <random>
#include <string>

#include <gtest/gtest.h>

#include "files/line_reader.h"
#include "index/source_statistics.h"
#include "messages/messages.h"
#include "records/file_statistics.h"
#include "test_support.h"

namespace karvel {
namespace {

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

void expect_same(const FileStatistics& got, const FileStatistics& want, const std::string& what) {
  EXPECT_EQ(got.file_bytes, want.file_bytes) << what;
  EXPECT_EQ(got.file_lines, want.file_lines) << what;
  EXPECT_EQ(got.file_blocks, want.file_blocks) << what;
  EXPECT_EQ(got.max_block_lines, want.max_block_lines) << what;
  EXPECT_EQ(got.max_len_line, want.max_len_line) << what;
  EXPECT_EQ(got.equal_blocks, 0u) << what;
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
    for (size_t buffer : {256u, 301u, 4096u}) {
      expect_same(measure(bytes, buffer), want, "round " + std::to_string(round));
    }
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
