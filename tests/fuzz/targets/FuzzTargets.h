#pragma once
#include <cstddef>
#include <cstdint>

// The fuzz targets: each feeds one parser of bytes from outside the program
// (an instrument, a file) with arbitrary input. They return 0 and must neither
// crash nor trip a sanitizer, whatever the input. Built as libFuzzer programs
// with clang (VX_FUZZ), and replayed over their committed inputs by the
// ordinary test suite.
using FuzzFunction = int (*)(const std::uint8_t *data, std::size_t size);

int FuzzLink(const std::uint8_t *data, std::size_t size);
int FuzzHistory(const std::uint8_t *data, std::size_t size);
int FuzzLanguage(const std::uint8_t *data, std::size_t size);
int FuzzSettings(const std::uint8_t *data, std::size_t size);
int FuzzRtf(const std::uint8_t *data, std::size_t size);
int FuzzImport(const std::uint8_t *data, std::size_t size);
int FuzzNumbers(const std::uint8_t *data, std::size_t size);

struct FuzzTarget {
  const char *name; // folder name under corpus/ and crashes/
  FuzzFunction run;
};

inline constexpr FuzzTarget FuzzTargetList[] = {
    {"link", FuzzLink},         {"history", FuzzHistory}, {"language", FuzzLanguage},
    {"settings", FuzzSettings}, {"rtf", FuzzRtf},         {"import", FuzzImport},
    {"numbers", FuzzNumbers},
};

// A file in the temporary folder that belongs to this process, for the
// parsers that only read files.
const char *FuzzScratchFile(const char *suffix);
