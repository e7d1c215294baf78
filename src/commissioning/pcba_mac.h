// The board's PCBA MAC, obtained through the board library.
#pragma once

#include <cstddef>

// Room for the longest usable address text and its terminator.
constexpr std::size_t macTextSize = 20;

// Fills mac (macTextSize bytes) with the PCBA MAC text and prints it on standard
// output. False when the library supplies no address that eth0 can be given: then
// mac is left as it was and nothing is printed.
bool getMacFromDb(char* mac);
