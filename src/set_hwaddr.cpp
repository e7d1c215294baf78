// set_hwaddr: gives eth0 the board's PCBA MAC through /etc/network/interfaces.
#include "commissioning/pcba_mac.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char interfacesPath[] = "/etc/network/interfaces";
constexpr char temporaryTemplate[] = "/etc/network/setHwAddr.XXXXXX";
constexpr char macSettingPrefix[] = "pre-up /sbin/ifconfig eth0 hw ether ";
constexpr char eth0Marker[] = "iface eth0";
constexpr char lineEnd[] = "\n";

constexpr char lookupFailedMessage[] =
    "Failed to obtain eth0 MAC address from the commissioning database\n";
constexpr char openFailedMessage[] = "Failed to open the interfaces file\n";
constexpr char readFailedMessage[] = "Failed to read from the interfaces file\n";
constexpr char tooLongMessage[] = "File too long\n";
constexpr char settingPresentMessage[] =
    "The interfaces file already contains MAC setting; will not override\n";
constexpr char noEth0Message[] = "Did not find eth0 definition in the interfaces file\n";
constexpr char noLineEndMessage[] = "Did not find the end of line - this might be a bug\n";
constexpr char createFailedMessage[] = "Failed to create temporary file\n";
constexpr char permissionsFailedMessage[] =
    "Failed to set the permissions of the temporary file\n";
constexpr char headFailedMessage[] = "Failed to write the first part of data\n";
constexpr char prefixFailedMessage[] = "Failed to write the MAC setting string\n";
constexpr char macFailedMessage[] = "Failed to write the MAC address\n";
constexpr char lineEndFailedMessage[] = "Failed to write the new line\n";
constexpr char tailFailedMessage[] = "Failed to write the remaining data\n";
constexpr char flushFailedMessage[] = "Failed to flush the temporary file\n";
constexpr char renameFailedFormat[] = "Failed to rename the temporary file (%d - %s)\n";

// A file must be shorter than this to be rewritten.
constexpr std::size_t contentsSize = 10240;
constexpr mode_t permissionBits = 0777;

int fail(const char* message)
{
    fputs(message, stderr);
    return 1;
}

// Reads until end of file or a full buffer: a short read is not the end, and
// stopping there would cut the tail off the rewritten file. The count, or -1.
ssize_t readToEnd(int fd, char* contents)
{
    std::size_t total = 0;
    while (total < contentsSize) {
        ssize_t got = read(fd, contents + total, contentsSize - total);
        if (got < 0) return -1;
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(total);
}

// The interfaces file's contents and permission bits; -1 once the failure is reported.
ssize_t readInterfacesFile(char* contents, mode_t* mode)
{
    int fd = open(interfacesPath, O_RDONLY);
    if (fd < 0) {
        fail(openFailedMessage);
        return -1;
    }

    struct stat status;
    ssize_t count = fstat(fd, &status) == 0 ? readToEnd(fd, contents) : -1;
    close(fd);
    if (count < 1) {
        fail(readFailedMessage);
        return -1;
    }
    if (static_cast<std::size_t>(count) == contentsSize) {
        fail(tooLongMessage);
        return -1;
    }
    *mode = status.st_mode & permissionBits;
    return count;
}

// The offset just after the line holding the first eth0 definition; 0 once the
// failure is reported. The search is over text, so it stops at a NUL byte.
std::size_t findInsertionPoint(const char* contents, std::size_t textLength)
{
    const char* marker = static_cast<const char*>(
        memmem(contents, textLength, eth0Marker, strlen(eth0Marker)));
    if (marker == nullptr) {
        fail(noEth0Message);
        return 0;
    }

    const char* end = static_cast<const char*>(
        memchr(marker, lineEnd[0], contents + textLength - marker));
    if (end == nullptr) {
        fail(noLineEndMessage);
        return 0;
    }
    return static_cast<std::size_t>(end + 1 - contents);
}

// Reports the failure, then removes the temporary file so that none is left behind.
int discardTemporary(int fd, const char* path, const char* message)
{
    fail(message);
    close(fd);
    unlink(path);
    return 1;
}

struct Piece {
    const char* data;
    std::size_t size;
    const char* failedMessage;
};

// Writes the new contents beside the interfaces file and renames them over it.
// The data is flushed before the rename: otherwise a power cut can leave the
// renamed file empty or cut short on the file systems boards use.
int replaceInterfacesFile(const Piece (&pieces)[5], mode_t mode)
{
    char temporaryPath[sizeof temporaryTemplate];
    memcpy(temporaryPath, temporaryTemplate, sizeof temporaryTemplate);
    int fd = mkstemp(temporaryPath);
    if (fd < 0) return fail(createFailedMessage);

    // mkstemp's 0600 would hide a world-readable configuration from its readers.
    if (fchmod(fd, mode) != 0) return discardTemporary(fd, temporaryPath, permissionsFailedMessage);

    for (const Piece& piece : pieces) {
        if (write(fd, piece.data, piece.size) != static_cast<ssize_t>(piece.size))
            return discardTemporary(fd, temporaryPath, piece.failedMessage);
    }
    if (fsync(fd) != 0) return discardTemporary(fd, temporaryPath, flushFailedMessage);

    if (rename(temporaryPath, interfacesPath) != 0) {
        int error = errno;
        char message[160];
        snprintf(message, sizeof message, renameFailedFormat, error, strerror(error));
        return discardTemporary(fd, temporaryPath, message);
    }
    close(fd);
    sync();
    return 0;
}

// Inserts the MAC setting line after the first eth0 definition, unless the file
// already carries a MAC setting. The exit status of the run.
int rewriteInterfacesFile(const char* mac)
{
    char contents[contentsSize];
    mode_t mode = 0;
    ssize_t count = readInterfacesFile(contents, &mode);
    if (count < 0) return 1;
    std::size_t size = static_cast<std::size_t>(count);
    std::size_t textLength = strnlen(contents, size);

    if (memmem(contents, textLength, macSettingPrefix, strlen(macSettingPrefix)) != nullptr) {
        fputs(settingPresentMessage, stderr);
        return 0;
    }
    std::size_t headSize = findInsertionPoint(contents, textLength);
    if (headSize == 0) return 1;

    const Piece pieces[] = {
        {contents, headSize, headFailedMessage},
        {macSettingPrefix, strlen(macSettingPrefix), prefixFailedMessage},
        {mac, strlen(mac), macFailedMessage},
        {lineEnd, strlen(lineEnd), lineEndFailedMessage},
        {contents + headSize, size - headSize, tailFailedMessage},
    };
    return replaceInterfacesFile(pieces, mode);
}

}  // namespace

int main()
{
    char mac[macTextSize];
    if (!getMacFromDb(mac)) return fail(lookupFailedMessage);
    return rewriteInterfacesFile(mac);
}
