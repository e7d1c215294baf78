// set_hwaddr: gives eth0 the board's PCBA MAC through /etc/network/interfaces.
#include "commissioning/pcba_mac.h"
#include "insertion.h"

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

constexpr char lookupFailedMessage[] =
    "Failed to obtain eth0 MAC address from the commissioning database\n";
constexpr char openFailedMessage[] = "Failed to open the interfaces file\n";
constexpr char readFailedMessage[] = "Failed to read from the interfaces file\n";
constexpr char tooLongMessage[] = "File too long\n";
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

// The failure of each piece's write, in the order of the pieces.
constexpr const char* pieceFailedMessages[pieceCount] = {
    headFailedMessage, prefixFailedMessage, macFailedMessage, lineEndFailedMessage,
    tailFailedMessage};

// One line on standard error, in one write as unbuffered stdio would make it,
// without stdio's imports. Should it fail, there is nowhere else to say so: the
// exit status still tells.
void report(const char* line)
{
    ssize_t written = write(STDERR_FILENO, line, strlen(line));
    (void)written;
}

constexpr mode_t permissionBits = 0777;

// Each step below returns false once it has reported its failure.
bool fail(const char* message)
{
    report(message);
    return false;
}

// Reads until end of file or a full buffer: a short read is not the end, and
// stopping there would cut the tail off the rewritten file.
bool readToEnd(int fd, char* contents, std::size_t* count)
{
    std::size_t total = 0;
    while (total < contentsSize) {
        ssize_t got = read(fd, contents + total, contentsSize - total);
        if (got < 0) return false;
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
    }
    *count = total;
    return true;
}

// The interfaces file's contents, their size and the file's permission bits.
bool readInterfacesFile(char* contents, std::size_t* size, mode_t* mode)
{
    int fd = open(interfacesPath, O_RDONLY);
    if (fd < 0) return fail(openFailedMessage);

    struct stat status;
    bool gotContents = fstat(fd, &status) == 0 && readToEnd(fd, contents, size);
    close(fd);
    if (!gotContents || *size == 0) return fail(readFailedMessage);
    if (*size == contentsSize) return fail(tooLongMessage);
    *mode = status.st_mode & permissionBits;
    return true;
}

// The temporary file beside the interfaces file: its descriptor and name.
struct Temporary {
    int fd;
    char path[sizeof temporaryTemplate];
};

// Reports the failure, then removes the temporary file so that none is left behind.
bool discardTemporary(const Temporary& temporary, const char* message)
{
    fail(message);
    close(temporary.fd);
    unlink(temporary.path);
    return false;
}

// Writes the new contents beside the interfaces file and renames them over it.
// The data is flushed before the rename: otherwise a power cut can leave the
// renamed file empty or cut short on the file systems boards use.
bool replaceInterfacesFile(const Piece (&pieces)[pieceCount], mode_t mode)
{
    Temporary temporary{};
    memcpy(temporary.path, temporaryTemplate, sizeof temporaryTemplate);
    temporary.fd = mkstemp(temporary.path);
    if (temporary.fd < 0) return fail(createFailedMessage);

    // mkstemp's 0600 would hide a world-readable configuration from its readers.
    if (fchmod(temporary.fd, mode) != 0) return discardTemporary(temporary, permissionsFailedMessage);

    for (std::size_t i = 0; i < pieceCount; ++i) {
        ssize_t written = write(temporary.fd, pieces[i].data, pieces[i].size);
        if (written != static_cast<ssize_t>(pieces[i].size)) {
            return discardTemporary(temporary, pieceFailedMessages[i]);
        }
    }
    if (fsync(temporary.fd) != 0) return discardTemporary(temporary, flushFailedMessage);

    if (rename(temporary.path, interfacesPath) != 0) {
        int error = errno;
        char message[160];
        // Room for any errno text; a longer one would only be cut short.
        (void)snprintf(message, sizeof message, renameFailedFormat, error, strerror(error));
        return discardTemporary(temporary, message);
    }
    close(temporary.fd);
    sync();
    return true;
}

// Inserts the MAC setting line after eth0's definition, unless the file already
// carries a MAC setting. The exit status of the run.
int rewriteInterfacesFile(const char* mac)
{
    char contents[contentsSize];
    std::size_t size = 0;
    mode_t mode = 0;
    if (!readInterfacesFile(contents, &size, &mode)) return 1;

    Insertion insertion = planInsertion(contents, size);
    if (insertion.notice != nullptr) {
        report(insertion.notice);
        return insertion.status;
    }
    Piece pieces[pieceCount];
    layOutPieces(contents, size, insertion.headSize, mac, pieces);
    return replaceInterfacesFile(pieces, mode) ? 0 : 1;
}

}  // namespace

int main()
{
    char mac[macTextSize];
    if (!getMacFromDb(mac)) {
        fail(lookupFailedMessage);
        return 1;
    }
    return rewriteInterfacesFile(mac);
}
