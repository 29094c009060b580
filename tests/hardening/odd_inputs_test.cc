// Odd sources and keywords files run through karvel-batch with the default
// switches (Rst=Dst: the themed blocks in theme order, then the rest, all in
// the rest file); and odd file names (refused ones are in tests/batch).

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

namespace karvel::hardening {
namespace {

using namespace karvel::testing;

std::string to_crlf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

std::string numbered(int count, const char* format, int modulo = 1 << 30) {
  std::string out;
  for (int n = 0; n < count; ++n) {
    char line[64];
    snprintf(line, sizeof line, format, n % modulo);
    out += line;
  }
  return out;
}

// Each run completes, keeps its inputs, accounts for every byte and gives
// exactly the rest file (the source itself where `rst` is "=") and the lines.
TEST(OddInputs, RunsCompleteAndKeepEverything) {
  auto saved = [](int n) { return std::to_string(n) + " blocks saved in the rest file"; };
  auto after = [](int n) {
    return std::to_string(n) + " lines after the last block saved in the rest file";
  };
  auto themes = [](int k, int t) {
    return std::to_string(k) + " keywords, " + std::to_string(t) + " themes got from kwd file";
  };
  auto equal = [](int n) { return std::to_string(n) + " equal blocks found"; };
  const std::string mb10(10 << 20, 'x'), nuls(5000, '\0');
  const std::string ff = std::string(20000, '\xFF') + "\n\n\xFF\n\xFF\xFF\n\n\xFF";
  const std::string huge = numbered(200000, "entry %d of the corpus\n", 7) + "\n";
  // 3393 reads: the same count as 200001 in 16 bits.
  const std::string small = numbered(3392, "entry %d of the corpus\n", 7) + "\n";
  const std::string cr0 = "one\rtwo\nx\r\r\n\r\n", cr1 = "\rthree cat\n\n";
  const std::string b150 = numbered(15, "abcdefghi%d", 10);
  const std::string low = "text kw0001 x\n\n", high = "text kw4998 y\n\n",
                    late = "text kw5500 z\n\n";
  const std::string abv = "\xA0\xA1\xA2 small letters\n\n", yayu = "text \xEF\xEE text\n\n",
                    cap = "\x80\x81\x82 capitals too\n\n";
  // Themes, an exact duplicate, a line of 99 characters (its line end is an
  // empty read of its own) and a tail: CR LF in the source or the keywords
  // gives the run of LF.
  const std::string cat = "the cat sat on the warm mat\n\n", dog = "a dog barked\n\n",
                    q99 = std::string(99, 'q') + "\nnothing\n\n";
  const std::string pets = dog + cat + cat + q99 + "tail\n", sorted = cat + dog + q99 + "tail\n";
  const struct {
    std::string source, keywords, rst;
    std::vector<std::string> lines;  // among the output list
  } cases[] = {
      {"", "cat\n", "=", {"Find Offsets: 0 blocks", saved(0)}},
      {"first\nsecond cat line\nlast without its end", "cat\n", "=", {saved(0), after(3)}},
      // Only the first NUL read begins a line: one block of 99 bytes and 50 reads.
      {nuls, "cat\n", "=", {saved(1), after(50)}},
      {ff, "cat\n", "=", {}},
      {mb10, "x\n", "=", {after(105917)}},
      // Blocks of far more than 32767 reads must not be mistaken for short ones.
      {mb10 + "\n\nsmall x\n\n" + mb10 + "\n\n" + mb10,
       "x\n",
       mb10 + "\n\nsmall x\n\n" + mb10,
       {equal(1)}},
      {huge + "short\n\n" + huge + "tail", "corpus\n", huge + "short\n\ntail", {equal(1)}},
      {small + huge + small, "corpus\n", small + huge, {}},
      {"b\n\n\na cat\n\n", "cat\n", "a cat\n\nb\n\n\n", {saved(2)}},
      {std::string(1000, '\n'), "cat\n", "=", {saved(1000)}},
      {to_crlf(std::string(300, '\n')), "cat\n", "=", {}},
      // "\r\n" alone is an empty line; a CR elsewhere is text.
      {cr0 + cr1 + "last\r", "cat\n", cr1 + cr0 + "last\r", {saved(1), after(1)}},
      {pets, "cat\ndog\n", sorted, {equal(1), saved(1), after(1)}},
      {to_crlf(pets), "cat\ndog\n", to_crlf(sorted), {equal(1), saved(1), after(1)}},
      {pets, "cat\r\ndog\r\n", sorted, {equal(1), saved(1), after(1)}},
      // '*' is an empty word-end keyword: it takes the empty-line blocks
      // (theme 0); "'" and "''" match nothing; '**' takes every other block.
      {"the cat\n\nno theme\n\nthe cat\n\n\n\n\n",
       "*\n'\n**\n''\n",
       "\nthe cat\n\nno theme\n\n",
       {themes(4, 4), equal(2), equal(1)}},
      // Five short lines: separator mode, six empty themes.
      {"a cat\n\nb dog\n\ntail", "\n \n`\n\n` comment\n\n", "=", {themes(0, 6)}},
      {"a cat\n\nb dog\n\ntail", " a comment\n` another\n", "=", {themes(0, 0)}},
      {late + high + low + low,
       numbered(6000, "kw%04d\n"),
       low + high + late,
       {themes(4999, 4999)}},
      // The loader stops at the separator after theme 4998 and never sees "dog".
      {"a dog\n\na cat\n\n",
       std::string(4998, '\n') + "cat\n\ndog\n",
       "a cat\n\na dog\n\n",
       {themes(1, 4999)}},
      {"x kw2999\n\ny kw0000\n\nz none\n\n",
       numbered(3000, "kw%04d\n\n"),
       "y kw0000\n\nx kw2999\n\nz none\n\n",
       {themes(3000, 3000)}},
      // A keyword line of 150 bytes.
      {"nothing\n\nx " + b150.substr(99) + "\n\n" + b150.substr(0, 99) + "\n\n",
       b150 + "\n",
       b150.substr(0, 99) + "\n\nx " + b150.substr(99) + "\n\nnothing\n\n",
       {themes(2, 2)}},
      // Capitals A, B, V and YA, YU of code page 866 match their small letters.
      {abv + yayu + cap + "nothing\n\n",
       "\x80\x81\x82\n'\x9F\x9E'\n",
       abv + cap + yayu + "nothing\n\n",
       {themes(2, 2)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(printable(c.source) + " " + printable(c.keywords));
    CheckedRun run = run_checked(c.source, c.keywords);
    const std::string& rst = c.rst == "=" ? c.source : c.rst;
    EXPECT_EQ(run.rst.size(), rst.size());
    EXPECT_TRUE(run.rst == rst);
    EXPECT_EQ(run.dst + run.dbl, "");
    for (const std::string& line : c.lines) EXPECT_TRUE(has_line(run.batch.list(), line)) << line;
  }
}

// Odd names, paths of over 255 characters, one file for several outputs or
// for both inputs: the runs complete and write where they are told.
TEST(OddInputs, OddNamesLongPathsAndSharedFilesWriteWhereTheyAreTold) {
  const std::string source =
      "the cat sat on the mat\n\nthe cat sat on the mat\n\nthe cat sat on a mat\n\n"
      "a dog ran\n\nnothing\n\ntail";
  TempDir dir;
  // Three folders of 100 characters: every name there is a path of over 300.
  std::string deep = dir.path();
  for (char c : {'a', 'b', 'c'}) {
    deep += "/" + std::string(100, c);
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  }
  const struct {
    std::string src, kwd, dst, dbl, rst, log, rst_dst;
  } cases[] = {
      {"my source 'q' \"d\".txt", "key words \xFF\xFE.txt", "out \xE9\xE8 dst", "dbl\"x;`ls`",
       "rest 'file' $HOME *", " log\tfile ", "Y"},
      {deep + "/#src", deep + "/#kwd", deep + "/#dst", deep + "/#dbl", deep + "/#rst",
       deep + "/#log", "N"},
      // One stream: doubles during the themes, then the themed blocks and
      // the rest, then the tail.
      {"#src", "#kwd", "all", "all", "all", "#log", "Y"},
      {"#src", "#kwd", "all", "all", "all", "#log", "N"},
      {"#src", "#src", "#dst", "#dbl", "#rst", "#log", "Y"},  // both only read: allowed
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.src + " " + c.dst);
    auto at = [&](const std::string& name) { return name[0] == '/' ? name : dir.file(name); };
    for (const std::string* name : {&c.dst, &c.dbl, &c.rst}) unlink(at(*name).c_str());
    write_file(at(c.src), source);
    if (c.kwd != c.src) write_file(at(c.kwd), "cat\ndog\n");
    BatchRun completed =
        run_batch(dir.path(), {"src=" + c.src, "kwd=" + c.kwd, "dst=" + c.dst, "dbl=" + c.dbl,
                               "rst=" + c.rst, "log=" + c.log, "rst_dst=" + c.rst_dst});
    EXPECT_EQ(completed.status, 0) << completed.out;
    std::string outputs = read_file(at(c.dbl));
    if (c.dst != c.dbl) outputs += read_file(at(c.dst));
    if (c.rst != c.dbl) outputs += read_file(at(c.rst));
    ConservationResult result = check_conservation(source, "", "", outputs);
    EXPECT_TRUE(result.ok()) << result.describe();
    EXPECT_EQ(read_file(at(c.src)), source);
    std::vector<std::string> protocol = split_lines(read_file(at(c.log)));
    EXPECT_TRUE(has_line(protocol, ("src_file_name='" + c.src + "', ").substr(0, 98)));
    // Lines are cut to their capacity, never written past it.
    for (const std::string& line : completed.list()) EXPECT_LE(line.size(), 79u);
    for (const std::string& line : protocol) EXPECT_LE(line.size(), 98u);
  }
}

}  // namespace
}  // namespace karvel::hardening
