// Whole runs through karvel-batch: the output list, the protocol, the output
// files and the exit status, byte for byte; answers on standard input or a
// terminal; and every way a run is refused or fails.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

namespace karvel::testing {
namespace {

using Lines = std::vector<std::string>;

// Three blocks: one of theme 1 (dog), one without theme, one of theme 0 (cat).
const char kSource[] = "a dog ran\n\nnothing here\n\nthe cat sat\n\n";
const char kKeywords[] = "cat\ndog\n";

const Lines kUsage = {
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

// The lines of `parts`, one after the other.
Lines concat(std::vector<Lines> parts) {
  Lines all;
  for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The list's lines up to the end of the block index, for a source of `blocks`.
Lines start_of_list(int blocks) {
  return {"Get_File_Statistics...", "Done", "2 keywords, 2 themes got from kwd file",
          "Find Offsets: " + std::to_string(blocks) + " blocks", "Find Offsets done"};
}

Lines parameters(char answer) {
  return {"Set parameters:",
          "src_file_name='#src', ",
          "dst_file_name='#dst'",
          "kwd_file_name='#kwd', ",
          "rst_file_name='#rst'",
          "log_file_name='#log'",
          "length_ratio=50, ",
          "similarity_ratio=60, ",
          std::string("default_answer=") + answer + " ",
          "sort=1"};
}

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(at("#src"), kSource);
    write_file(at("#kwd"), kKeywords);
  }
  BatchRun run(const Lines& arguments, const BatchOptions& options = {}) {
    BatchRun run = run_batch(dir_.path(), arguments, options);
    EXPECT_FALSE(run.timed_out);
    return run;
  }
  std::string at(const std::string& name) const { return dir_.file(name); }
  // The protocol's lines, with the seconds of its last line replaced by S.
  Lines protocol() const {
    Lines lines = split_lines(read_file(at("#log")));
    if (!lines.empty() &&
        std::regex_match(lines.back(), std::regex("The program worked \\d+ seconds")))
      lines.back() = "The program worked S seconds";
    return lines;
  }
  void remove_outputs() { RunNames::defaults_in(dir_.path()).remove_outputs(); }
  TempDir dir_;
};

TEST_F(BatchTest, CompletedRunWritesItsListProtocolAndOutputs) {
  BatchRun done = run({});
  ASSERT_EQ(done.status, 0) << done.err;
  const Lines index_lines = {"2 keywords, 2 themes got from kwd file",
                             "Offsets require 3*4=16 bytes",
                             "Lines require 3*4=16 bytes",
                             "==== Get Stats about offsets ====",
                             "Max Length of 0 theme is 1 blocks",
                             "Max Length of 0 theme is 2 lines",
                             "Max Length of 0 theme is 13 bytes"};
  const Lines end = {"1 blocks saved in the rest file"};
  EXPECT_EQ(done.list(), concat({start_of_list(3),
                                 parameters('g'),
                                 {"Themes processing", "Rest file saving...", "Done..."},
                                 end}));
  EXPECT_EQ(protocol(),
            concat({index_lines, parameters('g'), end, {"The program worked S seconds"}}));
  // Rst=Dst: the themed blocks in theme order, then the rest, all in #rst.
  const std::string sorted = "the cat sat\n\na dog ran\n\nnothing here\n\n";
  EXPECT_EQ(read_file(at("#rst")), sorted);
  EXPECT_EQ(read_file(at("#dst")) + read_file(at("#dbl")), "");
  // A second run appends to the outputs and makes the protocol anew.
  Lines first = protocol();
  ASSERT_EQ(run({}).status, 0);
  EXPECT_EQ(protocol(), first);
  EXPECT_EQ(read_file(at("#rst")), sorted + sorted);
  // A zero ratio refuses the run after the set-up, with the usage text.
  remove_outputs();
  BatchRun refused = run({"len_rat=0"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.list(), concat({start_of_list(3), kUsage}));
  EXPECT_EQ(protocol(), index_lines);
  EXPECT_EQ(read_file(at("#rst")), "");
  EXPECT_EQ(run({"sim_rat=0"}).status, 1);
  // With debug the protocol lists the keywords and ends with the report.
  ASSERT_EQ(run({"debug", "rst_dst=N"}).status, 0);
  const Lines start = {"2 keywords, 2 themes got from kwd file",
                       "==== Keywords information: 2 keywords, 1 themes ===",
                       "'cat            ' -     0, th0", "'dog            ' -     0, th1"};
  const Lines report = {"=== File info: ===",
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
                        "The program worked S seconds"};
  Lines lines = protocol();
  ASSERT_GE(lines.size(), 16u);
  EXPECT_EQ(Lines(lines.begin(), lines.begin() + 4), start);
  EXPECT_EQ(Lines(lines.end() - 12, lines.end()), report);
  EXPECT_EQ(read_file(at("#dst")), "the cat sat\n\na dog ran\n\n");
  EXPECT_EQ(read_file(at("#rst")), "nothing here\n\n");
}

// sim_max: themes of that many blocks or more are not searched; sort=0 is
// shown and changes nothing here.
TEST_F(BatchTest, SimilarLimitAndSort) {
  const std::string both = "the cat sat\n\nthe cat sat down\n\n";
  write_file(at("#src"), both);
  for (auto [word, doubles, sort, shown] :
       {std::tuple{"sim_max=2", "", "sort=1", "similar_limit=2"},
        {"sim_max=3", both.c_str(), "sort=1", "similar_limit=3"},
        {"sim_max=0", both.c_str(), "sort=1", "similar_limit=0"},
        {"sim_max=500", both.c_str(), "sort=1", "Themes processing"},
        {"sort=N", both.c_str(), "sort=0", "Themes processing"}}) {
    remove_outputs();
    BatchRun done = run({word});
    ASSERT_EQ(done.status, 0) << word;
    EXPECT_EQ(read_file(at("#dbl")), doubles) << word;
    EXPECT_EQ(done.list().at(14), sort) << word;
    EXPECT_EQ(done.list().at(15), shown) << word;  // after the other parameters
  }
}

TEST_F(BatchTest, Utf8RunsNameTheirEncodingAfterTheKeywordsLine) {
  // The mark before the first block is no part of its first word.
  write_file(at("#src"),
             "\xEF\xBB\xBF\xD0\x9A\xD0\x9E\xD0\xA2 "
             "sat\n\n\xC2\xAB\xD0\x91\xD0\xB5\xD0\xB3\xC2\xBB\n\nx\n\n");
  write_file(at("#kwd"), "'\xD0\xBA\xD0\xBE\xD1\x82'\n*\xD0\x91\xD0\x95\xD0\x93\n");
  for (std::string word : {"enc=auto", "enc=utf8", "enc=cp866"}) {
    remove_outputs();
    BatchRun done = run({word, "rst_dst=N"});
    ASSERT_EQ(done.status, 0) << done.err;
    bool utf8 = word != "enc=cp866";
    EXPECT_EQ(done.list()[3] == "Text encoding: UTF-8", utf8) << word;
    EXPECT_EQ(protocol()[1] == "Text encoding: UTF-8", utf8) << word;
    EXPECT_EQ(read_file(at("#rst")).size(), utf8 ? 3u : 30u) << word;
  }
}

TEST_F(BatchTest, AnswersTypedOnStandardInput) {
  // Two themes, each with one pair of similar blocks.
  const std::string cat0 = "the cat sat on the mat\n\n", cat1 = "the cat sat on the hat\n\n",
                    dog0 = "the dog ran in the park\n\n", dog1 = "the dog ran in the yard\n\n";
  write_file(at("#src"), cat0 + cat1 + dog0 + dog1);
  const std::string hyphens(68, '-');
  auto question = [&](const std::string& first, const std::string& second) {
    Lines lines = {"===== Similarity test====="};
    for (const std::string* block : {&first, &second})
      lines.insert(lines.end(), {block->substr(0, block->size() - 2), "", hyphens});
    lines.push_back("Do the blocks seem equal? (1-del_1, Y=2-del_2, N, Q, A)");
    return lines;
  };
  const struct {
    std::string keys;     // typed on standard input
    bool asked_twice;     // the second theme's pair is asked about too
    std::string rest;     // the rest file afterwards (Rst=Dst: themed blocks first)
    std::string doubles;  // the doubles file afterwards
    int found;            // similar blocks of the protocol's lines
    std::string echo;     // what standard error shows
  } answers[] = {
      {"1", true, cat1 + dog0 + dog1, "", 1, "1\n"},
      {"2", true, cat0 + dog0 + dog1, "", 1, "2\n"},
      {"yn", true, cat0 + dog0 + dog1, "", 1, "y\nn\n"},
      {"N", true, cat0 + cat1 + dog0 + dog1, "", 0, "N\n"},
      {"A", false, cat0 + dog0, "", 2, "A\n"},
      {"G", false, "", cat0 + cat1 + dog0 + dog1, 4, "G\n"},
      {"b", true, dog0 + dog1, cat0 + cat1, 2, "b\n"},
      {"Q", false, cat0 + cat1 + dog0 + dog1, "", 0, "Q\n"},
      {"x?\n 7Y", true, cat0 + dog0 + dog1, "", 1, "Y\n"},
      {"", true, cat0 + cat1 + dog0 + dog1, "", 0, ""},  // the end of input answers N
  };
  for (const auto& answer : answers) {
    SCOPED_TRACE(answer.keys);
    remove_outputs();
    BatchRun done = run({"ans=n"}, {.input = answer.keys});
    ASSERT_EQ(done.status, 0);
    EXPECT_EQ(done.list(),
              concat({start_of_list(4),
                      parameters('n'),
                      {"Themes processing"},
                      question(cat0, cat1),
                      answer.asked_twice ? question(dog0, dog1) : Lines{},
                      {"Rest file saving...", "Done...", "0 blocks saved in the rest file"}}));
    EXPECT_EQ(read_file(at("#rst")), answer.rest);
    EXPECT_EQ(read_file(at("#dbl")), answer.doubles);
    EXPECT_EQ(done.err, answer.echo);
    int found = 0;
    for (const std::string& line : protocol())
      if (line.find(" similar blocks found") != std::string::npos) found += std::stoi(line);
    EXPECT_EQ(found, answer.found);
  }
}

TEST_F(BatchTest, BadCommandLinesTouchNoFile) {
  for (std::string word :
       {"bogus", "src", "sort=maybe", "len_rat=100", "sim_rat=x", "ans=gg", "Src=a", "debug=2",
        "enc=UTF-8", "sim_max=-1", "sim_max=4294967296", "sim_max=", "threads=1025"}) {
    BatchRun bad = run({word});
    ASSERT_EQ(bad.status, 2) << word;
    EXPECT_EQ(split_lines(bad.err),
              concat({{"karvel-batch: bad argument '" + word + "'"}, kUsage}));
    EXPECT_EQ(bad.out, "");
  }
  EXPECT_FALSE(file_exists(at("#log")));
  // Its words are compared with the manual page by scripts/check-batch-words.sh.
  EXPECT_EQ(run({"--help"}).list().at(0), "Usage: karvel-batch [NAME=VALUE ...]");
  EXPECT_EQ(run({"--version"}).out, "karvel-batch 4.0\n");
}

// A run refused before it starts shows its error and the usage text; one
// that fails on the way shows its error once. Either way it exits with 1,
// and the inputs stay as they were.
TEST_F(BatchTest, RefusedAndFailedRuns) {
  // A similar pair, a block of each theme, one without theme and a tail.
  const std::string source =
      "the cat sat on the mat\n\nthe cat sat on a mat\n\na dog ran\n\nnothing\n\ntail";
  write_file(at("#src"), source);
  std::string big;  // 40 blocks without theme, about 1 KB each
  for (int l = 0; l < 400; ++l) big += std::string(99, 'x') + (l % 10 < 9 ? "\n" : "\n\n");
  write_file(at("big"), big);
  ASSERT_EQ(mkdir(at("folder").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(at("pipe").c_str(), 0666), 0);  // nobody writes or reads it
  ASSERT_EQ(symlink("#src", at("soft link").c_str()), 0);
  ASSERT_EQ(link(at("#kwd").c_str(), at("hard link").c_str()), 0);
  ASSERT_EQ(symlink("out", at("link").c_str()), 0);  // to a file not made yet
  const std::string usage = kUsage[0], restored = "Outputs restored to their size before the run",
                    full = "/dev/full: No space left on device", r300(300, 'r');
  struct Case {
    Lines words;
    std::string error;  // without "Error: "
    bool nothing_made;  // not one of the run's files was created
  };
  std::vector<Case> cases = {
      {{"src=pipe"}, "Can't open source file pipe", false},
      {{"kwd=pipe"}, "Can't open keywords file pipe", false},
      {{"dst=pipe"}, "Can't open destination file pipe", false},
      {{"rst=" + r300}, "Can't open rest file " + r300, false},
      {{"dst=#src"}, "Destination file #src is also the source file", true},
      {{"rst=./#kwd"}, "Rest file ./#kwd is also the keywords file", true},
      {{"log=#src"}, "Log file #src is also the source file", true},
      {{"log=./#kwd"}, "Log file ./#kwd is also the keywords file", true},
      {{"rst=x", "log=x"}, "Log file x is also the rest file", true},
      {{"log=#dst"}, "Log file #dst is also the destination file", true},
      {{"dbl=" + at("#src")}, "Doubles file " + at("#src") + " is also the source file", true},
      {{"dbl=soft link"}, "Doubles file soft link is also the source file", true},
      {{"dst=hard link"}, "Destination file hard link is also the keywords file", true},
      // Were the link not seen through, the protocol would write over the
      // destination's blocks while the run reported success.
      {{"log=link", "dst=out", "rst_dst=N"}, "Log file link is also the destination file", true},
      {{"log=out", "dst=link", "rst_dst=N"}, "Log file out is also the destination file", true},
      {{"dst=/dev/full", "rst_dst=N"}, "Can't write destination file " + full, false},
      {{"dbl=/dev/full"}, "Can't write doubles file " + full, false},
      {{"rst=/dev/full"}, "Can't write rest file " + full, false},
      {{"log=/dev/full"}, "Can't write log file " + full, false},
      // Run with a file size limit: the disk fills up during the run.
      {{"src=big"}, "Can't write rest file #rst: File too large", false},
  };
  // Each name left empty, in a folder that does not exist, or a folder.
  for (auto [word, title] : {std::pair{"log", "Log"},
                             {"src", "Source"},
                             {"dst", "Destination"},
                             {"dbl", "Doubles"},
                             {"rst", "Rest"},
                             {"kwd", "Keywords"}}) {
    std::string name = word, lower = std::string(1, tolower(*title)) + (title + 1);
    cases.push_back({{name + "="}, title + std::string(" file name not set"), name == "log"});
    for (std::string path : {"no/" + name, std::string("folder")}) {
      cases.push_back(
          {{name + "=" + path}, "Can't open " + lower + " file " + path, name == "log"});
    }
  }
  for (const auto& c : cases) {
    remove_outputs();
    unlink(at("x").c_str());
    BatchRun refused = run(c.words, {60, c.words[0] == "src=big" ? 16384u : 0});
    const std::string error = ("Error: " + c.error).substr(0, 79);
    SCOPED_TRACE(error);
    EXPECT_EQ(refused.status, 1) << refused.out;
    EXPECT_EQ(refused.errors(), Lines{error}) << refused.out;
    // Refused: the usage text follows; failed on the way: the outputs are
    // restored (the protocol cannot tell when it is the one that failed).
    bool failed = c.error.rfind("Can't write", 0) == 0,
         log = c.error.rfind("Can't write log", 0) == 0;
    Lines list = refused.list();
    auto next = std::find(list.begin(), list.end(), error);
    if (next != list.end() && !(failed && log)) {
      EXPECT_EQ(next + 1 == list.end() ? "" : next[1], failed ? restored : usage);
    }
    if (!failed && file_exists(at("#log"))) {
      EXPECT_EQ(protocol(),
                (Lines{("Error: " + c.error).substr(0, 98), "The program worked S seconds"}));
    }
    EXPECT_EQ(has_line(protocol(), restored), failed && !log);
    for (const char* name : {"#log", "#dst", "#dbl", "#rst", "x", "out"}) {
      EXPECT_FALSE(c.nothing_made && file_exists(at(name))) << name;
      EXPECT_TRUE(name[0] != '#' || name[1] == 'l' || read_file(at(name)).empty()) << name;
    }
    EXPECT_EQ(read_file(at("#src")), source);
    EXPECT_EQ(read_file(at("#kwd")), kKeywords);
  }
  // With Rst=Dst on nothing goes to the destination: /dev/full is no fault.
  EXPECT_EQ(run({"dst=/dev/full"}).status, 0);
}

// Code page 866 text (here the blocks of the similarity question) goes to a
// terminal in the terminal's encoding, to a pipe as the bytes it is.
TEST_F(BatchTest, Cp866TextIsConvertedForATerminalOnly) {
  const std::vector<std::pair<std::string, std::string>> lines = {
      {"\xAA\xAE\xE2 \xE1\xA8\xA4\xA5\xAB \xAD\xA0 \xAA\xAE\xA2\xE0\xA5", "кот сидел на ковре"},
      {"\xAA\xAE\xE2 \xE1\xA8\xA4\xA5\xAB \xAD\xA0 \xAA\xE0\xEB\xE8\xA5", "кот сидел на крыше"}};
  write_file(at("#kwd"), "\xAA\xAE\xE2\n");
  write_file(at("#src"), lines[0].first + "\n\n" + lines[1].first + "\n\n");
  BatchRun piped = run({"ans=n"});
  ASSERT_EQ(piped.status, 0) << piped.err;
  std::string expected = piped.out;
  for (const auto& [cp866, utf8] : lines)
    expected.replace(expected.find(cp866), cp866.size(), utf8);
  ASSERT_NE(expected, piped.out);
  // The same run with standard output on a terminal.
  BatchRun shown = run({"ans=n"}, {.terminal = true});
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.out, expected);
}

}  // namespace
}  // namespace karvel::testing
