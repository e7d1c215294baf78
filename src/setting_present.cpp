// setting_present: the boot unit's condition. Later boots find the MAC setting
// already in /etc/network/interfaces, and the network need not wait for the
// sandboxed run to say so. It reads that file alone and never loads the board
// library, so it may run outside the sandbox. Sure of the setting, as the
// tool would decide it: status 1, one line saying so, and the unit is skipped.
// Anything else (no file, an unreadable, empty or too long one, no setting,
// or a stanza's own hwaddress): status 0, and set_hwaddr runs and decides.
#include "insertion.h"

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr char interfacesPath[] = "/etc/network/interfaces";
constexpr char skippedMessage[] =
    "The interfaces file already contains MAC setting; set_hwaddr not run\n";
constexpr int runTool = 0;
constexpr int skipTool = 1;

// The file's contents as the tool reads them; false where it would fail to.
bool readAsTheToolDoes(char* contents, std::size_t* size)
{
    int fd = open(interfacesPath, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ssize_t got = 1;
    *size = 0;
    while (*size < contentsSize && got > 0) {
        got = read(fd, contents + *size, contentsSize - *size);
        if (got > 0) *size += static_cast<std::size_t>(got);
    }
    close(fd);
    return got >= 0 && *size > 0 && *size < contentsSize;
}

}  // namespace

int main()
{
    char contents[contentsSize];
    std::size_t size = 0;
    if (!readAsTheToolDoes(contents, &size) || !carriesMacSetting(contents, size)) return runTool;
    // Unwritten, the unit is skipped all the same; only the journal misses why.
    ssize_t written = write(STDOUT_FILENO, skippedMessage, strlen(skippedMessage));
    (void)written;
    return skipTool;
}
