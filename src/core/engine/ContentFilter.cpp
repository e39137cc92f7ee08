#include "core/engine/ContentFilter.h"

#include <algorithm>
#include <new>
#include <numeric>
#include <string>

#include "core/support/AuxStr.h"

namespace palisor::engine {

namespace {

unsigned char Upper(unsigned char byte) { return static_cast<unsigned char>(support::AuxUpperChar(static_cast<char>(byte))); }

}  // namespace

void PatternSearch::Build(const std::vector<std::string_view>& patterns, std::size_t denseLimit) {
  nodes_.assign(1, Node{});
  edgeBytes_.clear();
  edgeTargets_.clear();
  rootNext_.fill(0);
  firstPattern_ = kNoPattern;
  dense_.clear();

  // The trie, built from the patterns in byte order so that every node's children arrive in
  // ascending order and the child to descend to is always its newest one.
  std::vector<std::string> upper(patterns.size());
  for (std::size_t i = 0; i < patterns.size(); ++i) upper[i] = support::AuxUpperCase(patterns[i]);
  std::vector<std::uint32_t> order(patterns.size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return upper[a] < upper[b]; });

  std::vector<std::vector<std::pair<unsigned char, std::uint32_t>>> children(1);
  for (std::uint32_t index : order) {
    const std::string& pattern = upper[index];
    if (pattern.empty()) continue;
    std::uint32_t node = 0;
    for (char c : pattern) {
      const auto byte = static_cast<unsigned char>(c);
      auto& kids = children[node];
      if (kids.empty() || kids.back().first != byte) {
        kids.emplace_back(byte, static_cast<std::uint32_t>(nodes_.size()));
        nodes_.emplace_back();
        children.emplace_back();
      }
      node = children[node].back().second;
    }
    nodes_[node].lowest = std::min(nodes_[node].lowest, index);
    firstPattern_ = std::min(firstPattern_, index);
  }

  for (std::uint32_t node = 0; node < nodes_.size(); ++node) {
    nodes_[node].firstEdge = static_cast<std::uint32_t>(edgeBytes_.size());
    nodes_[node].edgeCount = static_cast<std::uint32_t>(children[node].size());
    for (const auto& [byte, child] : children[node]) {
      edgeBytes_.push_back(byte);
      edgeTargets_.push_back(child);
    }
  }
  for (const auto& [byte, child] : children[0]) rootNext_[byte] = child;
  children.clear();

  // Failure links breadth first: a node's suffix is always shallower, so it is done before it.
  std::vector<std::uint32_t> breadthFirst{0};
  breadthFirst.reserve(nodes_.size());
  for (std::size_t at = 0; at < breadthFirst.size(); ++at) {
    const std::uint32_t node = breadthFirst[at];
    const Node parent = nodes_[node];
    for (std::uint32_t e = parent.firstEdge; e < parent.firstEdge + parent.edgeCount; ++e) {
      const std::uint32_t child = edgeTargets_[e];
      const std::uint32_t fail = node == 0 ? 0 : Step(parent.fail, edgeBytes_[e]);
      nodes_[child].fail = fail;
      nodes_[child].lowest = std::min(nodes_[child].lowest, nodes_[fail].lowest);
      breadthFirst.push_back(child);
    }
  }
  BuildDense(breadthFirst, denseLimit);
}

void PatternSearch::BuildDense(const std::vector<std::uint32_t>& breadthFirst, std::size_t denseLimit) {
  classOf_.fill(0);
  std::vector<unsigned char> classByte{0};  // class -> a byte of it (class 0: no pattern's byte)
  for (unsigned char byte : edgeBytes_) {
    if (classOf_[byte] != 0) continue;
    classOf_[byte] = static_cast<std::uint32_t>(classByte.size());
    classByte.push_back(byte);
  }
  for (int c = 'a'; c <= 'z'; ++c) classOf_[c] = classOf_[c - 'a' + 'A'];
  classCount_ = static_cast<std::uint32_t>(classByte.size());
  const std::size_t entries = nodes_.size() * classCount_;
  if (firstPattern_ == kNoPattern || entries > denseLimit || entries >= kEndsPattern) return;

  // A state's missing transitions are those of its failure state, which comes earlier breadth
  // first; class 0 always leads back to the root.
  dense_.assign(entries, 0);
  auto entry = [&](std::uint32_t target) {
    return target * classCount_ | (nodes_[target].lowest != kNoPattern ? kEndsPattern : 0);
  };
  for (std::uint32_t node : breadthFirst) {
    std::uint32_t* row = dense_.data() + std::size_t{node} * classCount_;
    const std::uint32_t* failRow = dense_.data() + std::size_t{nodes_[node].fail} * classCount_;
    for (std::uint32_t c = 1; c < classCount_; ++c) {
      const std::uint32_t child = node == 0 ? rootNext_[classByte[c]] : Child(node, classByte[c]);
      row[c] = child != kNoNode && (node != 0 || child != 0) ? entry(child) : (node == 0 ? 0 : failRow[c]);
    }
  }
}

