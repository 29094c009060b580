// Building the keyword automaton: byte classes, the trie in breadth-first
// order, failure and output links, and the dense transition table.

#include "text/keyword_automaton.h"

#include <algorithm>
#include <cstring>

#include "text/keyword_table.h"

namespace karvel {

namespace {

// Ceiling of the dense table: row offsets must leave the flags free.
constexpr size_t kMaxDenseEntries = size_t{1} << 30;

// The child of `node` by class `c`, or kNoNode.
uint32_t child(const KeywordAutomaton& a, uint32_t node, uint32_t c) {
  const uint8_t* begin = a.edge_class.data() + a.first_edge[node];
  const uint8_t* end = a.edge_class.data() + a.first_edge[node + 1];
  const uint8_t* it = std::lower_bound(begin, end, static_cast<uint8_t>(c));
  if (it == end || *it != c) return kNoNode;
  return a.edge_target[a.first_edge[node] + static_cast<size_t>(it - begin)];
}

void assign_byte_classes(const KeywordTable& table, KeywordAutomaton* a) {
  bool used[256] = {};
  for (uint32_t k = 0; k < table.get_keyword_count(); k++) {
    for (const char* p = table.get_keyword(k); *p != '\0'; p++) {
      used[static_cast<unsigned char>(*p)] = true;
    }
  }
  a->class_count = 1;
  for (int b = 0; b < 256; b++) {
    a->byte_class[b] = used[b] ? static_cast<uint8_t>(a->class_count++) : 0;
  }
}

// An edge of the trie as first built, before the nodes are renumbered.
struct TrieEdge {
  uint32_t parent;  // node the edge leaves
  uint8_t cls;      // byte class of the edge
  uint32_t target;  // node the edge enters
};

// Builds the trie from the keywords in sorted order, so that each keyword
// shares the path of its longest common prefix with the one before it.
// Fills `edges` (creation order) and `ends` (node, keyword) pairs; returns the
// number of nodes.
uint32_t build_trie(const KeywordTable& table, const KeywordAutomaton& a,
                    std::vector<TrieEdge>* edges,
                    std::vector<std::pair<uint32_t, uint32_t>>* ends) {
  std::vector<uint32_t> sorted;
  for (uint32_t k = 0; k < table.get_keyword_count(); k++) {
    if (table.get_keyword(k)[0] != '\0') sorted.push_back(k);
  }
  std::sort(sorted.begin(), sorted.end(), [&table](uint32_t x, uint32_t y) {
    int order = strcmp(table.get_keyword(x), table.get_keyword(y));
    return order != 0 ? order < 0 : x < y;
  });
  uint32_t node_count = 1;
  std::vector<uint32_t> path(1, 0);  // nodes along the previous keyword
  const char* previous = "";
  for (uint32_t k : sorted) {
    const char* text = table.get_keyword(k);
    size_t length = strlen(text);
    size_t common = 0;
    while (text[common] != '\0' && text[common] == previous[common]) common++;
    path.resize(length + 1);
    for (size_t d = common; d < length; d++) {
      uint8_t cls = a.byte_class[static_cast<unsigned char>(text[d])];
      edges->push_back(TrieEdge{path[d], cls, node_count});
      path[d + 1] = node_count++;
    }
    ends->emplace_back(path[length], k);
    previous = text;
  }
  return node_count;
}

// Renumbers the trie in breadth-first order and lays out its edges and the
// keywords that end at each node.
void lay_out_breadth_first(uint32_t node_count, const std::vector<TrieEdge>& edges,
                           const std::vector<std::pair<uint32_t, uint32_t>>& ends,
                           uint32_t keyword_count, KeywordAutomaton* a) {
  // Edges grouped by parent, in creation order, which is ascending class.
  std::vector<uint32_t> start(node_count + 1, 0);
  for (const TrieEdge& e : edges) start[e.parent + 1]++;
  for (uint32_t u = 0; u < node_count; u++) start[u + 1] += start[u];
  std::vector<uint32_t> by_parent(edges.size());
  std::vector<uint32_t> fill(start.begin(), start.end() - 1);
  for (uint32_t i = 0; i < edges.size(); i++) by_parent[fill[edges[i].parent]++] = i;

  // Breadth-first order: the children of a node get consecutive numbers.
  std::vector<uint32_t> order(1, 0);  // old numbers in new order
  std::vector<uint32_t> renumber(node_count, 0);
  a->node_count = node_count;
  a->first_edge.assign(node_count + 1, 0);
  a->edge_class.resize(edges.size());
  a->edge_target.resize(edges.size());
  a->depth.assign(node_count, 0);
  for (uint32_t next = 0; next < order.size(); next++) {
    uint32_t old = order[next];
    a->first_edge[next] = static_cast<uint32_t>(order.size() - 1);
    for (uint32_t i = start[old]; i < start[old + 1]; i++) {
      const TrieEdge& e = edges[by_parent[i]];
      uint32_t slot = static_cast<uint32_t>(order.size() - 1);
      renumber[e.target] = static_cast<uint32_t>(order.size());
      a->edge_class[slot] = e.cls;
      a->edge_target[slot] = static_cast<uint32_t>(order.size());
      a->depth[order.size()] = a->depth[next] + 1;
      order.push_back(e.target);
    }
  }
  a->first_edge[node_count] = static_cast<uint32_t>(edges.size());

  // Keywords per node; `ends` lists them in ascending order per node.
  a->first_keyword.assign(node_count + 1, 0);
  for (const auto& end : ends) a->first_keyword[renumber[end.first] + 1]++;
  for (uint32_t u = 0; u < node_count; u++) a->first_keyword[u + 1] += a->first_keyword[u];
  a->keyword_list.resize(ends.size());
  std::vector<uint32_t> slot(a->first_keyword.begin(), a->first_keyword.end() - 1);
  a->keyword_node.assign(keyword_count, kNoNode);
  for (const auto& end : ends) {
    uint32_t u = renumber[end.first];
    a->keyword_list[slot[u]++] = end.second;
    a->keyword_node[end.second] = u;
  }
}

void link_failures(KeywordAutomaton* a) {
  uint32_t n = a->node_count;
  a->fail.assign(n, 0);
  a->output.assign(n, kNoNode);
  a->next_output.assign(n, kNoNode);
  a->root_next.assign(a->class_count, 0);
  for (uint32_t e = a->first_edge[0]; e < a->first_edge[1]; e++) {
    a->root_next[a->edge_class[e]] = a->edge_target[e];
  }
  // Breadth-first order: the failure link of a node is settled before its
  // children need it.
  for (uint32_t u = 0; u < n; u++) {
    for (uint32_t e = a->first_edge[u]; e < a->first_edge[u + 1]; e++) {
      uint32_t v = a->edge_target[e];
      a->fail[v] = u == 0 ? 0 : next_node(*a, a->fail[u], a->edge_class[e]);
    }
    if (u != 0) {
      bool ends_keywords = a->first_keyword[u + 1] > a->first_keyword[u];
      a->next_output[u] = a->output[a->fail[u]];
      a->output[u] = ends_keywords ? u : a->next_output[u];
    }
  }
}

void build_dense_table(size_t dense_state_limit, KeywordAutomaton* a) {
  uint32_t shift = 0;
  while ((uint32_t{1} << shift) < a->class_count) shift++;
  size_t width = size_t{1} << shift;
  size_t limit = std::min(dense_state_limit, kMaxDenseEntries);
  uint32_t rows = static_cast<uint32_t>(std::min<size_t>(a->node_count, limit / width));
  a->row_shift = shift;
  a->dense_rows = rows;
  a->dense.assign(static_cast<size_t>(rows) << shift, 0);
  auto entry = [a, shift, rows](uint32_t v) {
    uint32_t value = v < rows ? v << shift : v | kBeyondDenseFlag;
    return value | (a->output[v] != kNoNode ? kOutputFlag : 0);
  };
  if (rows == 0) return;
  for (uint32_t c = 0; c < a->class_count; c++) a->dense[c] = entry(a->root_next[c]);
  // A node's failure link comes before it, so its row is already there.
  for (uint32_t u = 1; u < rows; u++) {
    uint32_t* row = &a->dense[static_cast<size_t>(u) << shift];
    const uint32_t* fail_row = &a->dense[static_cast<size_t>(a->fail[u]) << shift];
    memcpy(row, fail_row, a->class_count * sizeof(uint32_t));
    for (uint32_t e = a->first_edge[u]; e < a->first_edge[u + 1]; e++) {
      row[a->edge_class[e]] = entry(a->edge_target[e]);
    }
  }
  a->compact.clear();
  if (rows == a->node_count && a->node_count < kCompactOutputFlag) {
    a->compact.resize(a->dense.size());
    for (size_t i = 0; i < a->dense.size(); i++) {
      uint32_t e = a->dense[i];
      uint32_t node = (e & kEntryValueMask) >> shift;
      a->compact[i] = static_cast<uint16_t>(node | (e & kOutputFlag ? kCompactOutputFlag : 0));
    }
  }
}

}  // namespace

uint32_t next_node(const KeywordAutomaton& a, uint32_t node, uint32_t byte_class) {
  for (;;) {
    if (node == 0) return a.root_next[byte_class];
    uint32_t v = child(a, node, byte_class);
    if (v != kNoNode) return v;
    node = a.fail[node];
  }
}

uint32_t next_node_by_rows(const KeywordAutomaton& a, uint32_t node, uint32_t byte_class) {
  for (;;) {
    if (node < a.dense_rows) {
      uint32_t entry = a.dense[(static_cast<size_t>(node) << a.row_shift) + byte_class];
      uint32_t value = entry & kEntryValueMask;
      return entry & kBeyondDenseFlag ? value : value >> a.row_shift;
    }
    if (node == 0) return a.root_next[byte_class];
    uint32_t v = child(a, node, byte_class);
    if (v != kNoNode) return v;
    node = a.fail[node];
  }
}

void build_keyword_automaton(const KeywordTable& table, size_t dense_state_limit, bool filtered,
                             KeywordAutomaton* a) {
  assign_byte_classes(table, a);
  std::vector<TrieEdge> edges;
  std::vector<std::pair<uint32_t, uint32_t>> ends;
  uint32_t node_count = build_trie(table, *a, &edges, &ends);
  lay_out_breadth_first(node_count, edges, ends, table.get_keyword_count(), a);
  link_failures(a);
  build_dense_table(dense_state_limit, a);
  build_keyword_filter(table, &a->filter, filtered);
  a->empty_keywords.clear();
  for (uint32_t k = 0; k < table.get_keyword_count(); k++) {
    if (table.get_keyword(k)[0] == '\0') a->empty_keywords.push_back(k);
  }
}

}  // namespace karvel
