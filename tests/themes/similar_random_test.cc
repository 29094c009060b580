// The equal-blocks and similar-blocks passes on random themes against the
// passes as written: blocks compared line by line, word lists split with the
// word splitter, whole words found with find_whole_word over every line, the
// doubles list kept as a plain vector.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "records/program_configuration.h"
#include "text/words.h"
#include "theme_fixture.h"
#include "themes/theme_blocks.h"
#include "themes/theme_workspace.h"

namespace karvel {
namespace {

// The word list of a block as written: words of 3 or more characters, at
// most 2000.
std::vector<std::string> literal_word_list(const std::vector<std::string>& lines) {
  std::vector<std::string> words;
  WordSplitter splitter;
  for (const std::string& line : lines) {
    short started = 0;
    char word[kLineSlotSize];
    for (;;) {
      splitter.next_word(line.c_str(), &started, word);
      if (word[0] == '\0') break;
      if (strlen(word) >= 3 && words.size() < 2000) words.push_back(word);
    }
  }
  return words;
}

// blocks_similar as written, with find_whole_word over every line of q.
int literal_blocks_similar(const std::vector<std::string>& words, uint32_t lp,
                           const std::vector<std::string>& q_lines, uint32_t length_ratio,
                           uint32_t similarity_ratio) {
  uint32_t lq = static_cast<uint32_t>(q_lines.size());
  if (lp * 100u < lq * length_ratio) return 0;
  uint32_t found = 0;
  for (const std::string& w : words) {
    for (const std::string& line : q_lines) {
      if (find_whole_word(line.c_str(), w.c_str())) {
        ++found;
        break;
      }
    }
  }
  return found * 100u >= static_cast<uint32_t>(words.size()) * similarity_ratio;
}

struct LiteralSwitches {
  uint32_t limit = 500;  // themes of this many blocks are not searched; 0: none
  int check_similarity = 1;
  int always_yes = 0;
  int group_mode = 1;
  uint32_t length_ratio = 60;
  uint32_t similarity_ratio = 50;
};

// What the pass as written does to one theme.
struct LiteralPass {
  const testing::IndexedSource& s;
  testing::LiteralTheme& theme;
  LiteralSwitches& switches;
  const std::string& keys;
  size_t& next_key;
  std::vector<std::string> lines;                   // output list
  std::vector<std::string> protocol;                // protocol lines
  std::string doubles;                              // bytes written to the doubles file
  std::vector<std::pair<int, std::string>> fields;  // dialog fields set
  std::vector<uint32_t> written;                    // blocks given their written flag
  uint32_t found = 0;
  uint32_t& total;  // similar blocks of the run so far

  void show(const std::string& text) { lines.push_back(text.substr(0, 79)); }

  void show_block(size_t p) {
    for (size_t i = 0; i < theme.lines[p].size() && i < 9; ++i) show(theme.lines[p][i]);
    show(std::string(68, '-'));
  }

  int ask(size_t p, size_t q) {
    if (switches.always_yes) return 2;
    show("===== Similarity test=====");
    show_block(p);
    show_block(q);
    show("Do the blocks seem equal? (1-del_1, Y=2-del_2, N, Q, A)");
    char key = 'N';
    while (next_key < keys.size()) {
      char c = keys[next_key++];
      if (strchr("YyNnAaQq12GgBb", c) != nullptr) {
        key = c;
        break;
      }
    }
    char upper = static_cast<char>(toupper(key));
    if (upper == 'A') switches.always_yes = 1;
    if (upper == 'G') switches.group_mode = switches.always_yes = 1;
    if (upper == 'Q') switches.check_similarity = 0;
    return key == '1' ? 1 : strchr("2YA", upper) ? 2 : strchr("GB", upper) ? 3 : 0;
  }

