// The similarity question through karvel-batch: answers typed on standard
// input, and what each answer does to the output list, the protocol and the
// output files.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

namespace karvel {
namespace {

using testing::read_file;
using testing::split_lines;

// Two themes, each with one pair of similar blocks.
const std::string kCat0 = "the cat sat on the mat\n\n";
const std::string kCat1 = "the cat sat on the hat\n\n";
const std::string kDog0 = "the dog ran in the park\n\n";
const std::string kDog1 = "the dog ran in the yard\n\n";

std::vector<std::string> question(const std::string& first, const std::string& second) {
  const std::string hyphens(68, '-');
  return {"===== Similarity test=====",
          first,
          "",
          hyphens,
          second,
          "",
          hyphens,
          "Do the blocks seem equal? (1-del_1, Y=2-del_2, N, Q, A)"};
}

struct Answer {
  std::string keys;                // typed on standard input
  bool asked_twice;                // the second theme's pair is asked about too
  std::string rest;                // the rest file afterwards (Rst=Dst: themed blocks first)
  std::string doubles;             // the doubles file afterwards
  std::vector<std::string> found;  // "%lu similar blocks found" lines of the protocol
  std::string echo;                // what standard error shows
};

TEST(BatchQuestionTest, EachAnswerDecidesThePairAndWhatFollows) {
  const std::vector<Answer> answers = {
      {"1", true, kCat1 + kDog0 + kDog1, "", {"1 similar blocks found"}, "1\n"},
      {"2", true, kCat0 + kDog0 + kDog1, "", {"1 similar blocks found"}, "2\n"},
      {"yn", true, kCat0 + kDog0 + kDog1, "", {"1 similar blocks found"}, "y\nn\n"},
      {"N", true, kCat0 + kCat1 + kDog0 + kDog1, "", {}, "N\n"},
      {"A", false, kCat0 + kDog0, "", {"1 similar blocks found", "1 similar blocks found"}, "A\n"},
      {"G",
       false,
       "",
       kCat0 + kCat1 + kDog0 + kDog1,
       {"2 similar blocks found", "2 similar blocks found"},
       "G\n"},
      {"b", true, kDog0 + kDog1, kCat0 + kCat1, {"2 similar blocks found"}, "b\n"},
      {"Q", false, kCat0 + kCat1 + kDog0 + kDog1, "", {}, "Q\n"},
      {"x?\n 7Y", true, kCat0 + kDog0 + kDog1, "", {"1 similar blocks found"}, "Y\n"},
      {"", true, kCat0 + kCat1 + kDog0 + kDog1, "", {}, ""},  // end of input answers N
  };
  for (const Answer& answer : answers) {
    testing::TempDir dir;
    testing::write_file(dir.file("#kwd"), "cat\ndog\n");
    testing::write_file(dir.file("#src"), kCat0 + kCat1 + kDog0 + kDog1);
    std::string out, err;
    ASSERT_EQ(testing::run_batch(dir.path(), {"ans=n"}, answer.keys, &out, &err), 0) << answer.keys;

    std::vector<std::string> expected = {"Get_File_Statistics...",
                                         "Done",
                                         "2 keywords, 2 themes got from kwd file",
                                         "Find Offsets: 4 blocks",
                                         "Find Offsets done",
                                         "Set parameters:",
                                         "src_file_name='#src', ",
                                         "dst_file_name='#dst'",
                                         "kwd_file_name='#kwd', ",
                                         "rst_file_name='#rst'",
                                         "log_file_name='#log'",
                                         "length_ratio=50, ",
                                         "similarity_ratio=60, ",
                                         "default_answer=n ",
                                         "sort=1",
                                         "Themes processing"};
    for (const std::string& line : question("the cat sat on the mat", "the cat sat on the hat")) {
      expected.push_back(line);
    }
    if (answer.asked_twice) {
      for (const std::string& line :
           question("the dog ran in the park", "the dog ran in the yard")) {
        expected.push_back(line);
      }
    }
    for (const char* line : {"Rest file saving...", "Done...", "0 blocks saved in the rest file"}) {
      expected.push_back(line);
    }
    EXPECT_EQ(split_lines(out), expected) << answer.keys;
    EXPECT_EQ(read_file(dir.file("#rst")), answer.rest) << answer.keys;
    EXPECT_EQ(read_file(dir.file("#dbl")), answer.doubles) << answer.keys;
    EXPECT_EQ(read_file(dir.file("#dst")), "") << answer.keys;
    EXPECT_EQ(err, answer.echo) << answer.keys;

    std::vector<std::string> protocol = split_lines(read_file(dir.file("#log")));
    std::vector<std::string> found;
    for (const std::string& line : protocol) {
      if (line.find("similar blocks found") != std::string::npos) found.push_back(line);
    }
    EXPECT_EQ(found, answer.found) << answer.keys;
  }
}

}  // namespace
}  // namespace karvel
