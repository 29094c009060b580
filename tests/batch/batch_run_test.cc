// Whole runs through karvel-batch: the output list on standard output, the
// protocol, the output files and the exit status, byte for byte.

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

namespace karvel {
namespace {

using testing::read_file;
using testing::run_batch;
using testing::split_lines;
using testing::TempDir;
using testing::write_file;

// Three blocks: one of theme 1 (dog), one without theme, one of theme 0 (cat).
const char kSource[] = "a dog ran\n\nnothing here\n\nthe cat sat\n\n";
const char kKeywords[] = "cat\ndog\n";

const std::vector<std::string> kUsage = {
    "Karvel - the program for sorting big files by themes",
    "          and searching for similar blocks. Last edition: Oct 12 1999, ver. 5.0",
    "The parameters to be set: ",
    "   src=<file_name> dst=<file_name> kwd=<file_name>",
    "   rst=<file_name> [debug] len_rat=<percents>",
    "   sim_rat=<percents> ans=<default_answer> sort=[YyNn10]",
    " src - file name with source data         (ReadOnly)",
    " kwd - file name with keywords            (ReadOnly)",
    " dst - name of new file with result data  (WriteOnly)",
    " rst - name of new file with rest of data (WriteOnly)",
    " log - name of protocol file (WriteOnly)",
    " len_rat - acceptable ration (in percents) of block lengths (default=70%)",
    " sim_rat - acceptable percent of found words (default=70%)",
    " ans - default answer on the question \"Are two blocks similar?\"",
    "      Possible values: 'y' (yes), 'n' (no), 'a' (always yes), 'q' (always no)",
    "      only 'a', 'g' and 'q' have affect for input from command line",
};

const std::vector<std::string> kParameters = {
    "Set parameters:",      "src_file_name='#src', ",
    "dst_file_name='#dst'", "kwd_file_name='#kwd', ",
    "rst_file_name='#rst'", "log_file_name='#log'",
    "length_ratio=50, ",    "similarity_ratio=60, ",
    "default_answer=g ",    "sort=1",
};

std::vector<std::string> concat(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The protocol's lines, with the seconds of its last line replaced by S.
std::vector<std::string> protocol_lines(const std::string& path) {
  std::vector<std::string> lines = split_lines(read_file(path));
  for (std::string& line : lines) {
    line = std::regex_replace(line, std::regex("^The program worked [0-9]+ seconds$"),
                              "The program worked S seconds");
  }
  return lines;
}

class BatchRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(dir_.file("#src"), kSource);
    write_file(dir_.file("#kwd"), kKeywords);
  }
  int run(const std::vector<std::string>& arguments, const std::string& input = "") {
    return run_batch(dir_.path(), arguments, input, &out_, &err_);
  }

