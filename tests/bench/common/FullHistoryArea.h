#pragma once
// A full history area (266,340 bytes, 13,317 records) of valid records of
// every kind the instrument writes, built once.
#include <cstdint>
#include <cstring>
#include <vector>

#include "history/HistoryRecord.h"
#include "link/HistoryArea.h"

inline const std::vector<std::uint8_t> &FullHistoryArea() {
  static const std::vector<std::uint8_t> area = [] {
    static const std::uint8_t kinds[] = {1, 2, 3, 4, 5, 16, 32, 64};
    std::vector<std::uint8_t> a(HistoryArea::Capacity);
    for (int i = 0; i < HistoryArea::Capacity / HistoryRecord::Size; ++i) {
      std::uint8_t *r = a.data() + i * HistoryRecord::Size;
      r[0] = std::uint8_t(1 + i % 28), r[1] = std::uint8_t(1 + i / 28 % 12),
      r[2] = std::uint8_t(24 + i / 336 % 10), r[3] = std::uint8_t(i % 24),
      r[4] = std::uint8_t(i % 60), r[5] = kinds[i % 8];
      const float rate = 1e-7f * float(i), dose = 1e-6f * float(i);
      std::memcpy(r + 6, &rate, 4);
      r[10] = std::uint8_t(i), r[11] = std::uint8_t(i >> 8);
      std::memcpy(r + 12, &dose, 4);
    }
    return a;
  }();
  return area;
}
