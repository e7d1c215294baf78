// Preloaded into the tool by the tests: makes one chosen call fail or come back
// short, as a full disk, a failing device or a network file system would.
// FAULT="CALL N KIND": the Nth call of CALL (N = 0: every call), one of read,
// write, fchmod, fsync on a file under /etc/network, or rename; KIND is error,
// short, or skip: the call does nothing and reports success, as a writer that
// never flushes. SYNC_DELAY=S: sync() waits S seconds first, so that the
// journal commits what came before it on its own. TRACE=FILE: each write and
// fsync on a file under /etc/network, each rename and each sync, in the order
// made, one name a line in FILE.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char watchedFolder[] = "/etc/network/";
constexpr std::size_t shortReadSize = 7;

enum class Fault { none, error, shortened, skipped };

bool inWatchedFolder(int fd)
{
    char link[32];
    char target[256] = {};
    (void)snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    return readlink(link, target, sizeof target - 1) > 0 &&
           strncmp(target, watchedFolder, strlen(watchedFolder)) == 0;
}

// Counts this call of CALL and says whether and how it is to fail.
Fault faultFor(const char* call)
{
    static int calls;
    char name[16];
    char number[16];
    char kind[16];
    const char* fault = getenv("FAULT");
    if (fault == nullptr || sscanf(fault, "%15s %15s %15s", name, number, kind) != 3) return Fault::none;
    if (strcmp(name, call) != 0) return Fault::none;
    long nth = strtol(number, nullptr, 10);
    ++calls;
    if (nth != 0 && nth != calls) return Fault::none;
    if (strcmp(kind, "skip") == 0) return Fault::skipped;
    return strcmp(kind, "short") == 0 ? Fault::shortened : Fault::error;
}

void trace(const char* call)
{
    const char* path = getenv("TRACE");
    if (path == nullptr) return;
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    dprintf(fd, "%s\n", call);
    close(fd);
}

template <typename Function>
Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// The fault for this read, with the size it may read; false when it is to fail.
bool readGoesOn(int fd, size_t* size)
{
    Fault fault = inWatchedFolder(fd) ? faultFor("read") : Fault::none;
    if (fault == Fault::shortened && *size > shortReadSize) *size = shortReadSize;
    if (fault != Fault::error) return true;
    errno = EIO;
    return false;
}

}  // namespace

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): glibc's names are reserved ones.
extern "C" ssize_t read(int fd, void* buffer, size_t size)
{
    static auto realRead = next<ssize_t (*)(int, void*, size_t)>("read");
    return readGoesOn(fd, &size) ? realRead(fd, buffer, size) : -1;
}

// What _FORTIFY_SOURCE makes of read when the buffer's size is known: without
// it here, the read faults would silently test nothing.
// It must carry glibc's own reserved name, and glibc's parameter names are reserved ones.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp,readability-inconsistent-declaration-parameter-name)
extern "C" ssize_t __read_chk(int fd, void* buffer, size_t size, size_t bufferSize)
{
    static auto realReadChk = next<ssize_t (*)(int, void*, size_t, size_t)>("__read_chk");
    return readGoesOn(fd, &size) ? realReadChk(fd, buffer, size, bufferSize) : -1;
}

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): glibc's names are reserved ones.
extern "C" ssize_t write(int fd, const void* data, size_t size)
{
    static auto realWrite = next<ssize_t (*)(int, const void*, size_t)>("write");
    bool watched = inWatchedFolder(fd);
    if (watched) trace("write");
    Fault fault = watched ? faultFor("write") : Fault::none;
    if (fault == Fault::error) return errno = ENOSPC, -1;
    if (fault == Fault::shortened && size > 0) --size;
    return realWrite(fd, data, size);
}

extern "C" int fchmod(int fd, mode_t mode) noexcept
{
    static auto realFchmod = next<int (*)(int, mode_t)>("fchmod");
    if (inWatchedFolder(fd) && faultFor("fchmod") != Fault::none) return errno = EPERM, -1;
    return realFchmod(fd, mode);
}

extern "C" int fsync(int fd)
{
    static auto realFsync = next<int (*)(int)>("fsync");
    bool watched = inWatchedFolder(fd);
    if (watched) trace("fsync");
    Fault fault = watched ? faultFor("fsync") : Fault::none;
    if (fault == Fault::skipped) return 0;
    if (fault != Fault::none) return errno = EIO, -1;
    return realFsync(fd);
}

extern "C" void sync() noexcept
{
    static auto realSync = next<void (*)()>("sync");
    trace("sync");
    if (const char* delay = getenv("SYNC_DELAY")) sleep(static_cast<unsigned>(strtoul(delay, nullptr, 10)));
    realSync();
}

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): glibc's names are reserved ones.
extern "C" int rename(const char* from, const char* to) noexcept
{
    static auto realRename = next<int (*)(const char*, const char*)>("rename");
    trace("rename");
    if (faultFor("rename") != Fault::none) return errno = EBUSY, -1;
    return realRename(from, to);
}