  TempDir dir_;
  std::string out_, err_;
};

TEST_F(BatchRunTest, CompletedRunWritesItsListProtocolAndOutputs) {
  ASSERT_EQ(run({}), 0) << err_;
  EXPECT_EQ(split_lines(out_),
            concat({{"Get_File_Statistics...", "Done", "2 keywords, 2 themes got from kwd file",
                     "Find Offsets: 3 blocks", "Find Offsets done"},
                    kParameters,
                    {"Themes processing", "Rest file saving...", "Done...",
                     "1 blocks saved in the rest file"}}));
  EXPECT_EQ(protocol_lines(dir_.file("#log")),
            concat({{"2 keywords, 2 themes got from kwd file", "Offsets require 3*4=16 bytes",
                     "Lines require 3*4=16 bytes",
                     "==== Get Stats about offsets ====", "Max Length of 0 theme is 1 blocks",
                     "Max Length of 0 theme is 2 lines", "Max Length of 0 theme is 13 bytes"},
                    kParameters,
                    {"1 blocks saved in the rest file", "The program worked S seconds"}}));
  // Rst=Dst: the themed blocks in theme order, then the rest, all in #rst.
  EXPECT_EQ(read_file(dir_.file("#rst")), "the cat sat\n\na dog ran\n\nnothing here\n\n");
  EXPECT_EQ(read_file(dir_.file("#dst")), "");
  EXPECT_EQ(read_file(dir_.file("#dbl")), "");
  EXPECT_EQ(read_file(dir_.file("#src")), kSource);
}

TEST_F(BatchRunTest, Utf8RunsNameTheirEncodingAfterTheKeywordsLine) {
  // The mark before the first block is no part of its first word.
  write_file(dir_.file("#src"),
             "\xEF\xBB\xBF\xD0\x9A\xD0\x9E\xD0\xA2 "
             "sat\n\n\xC2\xAB\xD0\x91\xD0\xB5\xD0\xB3\xC2\xBB\n\nx\n\n");
  write_file(dir_.file("#kwd"), "'\xD0\xBA\xD0\xBE\xD1\x82'\n*\xD0\x91\xD0\x95\xD0\x93\n");
  for (std::string word : {"enc=auto", "enc=utf8", "enc=cp866"}) {
    ASSERT_EQ(run({word, "rst_dst=N"}), 0) << err_;
    bool utf8 = word != "enc=cp866";
    EXPECT_EQ(split_lines(out_)[3] == "Text encoding: UTF-8", utf8) << word;
    EXPECT_EQ(protocol_lines(dir_.file("#log"))[1] == "Text encoding: UTF-8", utf8) << word;
    EXPECT_EQ(read_file(dir_.file("#rst")).size(), utf8 ? 3u : 30u) << word;
    for (const char* output : {"#dst", "#rst", "#dbl"}) std::remove(dir_.file(output).c_str());
  }
}

// Code page 866 text (here the blocks of the similarity question) goes to a
// terminal in the terminal's encoding, to a pipe as the bytes it is.
TEST_F(BatchRunTest, Cp866TextIsConvertedForATerminalOnly) {
  const std::vector<std::pair<std::string, std::string>> lines = {
      {"\xAA\xAE\xE2 \xE1\xA8\xA4\xA5\xAB \xAD\xA0 \xAA\xAE\xA2\xE0\xA5", "кот сидел на ковре"},
      {"\xAA\xAE\xE2 \xE1\xA8\xA4\xA5\xAB \xAD\xA0 \xAA\xE0\xEB\xE8\xA5", "кот сидел на крыше"}};
  write_file(dir_.file("#kwd"), "\xAA\xAE\xE2\n");
  write_file(dir_.file("#src"), lines[0].first + "\n\n" + lines[1].first + "\n\n");
  ASSERT_EQ(run({"ans=n"}), 0) << err_;
  std::string expected = out_;
  for (const auto& [cp866, utf8] : lines)
    expected.replace(expected.find(cp866), cp866.size(), utf8);
  ASSERT_NE(expected, out_);
  // The same run with standard output on a terminal in a UTF-8 locale.
  int terminal, side;
  ASSERT_EQ(openpty(&terminal, &side, nullptr, nullptr, nullptr), 0);
  pid_t pid = fork();
  if (pid == 0) {
    int none = open("/dev/null", O_RDWR);
    dup2(none, 0);
    dup2(side, 1);
    dup2(none, 2);
    if (chdir(dir_.path().c_str()) != 0) _exit(126);
    setenv("LC_ALL", "C.UTF-8", 1);
    execl(KARVEL_BATCH_PATH, KARVEL_BATCH_PATH, "ans=n", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(side);
  std::string shown;
  char chunk[4096];
  for (ssize_t got; (got = read(terminal, chunk, sizeof chunk)) > 0;) shown.append(chunk, got);
  close(terminal);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(status, 0);
  shown.erase(std::remove(shown.begin(), shown.end(), '\r'), shown.end());  // the terminal's CR LF
  EXPECT_EQ(shown, expected);
}

TEST_F(BatchRunTest, DebugRunListsKeywordsAndEndsWithTheReport) {
  ASSERT_EQ(run({"debug", "rst_dst=N"}), 0) << err_;
  std::vector<std::string> report = {
      "=== File info: ===",
      "3 blocks, 6 lines, 38 bytes,",
      "3 blocks processed, 0 equal blocks found",
      "    0 blocks saved as similar",
      "    2 blocks saved as found_in_themes",
      "    1 blocks saved as no_themes",
      "    1 blocks no_themes in source",
      "=== Themes info: ===",
      "1 blocks, 2 lines, 13 bytes",
      "max_len_line=13, max_block=2 lines, 14 bytes",
      "Summary size of deleted equal blocks=0",
  };
  std::vector<std::string> list = split_lines(out_);
  ASSERT_GE(list.size(), report.size());
  EXPECT_EQ(std::vector<std::string>(list.end() - 11, list.end()), report);
  std::vector<std::string> protocol = protocol_lines(dir_.file("#log"));
  EXPECT_EQ(std::vector<std::string>(protocol.begin(), protocol.begin() + 4),
            (std::vector<std::string>{"2 keywords, 2 themes got from kwd file",
                                      "==== Keywords information: 2 keywords, 1 themes ===",
                                      "'cat            ' -     0, th0",
                                      "'dog            ' -     0, th1"}));
  ASSERT_GE(protocol.size(), 12u);
  std::vector<std::string> tail(protocol.end() - 12, protocol.end());
  report.push_back("The program worked S seconds");
  EXPECT_EQ(tail, report);
  EXPECT_EQ(read_file(dir_.file("#dst")), "the cat sat\n\na dog ran\n\n");
  EXPECT_EQ(read_file(dir_.file("#rst")), "nothing here\n\n");
}

TEST_F(BatchRunTest, EmptyNamesAreRefusedInOpeningOrder) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"log=", "Log file name not set"},         {"src=", "Source file name not set"},
      {"dst=", "Destination file name not set"}, {"dbl=", "Doubles file name not set"},
      {"rst=", "Rest file name not set"},        {"kwd=", "Keywords file name not set"},
  };
  for (const auto& [word, message] : cases) {
    TempDir dir;
    write_file(dir.file("#src"), kSource);
    write_file(dir.file("#kwd"), kKeywords);
    ASSERT_EQ(run_batch(dir.path(), {word}, "", &out_, &err_), 1) << word;
    EXPECT_EQ(split_lines(out_), concat({{"Error: " + message}, kUsage})) << word;
    if (word == "log=") {
      EXPECT_FALSE(testing::file_exists(dir.file("#log")));
      EXPECT_FALSE(testing::file_exists(dir.file("#dst")));
    } else {
      EXPECT_EQ(protocol_lines(dir.file("#log")),
                (std::vector<std::string>{"Error: " + message, "The program worked S seconds"}));
    }
  }
}

