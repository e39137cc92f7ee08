// The content filter: finds the first content rule, in list order, whose pattern occurs in the
// payload text of a network event. ASCII letters match without regard to case (pattern and text
// are both upper-cased); every other byte matches exactly, so "." also matches the bytes that
// the payload text replaced by "."; an empty pattern never matches.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/stores/ListModel.h"

namespace palisor::engine {

// A set of patterns searched for all at once (an Aho-Corasick automaton): one pass over the
// text gives the lowest index among the patterns that occur in it. While its transition table
// stays within `denseLimit` entries the automaton is a full table over byte classes (one lookup
// per byte); beyond that it follows failure links over a sparse trie.
class PatternSearch {
 public:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  static constexpr std::size_t kDefaultDenseLimit = 4 * 1024 * 1024;  // entries of 4 bytes

  // `patterns[i]` has index i; they are upper-cased here.
  void Build(const std::vector<std::string_view>& patterns, std::size_t denseLimit = kDefaultDenseLimit);
  // Lowest index of a pattern occurring in `text` upper-cased, or kNone.
  std::size_t FindLowest(std::string_view text) const;
  bool IsDense() const { return !dense_.empty(); }

 private:
  static constexpr std::uint32_t kNoNode = 0xFFFFFFFFu;
  static constexpr std::uint32_t kNoPattern = 0xFFFFFFFFu;

  struct Node {
    std::uint32_t firstEdge = 0, edgeCount = 0;
    std::uint32_t fail = 0;
    std::uint32_t lowest = kNoPattern;  // lowest pattern ending here or at a suffix of this node
  };

  // Texts shorter than this are scanned in one stream.
  static constexpr std::size_t kMinStreamedText = 256;
  static constexpr std::size_t kStreams = 4;

  std::uint32_t Child(std::uint32_t node, unsigned char byte) const;
  std::uint32_t Step(std::uint32_t node, unsigned char byte) const;
  void BuildDense(const std::vector<std::uint32_t>& breadthFirst, std::size_t denseLimit);
  std::size_t FindLowestSparse(std::string_view text) const;
  std::size_t FindLowestDense(std::string_view text) const;
  void ScanDense(std::string_view text, std::uint32_t& best) const;
  // Scans `window` bytes from each of the starts side by side.
  void ScanDenseStreams(const std::array<const unsigned char*, kStreams>& at, std::size_t window,
                        std::uint32_t& best) const;
  // A state where a pattern ends: its lowest pattern, if lower, becomes `best`.
  void Ended(std::uint32_t state, std::uint32_t& best) const;

  std::vector<Node> nodes_;  // node 0 is the root
  std::vector<unsigned char> edgeBytes_;  // per node, its children's bytes in ascending order
  std::vector<std::uint32_t> edgeTargets_;
  std::array<std::uint32_t, 256> rootNext_{};  // the root's transitions, all of them
  std::uint32_t firstPattern_ = kNoPattern;  // lowest index of a non-empty pattern: no better match exists
  std::size_t longestPattern_ = 0;

  // The dense form: every byte's class (0 for bytes in no pattern; a lower-case letter shares its
  // upper-case letter's class) and the table of state offset + class -> the next state's offset
  // (its row times the class count). Rows from acceptFrom_ on are the states where a pattern
  // ends, with their lowest pattern in lowestOfEnding_.
  std::array<std::uint32_t, 256> classOf_{};
  std::uint32_t classCount_ = 1;
  std::vector<std::uint32_t> dense_;
  std::uint32_t acceptFrom_ = 0;
  std::vector<std::uint32_t> lowestOfEnding_;
};

class ContentFilter {
 public:
  static constexpr std::size_t kNoMatch = PatternSearch::kNone;

  // The two parallel lists of the content rules; read in place, never copied per event.
  ContentFilter(const stores::ListModel& patterns, const stores::ListModel& actions)
      : patterns_(patterns), actions_(actions) {}

  // Index of the first content rule whose pattern occurs in `payloadText`, or kNoMatch. The
  // search structure is rebuilt only after the lists changed. A pattern without a verdict beside
  // it (the lists differ in length) is no rule.
  std::size_t FindFirstMatch(std::string_view payloadText);

 private:
  const stores::ListModel& patterns_;
  const stores::ListModel& actions_;
  PatternSearch search_;
  std::uint64_t patternsRevision_ = ~std::uint64_t{0}, actionsRevision_ = ~std::uint64_t{0};
  bool usePlainScan_ = false;  // the automaton could not be built for the current patterns
};

// Number of content rules: rows that have both a pattern and a verdict.
std::size_t ContentRuleCount(const stores::ListModel& patterns, const stores::ListModel& actions);

// The same result as ContentFilter::FindFirstMatch by trying each pattern in turn over the whole
// upper-cased text. The reference for tests and benchmarks.
std::size_t FindFirstMatchPlain(const stores::ListModel& patterns, const stores::ListModel& actions,
                                std::string_view payloadText);

}  // namespace palisor::engine
