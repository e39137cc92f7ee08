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
  longestPattern_ = 0;
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
    longestPattern_ = std::max(longestPattern_, pattern.size());
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

// The dense rows are laid out breadth first, so the shallow states that a scan mostly visits lie
// together; the states where a pattern ends come after all others, so that "a pattern ends here"
// is one comparison of the state's offset and costs the scan's chain of lookups nothing.
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
  if (firstPattern_ == kNoPattern || entries > denseLimit || entries > 0xFFFFFFFFu) return;

  std::vector<std::uint32_t> rowOf(nodes_.size());
  std::uint32_t row = 0;
  for (bool ending : {false, true}) {
    if (ending) acceptFrom_ = row * classCount_;
    for (std::uint32_t node : breadthFirst) {
      if ((nodes_[node].lowest != kNoPattern) == ending) rowOf[node] = row++;
    }
  }
  lowestOfEnding_.assign(nodes_.size() - acceptFrom_ / classCount_, kNoPattern);
  for (std::uint32_t node : breadthFirst) {
    if (nodes_[node].lowest != kNoPattern) lowestOfEnding_[rowOf[node] - acceptFrom_ / classCount_] = nodes_[node].lowest;
  }

  // A state's missing transitions are those of its failure state, which comes earlier breadth
  // first; class 0 always leads back to the root.
  dense_.assign(entries, 0);
  for (std::uint32_t node : breadthFirst) {
    std::uint32_t* entry = dense_.data() + std::size_t{rowOf[node]} * classCount_;
    const std::uint32_t* failEntry = dense_.data() + std::size_t{rowOf[nodes_[node].fail]} * classCount_;
    for (std::uint32_t c = 1; c < classCount_; ++c) {
      const std::uint32_t child = node == 0 ? rootNext_[classByte[c]] : Child(node, classByte[c]);
      if (child != kNoNode && (node != 0 || child != 0)) entry[c] = rowOf[child] * classCount_;
      else entry[c] = node == 0 ? 0 : failEntry[c];
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

// The text is cut into kStreams windows that overlap by the longest pattern less one byte, so
// each occurrence lies whole in one of them, and the windows are scanned side by side: each step
// of one scan waits for its table lookup, the others' lookups run meanwhile.
std::size_t PatternSearch::FindLowestDense(std::string_view text) const {
  const std::size_t overlap = longestPattern_ - 1;
  const std::size_t length = text.size();
  std::uint32_t best = kNoPattern;
  if (length < kMinStreamedText || overlap * kStreams * 2 > length) {
    ScanDense(text, best);
  } else {
    const std::size_t window = (length + kStreams - 1) / kStreams + overlap;
    std::array<const unsigned char*, kStreams> at;
    for (std::size_t i = 0; i < kStreams; ++i) {
      const std::size_t start = i == 0 ? 0 : std::min(i * (window - overlap) - overlap, length - window);
      at[i] = reinterpret_cast<const unsigned char*>(text.data()) + start;
    }
    ScanDenseStreams(at, window, best);
  }
  return best == kNoPattern ? kNone : best;
}

void PatternSearch::Ended(std::uint32_t state, std::uint32_t& best) const {
  const std::uint32_t lowest = lowestOfEnding_[(state - acceptFrom_) / classCount_];
  if (lowest < best) best = lowest;
}

void PatternSearch::ScanDense(std::string_view text, std::uint32_t& best) const {
  const std::uint32_t* table = dense_.data();
  std::uint32_t state = 0;  // offset of the state's row
  for (char c : text) {
    state = table[state + classOf_[static_cast<unsigned char>(c)]];
    if (state >= acceptFrom_) {
      Ended(state, best);
      if (best == firstPattern_) return;  // no pattern comes before it
    }
  }
}

void PatternSearch::ScanDenseStreams(const std::array<const unsigned char*, kStreams>& at, std::size_t window,
                                     std::uint32_t& best) const {
  static_assert(kStreams == 4);
  const std::uint32_t* table = dense_.data();
  const std::uint32_t* classOf = classOf_.data();
  const std::uint32_t acceptFrom = acceptFrom_;
  std::uint32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
  const unsigned char *p0 = at[0], *p1 = at[1], *p2 = at[2], *p3 = at[3];
  for (std::size_t i = 0; i < window; ++i) {
    s0 = table[s0 + classOf[p0[i]]];
    s1 = table[s1 + classOf[p1[i]]];
    s2 = table[s2 + classOf[p2[i]]];
    s3 = table[s3 + classOf[p3[i]]];
    if ((s0 >= acceptFrom) | (s1 >= acceptFrom) | (s2 >= acceptFrom) | (s3 >= acceptFrom)) {
      for (std::uint32_t state : {s0, s1, s2, s3}) {
        if (state >= acceptFrom) Ended(state, best);
      }
      if (best == firstPattern_) return;  // no pattern comes before it
    }
  }
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
