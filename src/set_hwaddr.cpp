// set_hwaddr: gives eth0 the board's PCBA MAC through /etc/network/interfaces.
#include "commissioning/pcba_mac.h"

#include <cstdio>

namespace {

constexpr char lookupFailedMessage[] =
    "Failed to obtain eth0 MAC address from the commissioning database\n";

}  // namespace

int main()
{
    char mac[macTextSize];
    if (!getMacFromDb(mac)) {
        fputs(lookupFailedMessage, stderr);
        return 1;
    }
    return 0;
}
