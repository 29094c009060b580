// The blocks of the theme being processed, as the theme passes see them: for
// the theme workspace and its passes (exchange sort, equal blocks, similar
// blocks).
//
// Only numbers are held, never text: a block's bytes are read again from the
// source by its offset when a pass needs them, so memory stays proportional
// to the number of blocks of the theme.
//
// Two index spaces are used throughout, and mixing them is the mistake to
// avoid:
//   - the theme-local index k (0 .. block_count - 1): the order in which the
//     theme's blocks were loaded, which is source order. start_lines and
//     numbers_blocks_in_theme are indexed by k.
//   - the sorted position p (0 .. block_count - 1): the order after
//     sort_by_length. real_numbers maps p to k; theme_bitmap is indexed by p.
//
// Lengths are true line-read counts, the ending empty line included, however
// long a block is: start_lines[k + 1] - start_lines[k], taken modulo 2^32 so
// that a theme of more than 4G line reads still gives each block its length.

#ifndef KARVEL_THEMES_THEME_BLOCKS_H_
#define KARVEL_THEMES_THEME_BLOCKS_H_

#include <cstdint>
#include <vector>

namespace karvel {

struct ThemeBlocks {
  uint32_t line_count = 0;            // line reads of the loaded theme
  uint32_t block_count = 0;           // blocks of the loaded theme
  std::vector<uint32_t> start_lines;  // by k: line reads before block k; [block_count] = line_count
  std::vector<uint32_t> numbers_blocks_in_theme;  // by k: the block's number in the BlockIndex
  std::vector<uint32_t> real_numbers;             // by p: theme-local index k of the block at p
  std::vector<uint8_t> theme_bitmap;              // by p: 1 while the block at p takes part

  // Line reads of the theme's block k (theme-local index).
  uint32_t length_of(uint32_t k) const { return start_lines[k + 1] - start_lines[k]; }

  // Line reads of the block at sorted position p.
  uint32_t get_length(uint32_t p) const { return length_of(real_numbers[p]); }

  uint32_t get_real_number(uint32_t p) const { return real_numbers[p]; }
  void set_real_number(uint32_t p, uint32_t k) { real_numbers[p] = k; }

  // BlockIndex number of the block at sorted position p.
  uint32_t block_at(uint32_t p) const { return numbers_blocks_in_theme[real_numbers[p]]; }

  bool is_alive(uint32_t p) const { return theme_bitmap[p] != 0; }
};

}  // namespace karvel

#endif  // KARVEL_THEMES_THEME_BLOCKS_H_
