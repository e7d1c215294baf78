// Stand-in for the board's closed libboardcfg.so, for machines that lack it.
//
// It fills ConfigTable::pcbaMac from a commissioning record file of key=value
// lines, '#' starting a comment line; the value of the first pcba_mac line is
// taken byte for byte, up to the end of its line. A value of 176 bytes or more
// fills the whole field without a terminator, as a fixed-width field of a real
// library might. No file, an unreadable or oversized one, or no pcba_mac line:
// the call fails. The record's other fields are left as they were.
#include "boardcfg.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr char defaultRecordPath[] = "/etc/boardcfg/commissioning";
constexpr char recordPathVariable[] = "BOARDCFG_RECORD";
constexpr char macKey[] = "pcba_mac=";
constexpr char commentMark = '#';

constexpr std::size_t recordSize = 4096;

// Reads the whole record; the count of bytes, or -1 when it is missing, unreadable
// or does not fit.
ssize_t readRecord(const char* path, char* record)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    ssize_t total = 0;
    for (;;) {
        ssize_t got = read(fd, record + total, recordSize - total);
        if (got <= 0) {
            close(fd);
            return got < 0 ? -1 : total;
        }
        total += got;
        if (static_cast<std::size_t>(total) == recordSize) {
            close(fd);
            return -1;
        }
    }
}

// The value of the first line that starts with key, or nullptr; its length in *length.
const char* findValue(const char* record, std::size_t size, const char* key, std::size_t* length)
{
    std::size_t keyLength = strlen(key);
    const char* end = record + size;
    for (const char* line = record; line < end;) {
        const char* newline = static_cast<const char*>(memchr(line, '\n', end - line));
        const char* lineEnd = newline != nullptr ? newline : end;
        if (*line != commentMark && static_cast<std::size_t>(lineEnd - line) >= keyLength &&
            memcmp(line, key, keyLength) == 0) {
            *length = lineEnd - line - keyLength;
            return line + keyLength;
        }
        line = lineEnd + 1;
    }
    return nullptr;
}

}  // namespace

extern "C" bool BcGetConfigTable(ConfigTable* table)
{
    if (table == nullptr) return false;

    const char* path = getenv(recordPathVariable);
    if (path == nullptr || *path == '\0') path = defaultRecordPath;

    char record[recordSize];
    ssize_t size = readRecord(path, record);
    if (size < 0) return false;

    std::size_t length = 0;
    const char* value = findValue(record, size, macKey, &length);
    if (value == nullptr) return false;

    std::size_t field = sizeof table->pcbaMac;
    if (length >= field) {
        memcpy(table->pcbaMac, value, field);
        return true;
    }
    memcpy(table->pcbaMac, value, length);
    table->pcbaMac[length] = '\0';
    return true;
}
