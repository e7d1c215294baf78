#include "pcba_mac.h"

#include "boardcfg.h"

#include <cassert>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

constexpr char macLineFormat[] = "PCBA MAC: %s\n";
constexpr char groupSeparator = ':';

constexpr std::size_t octetCount = 6;
constexpr std::size_t bareLength = 2 * octetCount;           // 021122334455
constexpr std::size_t separatedLength = 3 * octetCount - 1;  // 02:11:22:33:44:55
static_assert(separatedLength < macTextSize);

constexpr unsigned groupBit = 0x01;  // in the first octet: multicast and broadcast

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Only an address that ifconfig applies at boot is usable: anything else leaves
// eth0 down, and a stray character would be run by the shell, as root, from the
// pre-up line.
bool isUsableMac(const char* text, std::size_t length)
{
    std::size_t groupStep = 0;
    if (length == bareLength) groupStep = 2;
    if (length == separatedLength) groupStep = 3;
    if (groupStep == 0) return false;

    unsigned firstOctet = 0;
    unsigned allOctets = 0;
    for (std::size_t i = 0; i < octetCount; ++i) {
        const char* group = text + i * groupStep;
        int high = hexDigitValue(group[0]);
        int low = hexDigitValue(group[1]);
        if (high < 0 || low < 0) return false;
        if (groupStep == 3 && i + 1 < octetCount && group[2] != groupSeparator) return false;
        unsigned octet = static_cast<unsigned>(high * 16 + low);
        if (i == 0) firstOctet = octet;
        allOctets |= octet;
    }
    return allOctets != 0 && (firstOctet & groupBit) == 0;
}

// The line goes out in one write of its own: stdio would hold it until exit when
// standard output is a pipe, as under the journal, and any line the run writes to
// standard error after it would reach the log first.
void printMac(const char* mac)
{
    char line[sizeof macLineFormat + macTextSize];
    int length = snprintf(line, sizeof line, macLineFormat, mac);
    if (length <= 0) return;
    // Should it fail, there is nowhere else to say so; the run goes on.
    ssize_t written = write(STDOUT_FILENO, line, static_cast<std::size_t>(length));
    (void)written;
}

}  // namespace

bool getMacFromDb(char* mac)
{
    assert(mac != nullptr);

    ConfigTable table;
    if (!BcGetConfigTable(&table)) return false;

    // Bounded by the field: a library that fills it without a terminator must not
    // make us read past it.
    std::size_t length = strnlen(table.pcbaMac, sizeof table.pcbaMac);
    if (!isUsableMac(table.pcbaMac, length)) return false;

    printMac(table.pcbaMac);
    memcpy(mac, table.pcbaMac, length + 1);
    return true;
}
