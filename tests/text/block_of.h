// A block for the tests of the keyword rules: its lines folded as the block
// reader stores them.

#ifndef KARVEL_TESTS_TEXT_BLOCK_OF_H_
#define KARVEL_TESTS_TEXT_BLOCK_OF_H_

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "text/current_block.h"

namespace karvel {

inline CurrentBlock block_of(const std::vector<std::string>& lines) {
  CurrentBlock block;
  EXPECT_TRUE(block.create(static_cast<uint32_t>(lines.size()) + 1).ok());
  for (const std::string& line : lines) EXPECT_TRUE(block.append_line(line.c_str()).ok());
  return block;
}

}  // namespace karvel

#endif  // KARVEL_TESTS_TEXT_BLOCK_OF_H_