TEST_F(BatchRunTest, UnopenableFilesAreRefusedWithTheirNames) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"log=no/such/log", "Can't open log file no/such/log"},
      {"src=missing", "Can't open source file missing"},
      {"dst=no/dst", "Can't open destination file no/dst"},
      {"dbl=no/dbl", "Can't open doubles file no/dbl"},
      {"rst=no/rst", "Can't open rest file no/rst"},
      {"kwd=missing", "Can't open keywords file missing"},
  };
  for (const auto& [word, message] : cases) {
    TempDir dir;
    write_file(dir.file("#src"), kSource);
    write_file(dir.file("#kwd"), kKeywords);
    ASSERT_EQ(run_batch(dir.path(), {word}, "", &out_, &err_), 1) << word;
    EXPECT_EQ(split_lines(out_), concat({{"Error: " + message}, kUsage})) << word;
    if (word == "kwd=missing") {
      // The outputs were opened for appending, so they exist, and are empty.
      EXPECT_EQ(protocol_lines(dir.file("#log")),
                (std::vector<std::string>{"Error: " + message, "The program worked S seconds"}));
      EXPECT_EQ(read_file(dir.file("#dst")), "");
      EXPECT_EQ(read_file(dir.file("#rst")), "");
    }
  }
}

TEST_F(BatchRunTest, ZeroRatioRefusesTheRunAfterSetUp) {
  ASSERT_EQ(run({"len_rat=0"}), 1);
  EXPECT_EQ(split_lines(out_),
            concat({{"Get_File_Statistics...", "Done", "2 keywords, 2 themes got from kwd file",
                     "Find Offsets: 3 blocks", "Find Offsets done"},
                    kUsage}));
  EXPECT_EQ(protocol_lines(dir_.file("#log")),
            (std::vector<std::string>{
                "2 keywords, 2 themes got from kwd file", "Offsets require 3*4=16 bytes",
                "Lines require 3*4=16 bytes",
                "==== Get Stats about offsets ====", "Max Length of 0 theme is 1 blocks",
                "Max Length of 0 theme is 2 lines", "Max Length of 0 theme is 13 bytes"}));
  EXPECT_EQ(read_file(dir_.file("#rst")), "");
  ASSERT_EQ(run({"sim_rat=0"}), 1);
  // Corrected, the next run works and its protocol holds only its own lines.
  ASSERT_EQ(run({}), 0);
  EXPECT_EQ(protocol_lines(dir_.file("#log")).front(), "2 keywords, 2 themes got from kwd file");
  EXPECT_EQ(protocol_lines(dir_.file("#log")).size(), 19u);
}

