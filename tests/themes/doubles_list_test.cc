// The doubles list: grouping of pairs, the group-start flag and a long list.

#include "themes/doubles_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace karvel {
namespace {

std::vector<uint32_t> entries(const DoublesList& list) {
  std::vector<uint32_t> all;
  for (uint32_t k = 0; k < list.get_count(); ++k) all.push_back(list.get_entry(k));
  return all;
}

TEST(DoublesList, PairsGroupAroundTheirLeftBlock) {
  DoublesList list;
  PairResult result;
  ASSERT_TRUE(list.add_pair(10, 11, &result).ok());
  EXPECT_EQ(result, PAIR_NEW_GROUP);
  ASSERT_TRUE(list.add_pair(10, 12, &result).ok());
  EXPECT_EQ(result, PAIR_SECOND_JOINED);
  ASSERT_TRUE(list.add_pair(10, 13, &result).ok());
  EXPECT_EQ(entries(list), (std::vector<uint32_t>{12, 13, 10 | kGroupStart, 11}));
  // A left block joining a listed right block goes in front of it.
  ASSERT_TRUE(list.add_pair(5, 11, &result).ok());
  EXPECT_EQ(result, PAIR_FIRST_JOINED);
  EXPECT_EQ(entries(list), (std::vector<uint32_t>{12, 13, 10 | kGroupStart, 5, 11}));
  ASSERT_TRUE(list.add_pair(12, 11, &result).ok());
  EXPECT_EQ(result, PAIR_BOTH_LISTED);
  EXPECT_EQ(list.get_count(), 5u);
  // A second group follows the first.
  ASSERT_TRUE(list.add_pair(20, 21, &result).ok());
  EXPECT_EQ(list.get_entry(5), 20 | kGroupStart);
  EXPECT_EQ(list.contains(10), 1);
  EXPECT_EQ(list.contains(10 | kGroupStart), 0);
  uint32_t position = 0;
  EXPECT_TRUE(list.find_position(20, &position).ok());
  EXPECT_EQ(position, 5u);
  Status missing = list.find_position(30, &position);
  EXPECT_EQ(missing.text(), "Bad searching of the block");
  EXPECT_FALSE(missing.plain());
  // A block number reaching into the flag's bit cannot be listed.
  EXPECT_FALSE(list.append(kGroupStart | 1, 0).ok());
  EXPECT_EQ(list.contains(1), 0);
  list.clear();
  EXPECT_EQ(list.get_count(), 0u);
  EXPECT_EQ(list.contains(10), 0);
}

TEST(DoublesList, GrowsPastAThousandEntries) {
  DoublesList list;
  PairResult result;
  for (uint32_t b = 0; b < 3000; b += 2) ASSERT_TRUE(list.add_pair(b, b + 1, &result).ok());
  ASSERT_TRUE(list.add_pair(0, 5000, &result).ok());  // joins the first group
  EXPECT_EQ(result, PAIR_SECOND_JOINED);
  EXPECT_EQ(list.get_count(), 3001u);
  EXPECT_EQ(list.get_entry(0), 5000u);
  EXPECT_EQ(list.get_entry(1), kGroupStart);
  EXPECT_EQ(list.get_entry(3000), 2999u);
}

}  // namespace
}  // namespace karvel
