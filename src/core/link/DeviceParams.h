#pragma once
#include <cstdint>

// The instrument parameter record: the settings of an instrument's parameter
// block, its number and activation time, and (for the record to be written)
// what the write exchange should do. Every field starts at zero.
struct DEVICE_PARAMS {
  std::int32_t DeviceId = 0;         // instrument number (n reply)
  float DerThreshold = 0;            // dose-rate alarm threshold, Sv/h
  std::uint16_t DisplayOffDelay = 0; // display switch-off delay, seconds
  bool SoundOn = false;              // flag bit 0
  bool Loud = false;                 // flag bit 3 (clear: silent)
  bool DisplayOffEnabled = false;    // flag bit 4
  bool UnitSievert = false;          // flag bit 5 (clear: roentgen)
  bool ButtonBeep = false;           // flag bit 7
  std::uint16_t HistoryInterval = 0; // minutes
  float DeThreshold = 0;             // accumulated-dose alarm threshold, Sv
  bool ClockCalendar = false;        // clock-calendar shown on the display
  std::uint16_t Brightness = 0;      // display brightness
  bool DoWriteParams = false;        // write option: send the S command
  std::uint8_t ActivationDay = 0;    // raw T reply bytes 4 .. 10
  std::uint8_t ActivationMonth = 0;
  std::uint16_t ActivationYear = 0;
  std::uint8_t ActivationHour = 0;
  std::uint8_t ActivationMinute = 0;
  std::uint8_t ActivationSecond = 0;
  double ActivationTime = 0;        // days since 30 December 1899
  bool DoSetActivationTime = false; // write option: send A with the PC time
  bool DoClearHistory = false;      // write option: send the C command
};
