#pragma once
// Wiretune: tunes one infrared socket for the instrument link. The program loads the
// library at run time ("Wiretune.dll" on Windows, libWiretune.so elsewhere), looks up
// SetSockVal by name and calls it with every socket it creates.

#if defined(_WIN32)
#if defined(WIRETUNE_BUILD)
#define WIRETUNE_API __declspec(dllexport)
#else
#define WIRETUNE_API __declspec(dllimport)
#endif
#else
#define WIRETUNE_API __attribute__((visibility("default")))
#endif

extern "C" {

// Gives the socket 512-byte send and receive buffers, 10-second send and receive
// time-outs and no lingering on close. Failing option calls are ignored; the result is
// always true. Keeps no state between calls.
WIRETUNE_API bool SetSockVal(int socket);

// The type the program uses to call the export it looked up.
typedef bool (*SetSockValFunc)(int socket);
}
