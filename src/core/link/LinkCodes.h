#pragma once

// Results of the instrument link operations. 0 is success; the negative
// values are the link's own; positive values are Windows Sockets error codes
// passed up unchanged.
constexpr int LinkOk = 0;
constexpr int LinkFailed = -1;            // reply incomplete or unfit
constexpr int LinkNoDevice = -2;          // no instrument in range
constexpr int LinkBadActivationTime = -3; // activation time cannot be decoded
constexpr int LinkCancelled = -4;         // the operator cancelled between two receives
constexpr int LinkBadDeviceNumber =
    -5; // a whole number reply that is no instrument number (1..9,999,999)
// A serial adapter's port that cannot be opened.
constexpr int LinkPortMissing = -6;      // no such port
constexpr int LinkPortBusy = -7;         // another program holds it
constexpr int LinkPortNoPermission = -8; // the user may not open it
constexpr int LinkPortFailed = -9;       // any other reason
// More busy answers to one request than the protocol waits out.
constexpr int LinkBusy = -10;

// The modem lines of a serial adapter (IrdaStack::ModemLines).
constexpr int ModemLineDsr = 1; // the adapter is ready
constexpr int ModemLineDcd = 2; // the adapter holds an infrared link

// IrdaOpen's two results when Winsock started.
constexpr int IrdaSocketCreated = 0x1000000;
constexpr int IrdaSocketNotCreated = 0x1000009;

// The Windows Sockets codes the link produces or expects.
constexpr int WsaInvalidArgument = 10022; // WSAEINVAL
constexpr int WsaNotSocket = 10038;       // WSAENOTSOCK
constexpr int WsaNetworkDown = 10050;     // WSAENETDOWN
constexpr int WsaConnectionReset = 10054; // WSAECONNRESET
constexpr int WsaTimedOut = 10060;        // WSAETIMEDOUT
constexpr int WsaRefused = 10061;         // WSAECONNREFUSED
