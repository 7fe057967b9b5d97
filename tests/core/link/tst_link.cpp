#include "tst_link.h"

#include <QTest>

#include "link/InstrumentProtocol.h"

Bytes Frame(std::uint8_t code, const Bytes &data) {
  Bytes frame{0x55, static_cast<std::uint8_t>(4 + data.size()), code, 0x01};
  frame.insert(frame.end(), data.begin(), data.end());
  frame.push_back(FrameChecksum(frame.data(), static_cast<int>(frame.size())));
  return frame;
}

QTEST_GUILESS_MAIN(TestLink)
