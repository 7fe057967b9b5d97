#pragma once
// Wiretune: tunes one infrared socket. Placeholder until the library lands.