  void run() {
    size_t n = theme.numbers.size();
    if (n == 0 || (switches.limit != 0 && n >= switches.limit)) return;
    fields.emplace_back(kBlocksTotal, std::to_string(n));
    if (!switches.check_similarity) return;
    std::vector<uint32_t> list;  // block numbers; the group-start flag is not needed here
    auto position_of = [&](uint32_t b) {
      return static_cast<size_t>(std::find(list.begin(), list.end(), b) - list.begin());
    };
    for (size_t i = 0; i + 1 < n; ++i) {
      if (i % 10 == 0) fields.emplace_back(kCurrentBlock, std::to_string(i));
      if (!theme.alive[i]) continue;
      std::vector<std::string> words = literal_word_list(theme.lines[i]);
      uint32_t lp = static_cast<uint32_t>(theme.lines[i].size());
      for (size_t j = i + 1; j < n; ++j) {
        if (!theme.alive[j] ||
            !literal_blocks_similar(words, lp, theme.lines[j], switches.length_ratio,
                                    switches.similarity_ratio)) {
          continue;
        }
        int choice = switches.group_mode ? 3 : ask(i, j);
        uint32_t a = theme.numbers[i], b = theme.numbers[j];
        if (choice == 1 || choice == 2) {
          theme.alive[choice == 1 ? i : j] = 0;
          written.push_back(choice == 1 ? a : b);
          ++found;
        } else if (choice == 3) {
          // b is not listed: a later block is listed only as the second of a
          // pair, which takes it out of the search.
          if (position_of(a) == list.size()) {
            list.push_back(a);
            list.push_back(b);
            ++found;
          } else {
            list.insert(list.begin() + static_cast<long>(position_of(a)), b);
          }
          theme.alive[j] = 0;
          ++found;
        }
      }
    }
    if (found != 0) {
      protocol.push_back(std::to_string(found) + " similar blocks found");
      total += found;
      fields.emplace_back(kSimilarFound, std::to_string(total));
    }
    for (uint32_t b : list) {
      doubles += s.block_bytes[b];
      written.push_back(b);
    }
  }
};

// A line of random words and delimiters; some words share beginnings or
// differ only in letter case, some are shorter than 3 characters.
std::string random_line(std::mt19937& random) {
  // Now and then a line equal to another read by read, not byte for byte.
  static const std::string l99(99, 'l'), nul("\0z\n", 3);
  static const std::string kPieces[] = {"a\r\n",      "A\n",     "b\r\n",      "a" + nul,
                                        l99 + "\r\n", l99 + nul, l99 + "lll\n"};
  if (random() % 16 == 0) return kPieces[random() % 7];
  static const char* const kWords[] = {"cat",  "Cat", "cats", "catalog", "dog",   "do", "house",
                                       "tree", "x",   "ab",   "bird",    "cat's", "ba", "oak"};
  static const char* const kGaps[] = {" ", ", ", ".", "-", "\t", "(", ") ", "\"", "'", ";"};
  std::string line;
  int words = 1 + static_cast<int>(random() % 6);
  for (int w = 0; w < words; ++w) {
    line += kWords[random() % 14];
    line += kGaps[random() % 10];
  }
  if (random() % 20 == 0) line += std::string(90, 'z') + " cat";  // a read boundary inside words
  if (random() % 20 == 0) line.resize(99 * (1 + random() % 3), 'z');  // then a lone line feed
  return line + "\n";
}

std::string random_block(std::mt19937& random) {
  std::string block;
  for (int l = random() % 5; l >= 0; --l) block += random_line(random);
  return block + "\n";
}

// A block of the large themes: up to 12 lines of words drawn from a few
// thousand (some long, with the same first 8 bytes), the small numbers far
// more often than the large ones; now and then a block without a word of 3
// or more characters, one past the word list's 2000 words, or a line of the
// small themes' tricky words.
std::string large_theme_block(std::mt19937& random) {
  int kind = static_cast<int>(random() % 300);
  int lines = kind == 0 ? 170 + static_cast<int>(random() % 20)
                        : 1 + static_cast<int>(random() % (kind < 150 ? 4 : 12));
  std::string block;
  for (int l = 0; l < lines; ++l) {
    if (kind == 1) {
      block += "ab x, de\n";
    } else if (kind != 0 && random() % 8 == 0) {
      block += random_line(random);
    } else {
      for (int w = 0, words = kind == 0 ? 12 : 1 + static_cast<int>(random() % 8); w < words; ++w)
        block += (random() % 4 ? "wd" : "wordhead") +
                 std::to_string(random() % (1 + random() % 3000)) + " ";
      block += "\n";
    }
  }
  return block + "\n";
}

// Random themes (`large`: a few of up to a few thousand blocks among small
// ones) through the pass and the pass as written; mode 0 groups, 1 answers
// always yes, 2 asks with scripted keys.
// With `same_fingerprints` every block has the same fingerprint, so that only
// the texts tell blocks apart.
void compare_on_random_themes(uint32_t seed, int mode, uint32_t limit, bool large = false,
                              bool same_fingerprints = false) {
  std::mt19937 random(seed);
  testing::IndexedSource s;
  const uint32_t themes = large ? 40 : 300;
  std::vector<std::string> blocks;
  std::vector<uint32_t> theme_of;
  std::vector<std::vector<std::string>> made(themes);
  for (int i = 0; i < (large ? 5000 : 4000); ++i) {
    uint32_t t = large && random() % 4 != 0 ? random() % (1 + random() % 4) : random() % themes;
    std::string block;
    if (!made[t].empty() && random() % 3 == 0) {  // a near or exact duplicate
      block = made[t][random() % made[t].size()];
      if (random() % 2) block.insert(0, random_line(random));
    } else {
      block = large ? large_theme_block(random) : random_block(random);
    }
    made[t].push_back(block);
    blocks.push_back(block);
    theme_of.push_back(t);
  }
  s.build(blocks, theme_of, same_fingerprints);
  ThemeWorkspace workspace;
  ASSERT_TRUE(workspace.create(s.statistics).ok());
  OutputFile doubles;
  ASSERT_TRUE(doubles.open(s.dir.file("doubles"), OutputFile::Mode::kAppend));

  const uint32_t length_ratios[] = {0, 60, 100, 150, 0x40000001u};
  const uint32_t similarity_ratios[] = {0, 50, 70, 100, 0x80000000u, 33};
  ProgramConfiguration configuration;
  configuration.set_similar_limit(limit);
  LiteralSwitches switches{.limit = limit, .always_yes = mode == 1, .group_mode = mode == 0};
  configuration.set_group_mode(switches.group_mode);
  configuration.set_always_yes(switches.always_yes);
  std::string keys;
  for (int k = 0; k < (large ? 20000 : 3000); ++k)
    keys += "YyNnNnNnNnNNNNAQq12GBbx"[random() % (mode == 2 ? 19 : 23)];
  s.view.keys = keys;
  size_t next_key = 0;
  std::string expected_doubles;
  std::vector<std::string> expected_protocol;
  uint32_t saved = 0, equal_blocks = 0;
  uint64_t equal_bytes = 0;
  for (uint32_t t = 0; t < themes; ++t) {
    // Answered questions in a large theme stay few only where the ratios
    // leave few pairs similar; in the largest theme the pass as written
    // tries only blocks of equal length.
    bool few_pairs = large && mode == 2 && t < 4;
    switches.length_ratio =
        large && t == 0 ? 100 : length_ratios[few_pairs ? 1 + random() % 2 : random() % 5];
    switches.similarity_ratio = similarity_ratios[few_pairs ? 1 + random() % 3 : random() % 6];
    configuration.set_length_ratio(static_cast<int32_t>(switches.length_ratio));
    configuration.set_similarity_ratio(static_cast<int32_t>(switches.similarity_ratio));
    testing::LiteralTheme theme = testing::literal_load_and_sort(s, t);
    std::vector<std::string> fields, lines;
    std::vector<uint32_t> deleted = testing::literal_equal_pass(theme, &fields);
    if (!deleted.empty()) lines.push_back(std::to_string(deleted.size()) + " equal blocks found");
    s.view.lines.clear();
    s.view.field_history.clear();
    ASSERT_TRUE(workspace.load_theme(s.source, s.index, s.buckets, t, s.messages).ok());
    workspace.sort_by_length();
    ASSERT_TRUE(workspace.delete_equal_blocks(s.source, s.index, s.statistics, s.messages).ok());
    const ThemeBlocks& loaded = workspace.theme();
    ASSERT_EQ(loaded.block_count, theme.numbers.size());
    for (uint32_t p = 0; p < loaded.block_count; ++p) {
      ASSERT_EQ(loaded.block_at(p), theme.numbers[p]) << "theme " << t << " position " << p;
      ASSERT_EQ(loaded.is_alive(p), theme.alive[p] == 1) << "theme " << t << " position " << p;
    }
    std::vector<std::string> field_values;
    for (const auto& [control, text] : s.view.field_history)
      if (control == kCurrentBlock) field_values.push_back(text);
    ASSERT_EQ(field_values, fields) << "theme " << t;
    ASSERT_EQ(s.view.lines, lines) << "theme " << t;
    for (uint32_t b : deleted) {
      ASSERT_FALSE(s.index.is_unwritten(b));
      equal_bytes += s.block_bytes[b].size();
    }
    equal_blocks += static_cast<uint32_t>(deleted.size());

    LiteralPass pass{s, theme, switches, keys, next_key, {}, {}, {}, {}, {}, 0, saved};
    pass.run();
    s.view.lines.clear();
    s.view.field_history.clear();
    ASSERT_TRUE(workspace
                    .find_similar_blocks(s.source, doubles, s.index, configuration, s.statistics,
                                         s.messages)
                    .ok());
    ASSERT_EQ(s.view.lines, pass.lines) << "theme " << t;
    for (uint32_t b : pass.written) ASSERT_FALSE(s.index.is_unwritten(b)) << "theme " << t;
    ASSERT_EQ(s.view.field_history, pass.fields) << "theme " << t;
    ASSERT_EQ(s.statistics.saved_as_similar, saved) << "theme " << t;
    ASSERT_EQ(s.view.next_key, next_key) << "theme " << t;
    ASSERT_EQ(configuration.get_check_similarity(), switches.check_similarity);
    ASSERT_EQ(configuration.get_always_yes(), switches.always_yes);
    ASSERT_EQ(configuration.get_group_mode(), switches.group_mode);
    expected_doubles += pass.doubles;
    for (const std::string& line : pass.protocol) expected_protocol.push_back(line);
    // A run that answered Q searches no further theme; start the next one
    // afresh so that every theme is searched.
    switches.check_similarity = 1;
    configuration.set_check_similarity(1);
  }
  doubles.flush();
  EXPECT_EQ(testing::read_file(s.dir.file("doubles")), expected_doubles);
  s.protocol.flush();
  EXPECT_EQ(testing::split_lines(testing::read_file(s.dir.file("protocol"))), expected_protocol);
  EXPECT_GT(saved, 0u);
  EXPECT_EQ(s.statistics.equal_blocks, equal_blocks);
  EXPECT_GT(equal_blocks, 10u);
  EXPECT_EQ(s.statistics.deleted_equal_bytes, equal_bytes);
}

// Mode 0 groups, 1 answers always yes, 2 asks with scripted keys; themes of
// 500 or 13 blocks and more are not searched, or none is too large; then
// large themes.
TEST(SimilarBlocksRandom, EveryModeMatchesThePassAsWritten) {
  for (int mode : {0, 1, 2}) {
    for (uint32_t limit : {500u, 0u, 13u})
      compare_on_random_themes(11 + mode + limit, mode, limit, false, limit == 13);
    compare_on_random_themes(20 + mode, mode, 0, true);
  }
}

}  // namespace
}  // namespace karvel
