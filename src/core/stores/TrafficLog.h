// The traffic log: the list TrafficLog, one row per kind of connection with its hit count, and
// the packet log file "NetLog.txt". A kind of connection is application, protocol, source
// address, destination address and operation (not the ports).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/stores/ListModel.h"
#include "core/stores/StoreFile.h"

namespace palisor::stores {

class TrafficLog {
 public:
  static constexpr const char* kPacketLogFile = "NetLog.txt";

  // Columns of a row (Row::Column): caption "Date and Time", then the sub-items.
  enum Column : std::size_t {
    kDateTime = 0, kApplication, kProtocol, kSourceIp, kSourcePort, kDestIp, kDestPort, kAction, kHits, kOperation
  };

  struct Connection {
    std::string_view application, protocol, sourceIp, sourcePort, destIp, destPort, operation;
  };

  // `programDirectory` ends with its path separator (or is empty for the current directory).
  explicit TrafficLog(const std::string& programDirectory);

  ListModel rows{9};  // TrafficLog

  // Folds one decided event into the list: the first row of the same kind takes the time, the
  // event's two ports and one more hit (its Action stays that of the first event); without such
  // a row a new row is appended with the verdict and 1 hit. One hash lookup, however long the
  // list, with the same result as searching the rows from the top.
  void Fold(const Connection& event, std::string_view dateTime, bool pass);

  StoreFile& PacketLog() { return packetLog_; }

 private:
  void EnsureIndexCurrent();
  static void AppendKindKey(std::string& key, std::string_view application, std::string_view protocol,
                            std::string_view sourceIp, std::string_view destIp, std::string_view operation);
  static void AppendRowKindKey(std::string& key, const Row& row);

  StoreFile packetLog_;
  // Kind key -> index of the first row of that kind. Rebuilt when the rows changed by any other
  // way than Fold (their revision tells).
  std::unordered_map<std::string, std::size_t> firstRowOfKind_;
  std::uint64_t indexRevision_ = ~std::uint64_t{0};
  std::string keyScratch_;
};

}  // namespace palisor::stores
