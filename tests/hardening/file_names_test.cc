// File names as users make them: with blanks, quotes and bytes that are not
// UTF-8, in paths of more than 255 characters; and one file named for two
// roles. A run with odd but valid names completes and writes where it was
// told; a name the system cannot take is an error; a file set in which an
// output would overwrite an input or the protocol is refused before any file
// is opened or created.

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hardening_support.h"
#include "test_support.h"

namespace karvel::hardening {
namespace {

using testing::file_exists;
using testing::read_file;
using testing::split_lines;
using testing::TempDir;
using testing::write_file;

const char kSource[] =
    "the cat sat on the mat\n\nthe cat sat on the mat\n\nthe cat sat on a mat\n\n"
    "a dog ran\n\nnothing\n\ntail";
const char kKeywords[] = "cat\ndog\n";

class FileNames : public ::testing::Test {
 protected:
  BatchRun run(const std::vector<std::string>& arguments) {
    return run_batch_guarded(dir_.path(), arguments, {60, false, 0});
  }
  std::string at(const std::string& name) const { return dir_.file(name); }

  TempDir dir_;
};

TEST_F(FileNames, BlanksQuotesAndBytesThatAreNotUtf8) {
  const std::string src = "my source 'q' \"d\".txt", kwd = "key words \xFF\xFE.txt",
                    dst = "out \xE9\xE8 dst", dbl = "dbl\"x;`ls`", rst = "rest 'file' $HOME *",
                    log = " log\tfile ";
  write_file(at(src), kSource);
  write_file(at(kwd), kKeywords);
  BatchRun completed =
      run({"src=" + src, "kwd=" + kwd, "dst=" + dst, "dbl=" + dbl, "rst=" + rst, "log=" + log});
  EXPECT_EQ(completed.status, 0) << completed.out;
  EXPECT_TRUE(completed.errors().empty());
  EXPECT_TRUE(has_line(split_lines(read_file(at(log))), "src_file_name='" + src + "', "));
  ConservationResult result =
      check_conservation(kSource, read_file(at(dst)), read_file(at(dbl)), read_file(at(rst)));
  EXPECT_TRUE(result.ok()) << result.describe();
  EXPECT_EQ(read_file(at(src)), kSource);
  EXPECT_EQ(read_file(at(kwd)), kKeywords);
}

TEST_F(FileNames, PathsOfMoreThan255Characters) {
  // Three folders of 100 characters: every name is a path of over 300.
  std::string folder = dir_.path();
  for (char c : {'a', 'b', 'c'}) {
    folder += "/" + std::string(100, c);
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  }
  write_file(folder + "/#src", kSource);
  write_file(folder + "/#kwd", kKeywords);
  std::vector<std::string> arguments;
  for (const char* role : {"src", "kwd", "dst", "dbl", "rst", "log"}) {
    arguments.push_back(std::string(role) + "=" + folder + "/#" + role);
  }
  BatchRun completed = run(arguments);
  EXPECT_EQ(completed.status, 0) << completed.out;
  ConservationResult result =
      check_conservation(kSource, read_file(folder + "/#dst"), read_file(folder + "/#dbl"),
                         read_file(folder + "/#rst"));
  EXPECT_TRUE(result.ok()) << result.describe();
  EXPECT_EQ(read_file(folder + "/#src"), kSource);
  // The parameter line is cut to its capacity, never written past it.
  for (const std::string& line : completed.list()) EXPECT_LE(line.size(), 79u);
  for (const std::string& line : split_lines(read_file(folder + "/#log"))) {
    EXPECT_LE(line.size() + 1, 99u);
  }

  // A single name of 300 characters is more than the system takes: an error
  // whose line is cut to 79 characters in the list and 98 in the protocol.
  write_file(at("#src"), kSource);
  write_file(at("#kwd"), kKeywords);
  const std::string long_name(300, 'r');
  BatchRun refused = run({"rst=" + long_name});
  EXPECT_EQ(refused.status, 1);
  const std::string error = "Error: Can't open rest file " + long_name;
  EXPECT_EQ(refused.errors(), std::vector<std::string>{error.substr(0, 79)});
  EXPECT_EQ(split_lines(read_file(at("#log")))[0], error.substr(0, 98));
}

TEST_F(FileNames, OneFileNamedForTwoRolesIsRefusedBeforeAnythingIsOpened) {
  write_file(at("#src"), kSource);
  write_file(at("#kwd"), kKeywords);
  ASSERT_EQ(symlink("#src", at("soft link").c_str()), 0);
  ASSERT_EQ(link(at("#kwd").c_str(), at("hard link").c_str()), 0);
  struct Case {
    std::vector<std::string> arguments;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{"dst=#src"}, "Error: Destination file #src is also the source file"},
      {{"rst=./#kwd"}, "Error: Rest file ./#kwd is also the keywords file"},
      {{"log=#src"}, "Error: Log file #src is also the source file"},
      {{"log=#rst"}, "Error: Log file #rst is also the rest file"},
      {{"dbl=soft link"}, "Error: Doubles file soft link is also the source file"},
      {{"dst=hard link"}, "Error: Destination file hard link is also the keywords file"},
  };
  for (const Case& c : cases) {
    BatchRun refused = run(c.arguments);
    EXPECT_EQ(refused.status, 1) << c.error;
    EXPECT_EQ(refused.errors(), std::vector<std::string>{c.error});
    EXPECT_EQ(read_file(at("#src")), kSource);
    EXPECT_EQ(read_file(at("#kwd")), kKeywords);
    for (const char* output : {"#log", "#dst", "#dbl", "#rst"}) {
      EXPECT_FALSE(file_exists(at(output))) << c.error << ": " << output << " was created";
    }
  }
}

// A protocol and a destination that name one file, the one through a link
// to a file not made yet, are refused like the names above. Were the link not
// seen through, both would be opened on the one file and the protocol would
// write over the destination's blocks while the run reported success.
TEST_F(FileNames, ProtocolAndOutputNamingOneFileThroughALinkAreRefused) {
  write_file(at("#src"), kSource);
  write_file(at("#kwd"), kKeywords);
  ASSERT_EQ(symlink("out", at("link").c_str()), 0);
  BatchRun refused = run({"log=link", "dst=out", "rst_dst=N"});
  EXPECT_EQ(refused.status, 1) << refused.out;
  EXPECT_EQ(refused.errors(),
            std::vector<std::string>{"Error: Log file link is also the destination file"});
  EXPECT_FALSE(file_exists(at("out")));

  unlink(at("out").c_str());
  refused = run({"log=out", "dst=link", "rst_dst=N"});
  EXPECT_EQ(refused.status, 1) << refused.out;
  EXPECT_EQ(refused.errors(),
            std::vector<std::string>{"Error: Log file out is also the destination file"});
}

TEST_F(FileNames, OutputsSharingOneFileReceiveEverything) {
  write_file(at("#src"), kSource);
  write_file(at("#kwd"), kKeywords);
  // Doubles first (during the themes), then the themed blocks and the rest,
  // then the tail: one stream, nothing lost.
  for (const char* rst_dst : {"rst_dst=Y", "rst_dst=N"}) {
    unlink(at("all").c_str());
    BatchRun completed = run({"dst=all", "dbl=all", "rst=all", rst_dst});
    EXPECT_EQ(completed.status, 0) << completed.out;
    ConservationResult result = check_conservation(kSource, "", "", read_file(at("all")));
    EXPECT_TRUE(result.ok()) << rst_dst << "\n" << result.describe();
  }
}

TEST_F(FileNames, SourceThatIsAlsoTheKeywordsFile) {
  // Both are only read: allowed. Every source line is a keyword then.
  write_file(at("#src"), kSource);
  BatchRun completed = run({"kwd=#src"});
  EXPECT_EQ(completed.status, 0) << completed.out;
  ConservationResult result = check_conservation(kSource, read_file(at("#dst")),
                                                 read_file(at("#dbl")), read_file(at("#rst")));
  EXPECT_TRUE(result.ok()) << result.describe();
  EXPECT_EQ(read_file(at("#src")), kSource);
}

}  // namespace
}  // namespace karvel::hardening
