#pragma once
#include <cstdint>
#include <span>

#include "link/IrdaTransport.h"

// The instrument's request-reply command protocol over an open IrDA
// connection. Every operation returns 0, -1 (exchange failed), or a Winsock
// error code of the failing send or receive (LinkCodes.h).
//
// Frames: 0x55, L (index of the checksum byte), command letter, 0x01, data,
// CRC-8 over bytes 0..L-1. A reply is byte 1 + 1 bytes long.

constexpr std::uint8_t FrameStart = 0x55;
constexpr std::uint8_t BusyByte = 0xEE;
constexpr int MaxBusyAnswers = 20;
constexpr int MaxIncompleteAttempts = 3;
constexpr int HistoryBlockSize = 205; // largest history reply
constexpr int MinHistoryBlockL = 4;   // byte 1 of a block: 4 .. 204
constexpr int MaxHistoryBlockL = 204;

// Command letters.
constexpr std::uint8_t CmdReadNumber = 'n';
constexpr std::uint8_t CmdReadParams = 'P';
constexpr std::uint8_t CmdWriteParams = 'S';
constexpr std::uint8_t CmdReadActivation = 'T';
constexpr std::uint8_t CmdSetActivation = 'A';
constexpr std::uint8_t CmdReadHistory = 'H';
constexpr std::uint8_t CmdClearHistory = 'C';
constexpr std::uint8_t CmdClearDose = 'G';

// Reply lengths the first receive asks for.
constexpr int NumberReplyLength = 13;
constexpr int ParamReplyLength = 34;
constexpr int ActivationReplyLength = 12;
constexpr int AckReplyLength = 5;

// CRC-8/MAXIM of the first `count` bytes.
std::uint8_t FrameChecksum(const std::uint8_t *bytes, int count);

// Fills `frame` (at least 5 + data bytes) with a request carrying `data`;
// returns the frame's length.
int BuildRequestFrame(std::uint8_t command, std::span<const std::uint8_t> data,
                      std::uint8_t *frame);

// Where the history transfer shows its progress (the exchange window's
// progress bar: range 0..100, step 10).
class HistoryProgress {
public:
  virtual ~HistoryProgress() = default;
  virtual void setRange(int minimum, int maximum) = 0;
  virtual int position() const = 0;
  virtual int maximum() const = 0;
  virtual void setPosition(int position) = 0;
  virtual void step() = 0;    // advance by one step
  virtual void repaint() = 0; // show the new position now
};

// Sends `request` and collects the reply into `reply`. On entry
// `replyLength` is the expected length (at most reply.size()); on return the
// reply's own length (byte 1 + 1), or still the expected length when fewer
// than two bytes came. A lone 0xEE is a busy answer (request repeated, at
// most 20, then LinkBusy); leading 0xEE bytes before a reply are dropped; a reply arriving
// in pieces is collected piece by piece; an attempt that ends with the link
// delivering nothing is repeated (three attempts in all). A reply announcing
// more than reply.size() bytes fails with -1. Each attempt's reply must be
// whole within link.ReplyLimitMs (else WsaTimedOut); LinkCancelled when the
// operator cancelled between two receives.
int ExchangeFrame(IrdaTransport &link, IrdaSocket socket, std::span<const std::uint8_t> request,
                  std::span<std::uint8_t> reply, int &replyLength);

// The numbers an instrument can have.
constexpr std::int32_t MinDeviceNumber = 1;
constexpr std::int32_t MaxDeviceNumber = 9999999;

// n: the instrument number from reply bytes 4..10. -1 when the reply is
// shorter than 12 bytes or its checksum is wrong; LinkBadDeviceNumber when the
// characters are no instrument number (see ParseInstrumentNumber). On any
// failure `number` is left alone.
int ReadDeviceNumber(IrdaTransport &link, IrdaSocket socket, std::int32_t &number);
// Reads characters the way atol does (blanks, sign, digits).
std::int32_t ParseDeviceNumber(const std::uint8_t *chars, int count);
// True and `number` set when the characters are blanks, an optional sign and
// digits, then only blanks or NULs, and the number is 1..9,999,999.
bool ParseInstrumentNumber(const std::uint8_t *chars, int count, std::int32_t &number);

// P and T: the reply frames, for the decoders of the parameter block.
// `reply` must hold at least 34 (P) or 12 (T) bytes.
int ReadParameterFrame(IrdaTransport &link, IrdaSocket socket, std::span<std::uint8_t> reply,
                       int &replyLength);
int ReadActivationFrame(IrdaTransport &link, IrdaSocket socket, std::span<std::uint8_t> reply,
                        int &replyLength);

// True and `dateTime` set (days since 30 December 1899, time as fraction)
// when the T reply is 12 bytes, its checksum holds and its date and time
// exist; `dateTime` unchanged otherwise.
bool DecodeActivationTime(const std::uint8_t *reply, int replyLength, double &dateTime);

// The date and time of a day count (milliseconds dropped) and back; false
// for values outside years 1..65535 or dates and times that do not exist.
struct InstrumentDateTime {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};
bool InstrumentDateTimeToDays(const InstrumentDateTime &parts, double &days);
bool DaysToInstrumentDateTime(double days, InstrumentDateTime &parts);

// A: sets the activation time to `dateTime`.
int WriteActivationTime(IrdaTransport &link, IrdaSocket socket, double dateTime);

// H: reads the whole history into `data`, its byte count in `length`. 0 only
// when the last block (reply code other than H) arrived whole. -1 when the
// link delivers nothing before that, a block announces a length outside
// 4..204, has a wrong checksum, promises more blocks without carrying data,
// or the history would not fit in `data` (at most HistoryArea::Capacity
// bytes); LinkBusy after 20 busy answers to one request. Each block must be whole
// within link.ReplyLimitMs of its request (else WsaTimedOut); a Winsock error
// or LinkCancelled ends it at once. On every failure `length` is 0. With a
// progress sink, it advances once per block (back to 0 after the maximum)
// and messages are processed (link.ProcessMessages).
int ReadHistory(IrdaTransport &link, IrdaSocket socket, std::span<std::uint8_t> data, int &length,
                HistoryProgress *progress);

// C and G.
int ClearHistory(IrdaTransport &link, IrdaSocket socket);
int ClearDose(IrdaTransport &link, IrdaSocket socket);
