/* The tool's job written as plainly as C allows, built with the same flags:
 * the yardstick for what the tool's own code and its hardening cost. It skips
 * what the tool checks beyond the job (the address's form, short reads, the
 * file's mode), so the tool may cost a little more, never much. */
#define _GNU_SOURCE  /* memmem */
#include <fcntl.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

struct ConfigTable {
    char other[344];
    char pcbaMac[176];
};
bool BcGetConfigTable(struct ConfigTable* table);

static const char prefix[] = "pre-up /sbin/ifconfig eth0 hw ether ";

int main(void)
{
    struct ConfigTable table;
    char mac[20];
    char text[10240];
    char name[] = "/etc/network/setHwAddr.XXXXXX";
    if (!BcGetConfigTable(&table)) return 1;
    printf("PCBA MAC: %s\n", table.pcbaMac);
    strncpy(mac, table.pcbaMac, sizeof mac - 1);
    mac[sizeof mac - 1] = '\0';

    int fd = open("/etc/network/interfaces", O_RDONLY);
    if (fd < 0) return 1;
    ssize_t n = read(fd, text, sizeof text);
    close(fd);
    if (n < 1 || n == (ssize_t)sizeof text) return 1;
    size_t length = strnlen(text, (size_t)n);
    if (memmem(text, length, prefix, sizeof prefix - 1) != NULL) return 0;
    char* at = memmem(text, length, "\niface eth0", 11);
    if (at == NULL) return 1;
    char* end = memchr(at + 1, '\n', length - (size_t)(at + 1 - text));
    if (end == NULL) return 1;
    size_t head = (size_t)(end + 1 - text);

    int out = mkstemp(name);
    if (out < 0) return 1;
    bool written = write(out, text, head) == (ssize_t)head &&
                   write(out, prefix, sizeof prefix - 1) == (ssize_t)(sizeof prefix - 1) &&
                   write(out, mac, strlen(mac)) == (ssize_t)strlen(mac) && write(out, "\n", 1) == 1 &&
                   write(out, text + head, (size_t)n - head) == (ssize_t)((size_t)n - head) &&
                   fsync(out) == 0 && rename(name, "/etc/network/interfaces") == 0;
    close(out);
    if (!written) {
        unlink(name);
        return 1;
    }
    sync();
    return 0;
}
