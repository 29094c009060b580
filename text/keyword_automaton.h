// The automaton behind KeywordMatcher: an Aho-Corasick automaton over the
// folded keywords of a KeywordTable, for use by keyword_matcher.cc only.
//
// Nodes form the trie of the non-empty keywords, numbered in breadth-first
// order (node 0 is the root), so a node's failure link always has a smaller
// number and the rows of shallow nodes lie together. Bytes that occur in no
// keyword share byte class 0, which always leads back to the root.
//
// The dense transition table has a row for each of the first dense_rows
// nodes, as many as the dense limit allows: entry (row of node) + class holds
// the row of the next node, with kOutputFlag set when a keyword ends there or
// on its failure chain. When the limit leaves out the deeper nodes, an entry
// leading to one of them holds its node number with kBeyondDenseFlag, and from
// there the matcher follows trie edges and failure links until they lead back
// to a node with a row. Shallow nodes, where matching spends most of its
// time, keep their rows either way.
//
// An automaton of fewer than 32768 nodes, all with rows, also gets the same
// table with 16-bit entries (node number, kCompactOutputFlag): half the size,
// so more of it stays in the processor's caches.
//
// The filter of keyword_filter.h, built with the automaton, tells the matcher
// where in a line a keyword may begin.

#ifndef KARVEL_TEXT_KEYWORD_AUTOMATON_H_
#define KARVEL_TEXT_KEYWORD_AUTOMATON_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "text/keyword_filter.h"

namespace karvel {

class KeywordTable;

inline constexpr uint32_t kNoNode = 0xFFFFFFFF;
inline constexpr uint32_t kOutputFlag = 0x80000000;       // in dense table entries
inline constexpr uint32_t kBeyondDenseFlag = 0x40000000;  // entry holds a node, not a row
inline constexpr uint32_t kEntryValueMask = 0x3FFFFFFF;   // row offset or node
inline constexpr uint16_t kCompactOutputFlag = 0x8000;    // in compact table entries

struct KeywordAutomaton {
  uint8_t byte_class[256];               // class of each byte value; 0: in no keyword
  uint32_t class_count = 1;              // classes in use, class 0 included
  uint32_t node_count = 1;               // trie nodes, the root included
  std::vector<uint32_t> depth;           // length of the keyword prefix a node spells
  std::vector<uint32_t> fail;            // failure link: longest proper suffix node
  std::vector<uint32_t> first_edge;      // edges of node u: [first_edge[u], first_edge[u + 1])
  std::vector<uint8_t> edge_class;       // byte class of an edge, ascending per node
  std::vector<uint32_t> edge_target;     // child node of an edge
  std::vector<uint32_t> root_next;       // next node from the root, per class
  std::vector<uint32_t> output;          // first node ending keywords on the failure chain
                                         // of u (u itself included), or kNoNode
  std::vector<uint32_t> next_output;     // the node ending keywords after u on its chain
  std::vector<uint32_t> first_keyword;   // keywords ending at u: [first_keyword[u],
                                         // first_keyword[u + 1]) of keyword_list
  std::vector<uint32_t> keyword_list;    // keyword indices, ascending per node
  std::vector<uint32_t> keyword_node;    // node of keyword k; kNoNode when k is empty
  std::vector<uint32_t> empty_keywords;  // indices of the empty keywords, ascending
  uint32_t row_shift = 0;                // dense rows are 1 << row_shift entries wide
  uint32_t dense_rows = 0;               // nodes 0 .. dense_rows - 1 have a dense row
  std::vector<uint32_t> dense;           // the dense rows, one after the other
  std::vector<uint16_t> compact;         // 16-bit twin of dense, when small enough
  KeywordFilter filter;                  // positions where a keyword may begin
};

// Builds the automaton of the keywords of `table`, with its filter when
// `filtered`. The dense table gets at most `dense_state_limit` entries.
void build_keyword_automaton(const KeywordTable& table, size_t dense_state_limit, bool filtered,
                             KeywordAutomaton* automaton);

// The node reached from `node` by a byte of class `byte_class`, following
// trie edges and failure links only.
uint32_t next_node(const KeywordAutomaton& automaton, uint32_t node, uint32_t byte_class);

// The same node, taking the dense row of the first node on the way that has
// one.
uint32_t next_node_by_rows(const KeywordAutomaton& automaton, uint32_t node, uint32_t byte_class);

}  // namespace karvel

#endif  // KARVEL_TEXT_KEYWORD_AUTOMATON_H_