std::uint32_t PatternSearch::Child(std::uint32_t node, unsigned char byte) const {
  const Node& n = nodes_[node];
  const unsigned char* first = edgeBytes_.data() + n.firstEdge;
  const unsigned char* last = first + n.edgeCount;
  const unsigned char* found = n.edgeCount <= 8 ? std::find(first, last, byte) : std::lower_bound(first, last, byte);
  if (found == last || *found != byte) return kNoNode;
  return edgeTargets_[static_cast<std::size_t>(found - edgeBytes_.data())];
}

std::uint32_t PatternSearch::Step(std::uint32_t node, unsigned char byte) const {
  for (;;) {
    if (node == 0) return rootNext_[byte];
    const std::uint32_t next = Child(node, byte);
    if (next != kNoNode) return next;
    node = nodes_[node].fail;
  }
}

std::size_t PatternSearch::FindLowest(std::string_view text) const {
  if (firstPattern_ == kNoPattern) return kNone;
  return IsDense() ? FindLowestDense(text) : FindLowestSparse(text);
}

std::size_t PatternSearch::FindLowestDense(std::string_view text) const {
  const std::uint32_t* table = dense_.data();
  std::uint32_t state = 0;  // offset of the state's row
  std::uint32_t best = kNoPattern;
  for (char c : text) {
    state = table[state + classOf_[static_cast<unsigned char>(c)]];
    if (state & kEndsPattern) {
      state &= ~kEndsPattern;
      const std::uint32_t lowest = nodes_[state / classCount_].lowest;
      if (lowest < best) {
        best = lowest;
        if (best == firstPattern_) break;  // no pattern comes before it
      }
    }
  }
  return best == kNoPattern ? kNone : best;
}

std::size_t PatternSearch::FindLowestSparse(std::string_view text) const {
  std::uint32_t node = 0;
  std::uint32_t best = kNoPattern;
  for (char c : text) {
    node = Step(node, Upper(static_cast<unsigned char>(c)));
    const std::uint32_t lowest = nodes_[node].lowest;
    if (lowest < best) {
      best = lowest;
      if (best == firstPattern_) break;  // no pattern comes before it
    }
  }
  return best == kNoPattern ? kNone : best;
}

std::size_t ContentRuleCount(const stores::ListModel& patterns, const stores::ListModel& actions) {
  return std::min(patterns.Count(), actions.Count());
}

std::size_t ContentFilter::FindFirstMatch(std::string_view payloadText) {
  if (patternsRevision_ != patterns_.Revision() || actionsRevision_ != actions_.Revision()) {
    patternsRevision_ = patterns_.Revision();
    actionsRevision_ = actions_.Revision();
    usePlainScan_ = false;
    try {
      std::vector<std::string_view> patterns(ContentRuleCount(patterns_, actions_));
      for (std::size_t i = 0; i < patterns.size(); ++i) patterns[i] = patterns_.At(i).caption;
      search_.Build(patterns);
    } catch (const std::bad_alloc&) {
      // Patterns too many for the automaton's memory: search them one by one until they change,
      // rather than trying the build again at every event.
      search_ = PatternSearch();
      usePlainScan_ = true;
    }
  }
  if (usePlainScan_) return FindFirstMatchPlain(patterns_, actions_, payloadText);
  return search_.FindLowest(payloadText);
}

std::size_t FindFirstMatchPlain(const stores::ListModel& patterns, const stores::ListModel& actions,
                                std::string_view payloadText) {
  const std::string text = support::AuxUpperCase(payloadText);
  const std::size_t count = ContentRuleCount(patterns, actions);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string pattern = support::AuxUpperCase(patterns.At(i).caption);
    if (!pattern.empty() && text.find(pattern) != std::string::npos) return i;
  }
  return ContentFilter::kNoMatch;
}

}  // namespace palisor::engine