TEST_F(BatchRunTest, TwoRunsInARowAppendToOutputsAndRecreateTheProtocol) {
  ASSERT_EQ(run({"rst_dst=n"}), 0);
  std::vector<std::string> first_protocol = protocol_lines(dir_.file("#log"));
  ASSERT_EQ(run({"rst_dst=n"}), 0);
  EXPECT_EQ(protocol_lines(dir_.file("#log")), first_protocol);
  EXPECT_EQ(read_file(dir_.file("#dst")),
            "the cat sat\n\na dog ran\n\nthe cat sat\n\na dog ran\n\n");
  EXPECT_EQ(read_file(dir_.file("#rst")), "nothing here\n\nnothing here\n\n");
}

TEST_F(BatchRunTest, SimMaxSetsTheSizeOfThemesSearchedForSimilarBlocks) {
  const std::string both = "the cat sat\n\nthe cat sat down\n\n";
  write_file(dir_.file("#src"), both);
  for (auto [word, doubles, shown] : {std::tuple{"sim_max=2", "", "similar_limit=2"},
                                      {"sim_max=3", both.c_str(), "similar_limit=3"},
                                      {"sim_max=0", both.c_str(), "similar_limit=0"},
                                      {"sim_max=500", both.c_str(), "Themes processing"}}) {
    std::remove(dir_.file("#dbl").c_str());
    ASSERT_EQ(run({word}), 0) << word;
    EXPECT_EQ(read_file(dir_.file("#dbl")), doubles) << word;
    EXPECT_EQ(split_lines(out_).at(15), shown) << word;  // after the other parameters
  }
}

TEST_F(BatchRunTest, BadCommandLinesTouchNoFile) {
  for (std::string word :
       {"bogus", "src", "sort=maybe", "len_rat=100", "sim_rat=x", "ans=gg", "Src=a", "debug=2",
        "enc=UTF-8", "sim_max=-1", "sim_max=4294967296", "sim_max="}) {
    ASSERT_EQ(run({word}), 2) << word;
    std::vector<std::string> err = split_lines(err_);
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err[0], "karvel-batch: bad argument '" + word + "'");
    EXPECT_EQ(std::vector<std::string>(err.begin() + 1, err.end()), kUsage);
    EXPECT_EQ(out_, "");
  }
  EXPECT_FALSE(testing::file_exists(dir_.file("#log")));
  // Its words are compared with the manual page by scripts/check-batch-words.sh.
  ASSERT_EQ(run({"--help"}), 0);
  EXPECT_EQ(split_lines(out_).at(0), "Usage: karvel-batch [NAME=VALUE ...]");
  ASSERT_EQ(run({"--version"}), 0);
  EXPECT_EQ(out_, "karvel-batch 4.0\n");
}

TEST_F(BatchRunTest, OutputsThatAreInputsAreRefusedBeforeAnythingIsCreated) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"dst=#src"}, "Destination file #src is also the source file"},
      {{"log=./#kwd"}, "Log file ./#kwd is also the keywords file"},
      {{"rst=x", "log=x"}, "Log file x is also the rest file"},
      {{"dbl=" + dir_.file("#src")},
       "Doubles file " + dir_.file("#src") + " is also the source file"},
  };
  for (const auto& [words, message] : cases) {
    ASSERT_EQ(run(words), 1);
    std::vector<std::string> list = split_lines(out_);
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0], ("Error: " + message).substr(0, 79));
    EXPECT_EQ(std::vector<std::string>(list.begin() + 1, list.end()), kUsage);
    EXPECT_FALSE(testing::file_exists(dir_.file("#log")));
    EXPECT_FALSE(testing::file_exists(dir_.file("x")));
    EXPECT_EQ(read_file(dir_.file("#src")), kSource);
    EXPECT_EQ(read_file(dir_.file("#kwd")), kKeywords);
  }
}

TEST_F(BatchRunTest, OutputsNamingOneFileShareOneStream) {
  ASSERT_EQ(run({"rst_dst=N", "dst=out", "rst=./out", "dbl=/dev/null"}), 0) << out_;
  EXPECT_EQ(read_file(dir_.file("out")), "the cat sat\n\na dog ran\n\nnothing here\n\n");
}

}  // namespace
}  // namespace karvel
