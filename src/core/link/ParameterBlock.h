#pragma once
#include <cstdint>

#include "link/DeviceParams.h"
#include "link/IrdaTransport.h"

// The instrument's parameter block: read with P (34-byte reply), written with
// S (27-byte request built from a fresh P reply so that every byte the program
// does not interpret goes back unchanged).

constexpr int ParamWriteFrameLength = 27;

// Option flag bits (P byte 18, S byte 16).
constexpr std::uint8_t FlagSoundOn = 0x01;
constexpr std::uint8_t FlagLoud = 0x08;
constexpr std::uint8_t FlagDisplayOff = 0x10;
constexpr std::uint8_t FlagUnitSievert = 0x20;
constexpr std::uint8_t FlagButtonBeep = 0x80;

// Copies the fields of a P reply into `record` when the reply is 34 bytes and
// its checksum holds; false (record untouched) otherwise.
bool DecodeParameterReply(const std::uint8_t *reply, int replyLength, DEVICE_PARAMS &record);

// Stores the raw date-time group of a T reply in `record` and builds its
// activation time. 0; -1 for a length other than 12; -3 for a wrong checksum
// (nothing stored) or an impossible date or time (raw fields stored,
// activation time unchanged).
int DecodeActivationReply(const std::uint8_t *reply, int replyLength, DEVICE_PARAMS &record);

// Builds the 27-byte S frame from a 34-byte P reply and the record.
void BuildParameterWriteFrame(const std::uint8_t *pReply, const DEVICE_PARAMS &record,
                              std::uint8_t *sFrame);

// Reads number, parameter block and activation time into `record`.
// 0; -1 when an exchange fails, a reply has the wrong length or the parameter
// checksum is wrong; -3 for an activation time that fails its checksum or does
// not exist; LinkCancelled when the operator cancelled. A failing step leaves
// the fields of later steps unchanged.
int ReadDeviceInfo(IrdaTransport &link, IrdaSocket socket, DEVICE_PARAMS &record);

// Writes the record's settings with S, built from a fresh P reply (whose
// checksum is not checked). 0; -1 when the P read fails or is not 34 bytes,
// or the S exchange fails with -1; LinkCancelled when the operator cancelled;
// else the Winsock error of the S exchange.
int WriteParameters(IrdaTransport &link, IrdaSocket socket, const DEVICE_PARAMS &record);
