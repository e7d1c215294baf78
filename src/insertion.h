// Where the MAC setting line goes in the interfaces file's contents: the
// rewrite's decision and the new contents, with no I/O, so that they can be
// fuzzed on their own.
#pragma once

#include <cstddef>

inline constexpr char macSettingPrefix[] = "pre-up /sbin/ifconfig eth0 hw ether ";
// A file must be shorter than this to be rewritten.
inline constexpr std::size_t contentsSize = 10240;

// The decision on one file's contents. notice is nullptr when the line goes in
// after headSize bytes; otherwise the line to report, the run ending with status.
struct Insertion {
    const char* notice;
    int status;
    std::size_t headSize;
};

// One piece of the new contents, written with one call.
struct Piece {
    const char* data;
    std::size_t size;
};
inline constexpr std::size_t pieceCount = 5;

// Whether the contents hold the MAC setting's prefix anywhere before a NUL byte:
// then the file is left alone, whatever else it holds.
bool carriesMacSetting(const char* contents, std::size_t size);

// The decision for the size bytes of contents.
Insertion planInsertion(const char* contents, std::size_t size);

// The new contents, in order: head, prefix, MAC text, newline, tail.
void layOutPieces(const char* contents, std::size_t size, std::size_t headSize, const char* mac,
                  Piece (&pieces)[pieceCount]);
