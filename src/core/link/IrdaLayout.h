#pragma once
#include <cstdint>
#include <cstring>

// The IrDA records exchanged with the socket layer, byte for byte as the
// Windows IrDA stack lays them out. Multi-byte numbers are little-endian.

// IrDA socket address, 32 bytes.
struct SOCKADDR_IRDA {
  std::uint16_t irdaAddressFamily = 26; // AF_IRDA
  std::uint8_t irdaDeviceID[4] = {};
  char irdaServiceName[25] = "IrDA:IrCOMM";
  std::uint8_t irdaPadding = 0;
};
static_assert(sizeof(SOCKADDR_IRDA) == 32);

// One entry of the device list, 29 bytes.
struct IRDA_DEVICE_INFO {
  std::uint8_t irdaDeviceID[4];
  char irdaDeviceName[22];
  std::uint8_t irdaDeviceHints1;
  std::uint8_t irdaDeviceHints2;
  std::uint8_t irdaCharSet;
};
static_assert(sizeof(IRDA_DEVICE_INFO) == 29);

// The device list: a 32-bit count and room for 12 entries, 355 bytes.
struct DEVICELIST {
  static constexpr int MaxDevices = 12;
  std::uint8_t numDevice[4] = {};
  IRDA_DEVICE_INFO Device[MaxDevices] = {};
  std::uint8_t reserved[3] = {};

  std::uint32_t count() const {
    std::uint32_t n;
    std::memcpy(&n, numDevice, 4);
    return n;
  }
  void setCount(std::uint32_t n) { std::memcpy(numDevice, &n, 4); }
};
static_assert(sizeof(DEVICELIST) == 355);

// IAS attribute types.
constexpr std::uint32_t IAS_ATTRIB_NO_ATTRIB = 0;
constexpr std::uint32_t IAS_ATTRIB_INT = 1;
constexpr std::uint32_t IAS_ATTRIB_OCTETSEQ = 2;
constexpr std::uint32_t IAS_ATTRIB_STR = 3;

// The IAS query, 1385 bytes. After the attribute type comes the value: for an
// integer the 32-bit value; for an octet sequence a 32-bit length and the
// octets; for a user string a 32-bit length, a 32-bit character set and the
// characters.
struct IAS_QUERY {
  static constexpr int MaxOctets = 1024;
  std::uint8_t irdaDeviceID[4] = {};
  char irdaClassName[64] = {};
  char irdaAttribName[256] = {};
  std::uint8_t irdaAttribType[4] = {};
  std::uint8_t irdaAttribLen[4] = {}; // also the integer value
  std::uint8_t irdaAttribValue[1053] = {};

  std::uint32_t attribType() const { return get(irdaAttribType); }
  std::uint32_t octetCount() const { return get(irdaAttribLen); }
  static std::uint32_t get(const std::uint8_t *p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
};
static_assert(sizeof(IAS_QUERY) == 1385);
