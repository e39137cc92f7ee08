// Helpers of the store tests: file contents and store records as bytes.
#pragma once

#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "core/stores/ListModel.h"

namespace palisor::testing {

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The store encoding of one record: each field followed by a NUL byte.
inline std::string Record(std::initializer_list<std::string_view> fields) {
  std::string bytes;
  for (std::string_view field : fields) bytes.append(field).push_back('\0');
  return bytes;
}

// A row as its columns (caption first), for comparing with a table.
inline std::vector<std::string> Columns(const stores::Row& row) {
  std::vector<std::string> columns{row.caption};
  columns.insert(columns.end(), row.subItems.begin(), row.subItems.end());
  return columns;
}

inline std::vector<std::vector<std::string>> AllColumns(const stores::ListModel& list) {
  std::vector<std::vector<std::string>> rows;
  for (const stores::Row& row : list.Rows()) rows.push_back(Columns(row));
  return rows;
}

}  // namespace palisor::testing
