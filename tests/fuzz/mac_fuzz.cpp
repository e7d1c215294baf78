// Fuzzes the PCBA MAC lookup through a board library that answers with the
// input: its first byte says whether the call succeeds, the rest fills the
// record's pcbaMac field, terminated or not. The oracle: a MAC is taken only
// when ifconfig would apply it, 12 hex digits bare or as six colon-separated
// pairs, not all zero, group bit clear; then it is copied whole and
// terminated; otherwise the buffer is untouched. Nothing else reaches the
// shell from the inserted line.
#include "commissioning/boardcfg.h"
#include "commissioning/pcba_mac.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

const std::uint8_t* answer;
std::size_t answerSize;

void require(bool holds, const char* what)
{
    if (holds) return;
    (void)fprintf(stderr, "broken: %s\n", what);
    abort();
}

// The octets of text when it is one of the two forms, else false.
bool octetsOf(const char* text, std::size_t length, unsigned (&octets)[6])
{
    std::size_t step = length == 12 ? 2 : length == 17 ? 3 : 0;
    if (step == 0) return false;
    for (std::size_t i = 0; i < 6; ++i) {
        const char* pair = text + i * step;
        bool hex = isxdigit(static_cast<unsigned char>(pair[0])) != 0 && isxdigit(static_cast<unsigned char>(pair[1])) != 0;
        if (!hex) return false;
        if (step == 3 && i < 5 && pair[2] != ':') return false;
        char digits[3] = {pair[0], pair[1], '\0'};
        octets[i] = static_cast<unsigned>(strtoul(digits, nullptr, 16));
    }
    return true;
}

bool usable(const char* text, std::size_t length)
{
    unsigned octets[6] = {};
    if (!octetsOf(text, length, octets)) return false;
    bool allZero = std::all_of(std::begin(octets), std::end(octets), [](unsigned octet) { return octet == 0; });
    return !allZero && (octets[0] & 1U) == 0;
}

}  // namespace

extern "C" bool BcGetConfigTable(ConfigTable* table)
{
    if (answerSize == 0 || (answer[0] & 1U) == 0) return false;
    std::size_t length = answerSize - 1 < sizeof table->pcbaMac ? answerSize - 1 : sizeof table->pcbaMac;
    memcpy(table->pcbaMac, answer + 1, length);
    if (length < sizeof table->pcbaMac) table->pcbaMac[length] = '\0';
    return true;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The lookup prints what it found; the fuzzer's own output is standard error.
    require(freopen("/dev/null", "w", stdout) != nullptr, "standard output to /dev/null");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    answer = data;
    answerSize = size;
    char field[sizeof ConfigTable::pcbaMac + 1] = {};
    std::size_t fieldLength = size > 1 ? size - 1 : 0;
    if (fieldLength > sizeof ConfigTable::pcbaMac) fieldLength = sizeof ConfigTable::pcbaMac;
    if (size > 1) memcpy(field, data + 1, fieldLength);
    std::size_t textLength = strnlen(field, fieldLength);
    bool succeeds = size > 0 && (data[0] & 1U) != 0;

    char mac[macTextSize];
    memset(mac, 0x5a, sizeof mac);
    bool found = getMacFromDb(mac);
    require(found == (succeeds && usable(field, textLength)), "a usable address, and only one, taken");
    if (found) {
        require(strlen(mac) == textLength && memcmp(mac, field, textLength + 1) == 0, "copied whole");
        return 0;
    }
    require(std::all_of(std::begin(mac), std::end(mac), [](char c) { return c == 0x5a; }),
            "the buffer untouched");
    return 0;
}
