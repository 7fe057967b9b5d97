#pragma once
#include <cstdint>
#include <vector>

// The raw history area an instrument's history is transferred into: the data
// bytes of every history block, concatenated in the order received.
struct HistoryArea {
  static constexpr int Capacity = 266340;
  std::vector<std::uint8_t> HistoryData = std::vector<std::uint8_t>(Capacity, 0);
  int HistoryLength = 0; // valid bytes in HistoryData
};
