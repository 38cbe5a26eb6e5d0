/* Fault shim for the crash tests, loaded into `locmail run` with LD_PRELOAD.
 *
 * Wraps the libc calls that change files (and the waits of an idle service)
 * and, driven by the environment:
 *   FAULTSHIM_ROOT=DIR        only calls on paths below DIR are counted and
 *                             traced (default: every call)
 *   FAULTSHIM_KILL_AT=N       SIGKILL right after the N-th counted call: a test
 *                             picks "a random moment" as a number, never a time
 *   FAULTSHIM_SIGNAL=S        the signal for the kill point instead (15: a stop
 *                             request at that moment)
 *   FAULTSHIM_ARM_AFTER_EXECS=K  the kill point counts only in the K-th image
 *                             the process exec'd into (1: after its first restart)
 *   FAULTSHIM_KILL_ON_WRITE=TEXT  the kill point is instead right after the first
 *                             counted write to a path that contains TEXT
 *   FAULTSHIM_KILL_ON_IDLE=1  SIGKILL when the process starts an idle wait
 *                             (poll, ppoll, epoll_wait with a timeout other than 0)
 *   FAULTSHIM_IDLE_FIFO=PATH  "idle\n" into that FIFO at every idle wait, when a
 *                             reader has it open: a test waits for a service to
 *                             be done without polling
 *   FAULTSHIM_TRACE=FILE      one line per counted call, fields separated by tabs:
 *                               write PATH
 *                               sync fsync|fdatasync PATH
 *                               sync syncfs DEVICE PATH
 *                               sync sync -
 *                               unlink PATH
 *                               rename FROM TO REPLACED   (1: TO existed)
 * The counter starts again in every process image (`locmail run` restarts
 * itself with exec); the shim numbers the images in FAULTSHIM_EXECS. Besides the real call the wrappers use only raw
 * system calls and stack buffers: no malloc, no stdio, nothing that re-enters a wrapper, so they stay async-signal-safe
 * (a signal handler's write to its wake-up pipe passes through here too). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/epoll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#define EXPORT __attribute__((visibility("default")))

enum { kPathMax = 4096, kLineMax = 2 * kPathMax + 64 };

/* The libc functions below the wrappers, resolved once. */
/* clang-format off */
#define WRAPPED(X)                                                                                  \
    X(write) X(pwrite) X(pwrite64) X(writev) X(pwritev) X(pwritev64) X(pwritev2) X(ftruncate)       \
    X(ftruncate64) X(fsync) X(fdatasync) X(syncfs) X(sync) X(unlink) X(unlinkat) X(remove) X(rename) \
    X(renameat) X(renameat2) X(poll) X(ppoll) X(epoll_wait) X(epoll_pwait) X(execv) X(execve)
/* clang-format on */
#define DECLARE_REAL(name) static __typeof__(name)* real_##name;
WRAPPED(DECLARE_REAL)

static struct {
    int ready;
    const char* root;
    size_t rootLength;
    unsigned long killAt; /* 0: never */
    int signal;
    unsigned long image; /* how many execs led to this process image */
    int killOnIdle;
    const char* idleFifo;
    int traceFd;             /* -1: no trace */
    const char* killOnWrite; /* NULL: none */
} g_config = {0, NULL, 0, 0, SIGKILL, 0, 0, NULL, -1, NULL};

static unsigned long g_counted;
static __thread int t_inside; /* a wrapper is running on this thread */

static void* Real(const char* name)
{
    void* fn = dlsym(RTLD_NEXT, name);
    if (fn == NULL)
        abort(); /* a wrapped call without a libc below it: nothing sane to do */
    return fn;
}

static void Configure(void)
{
    if (__atomic_load_n(&g_config.ready, __ATOMIC_ACQUIRE))
        return;
#define RESOLVE_REAL(name) real_##name = (__typeof__(name)*)Real(#name);
    WRAPPED(RESOLVE_REAL)
    const char* root = getenv("FAULTSHIM_ROOT");
    const char* killAt = getenv("FAULTSHIM_KILL_AT");
    const char* idle = getenv("FAULTSHIM_KILL_ON_IDLE");
    const char* trace = getenv("FAULTSHIM_TRACE");
    const char* sig = getenv("FAULTSHIM_SIGNAL");
    const char* arm = getenv("FAULTSHIM_ARM_AFTER_EXECS");
    const char* image = getenv("FAULTSHIM_EXECS");
    g_config.root = root != NULL && root[0] != '\0' ? root : NULL;
    g_config.rootLength = g_config.root != NULL ? strlen(g_config.root) : 0;
    g_config.image = image != NULL ? strtoul(image, NULL, 10) : 0;
    g_config.killAt = killAt != NULL ? strtoul(killAt, NULL, 10) : 0;
    if (arm != NULL && strtoul(arm, NULL, 10) != g_config.image)
        g_config.killAt = 0;
    g_config.signal = sig != NULL && atoi(sig) > 0 ? atoi(sig) : SIGKILL;
    g_config.killOnIdle = idle != NULL && idle[0] == '1';
    g_config.idleFifo = getenv("FAULTSHIM_IDLE_FIFO");
    g_config.killOnWrite = getenv("FAULTSHIM_KILL_ON_WRITE");
    if (g_config.killOnWrite != NULL && g_config.killOnWrite[0] == '\0')
        g_config.killOnWrite = NULL;
    if (arm != NULL && strtoul(arm, NULL, 10) != g_config.image)
        g_config.killOnWrite = NULL;
    if (trace != NULL && trace[0] != '\0')
        g_config.traceFd = (int)syscall(SYS_openat, AT_FDCWD, trace, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    __atomic_store_n(&g_config.ready, 1, __ATOMIC_RELEASE);
}

/* Early, so that the first wrapped call is not made from a signal handler. */
__attribute__((constructor)) static void ConfigureAtLoad(void) { Configure(); }

/* ---- text built in fixed buffers ---- */

struct Text {
    char* data;
    size_t size, capacity;
};

static void Add(struct Text* text, const char* more)
{
    while (*more != '\0' && text->size + 1 < text->capacity)
        text->data[text->size++] = *more++;
    text->data[text->size] = '\0';
}

static void AddNumber(struct Text* text, unsigned long long n)
{
    char digits[24];
    int i = 0;
    do {
        digits[i++] = (char)('0' + n % 10);
        n /= 10;
    } while (n != 0);
    while (i > 0 && text->size + 1 < text->capacity)
        text->data[text->size++] = digits[--i];
    text->data[text->size] = '\0';
}

/* The path an open descriptor refers to (kPathMax bytes); "" when unknown. */
static void FdPath(int fd, char* out)
{
    char linkBuffer[40];
    struct Text link = {linkBuffer, 0, sizeof linkBuffer};
    Add(&link, "/proc/self/fd/");
    AddNumber(&link, (unsigned long long)(fd < 0 ? 0 : fd));
    long n = fd < 0 ? -1 : syscall(SYS_readlink, linkBuffer, out, kPathMax - 1);
    out[n > 0 ? n : 0] = '\0';
}

/* PATH as given to a *at call, made absolute (kPathMax bytes). */
static void AtPath(int dirfd, const char* path, char* out)
{
    out[0] = '\0';
    if (path == NULL)
        return;
    if (path[0] != '/') {
        if (dirfd != AT_FDCWD)
            FdPath(dirfd, out);
        else if (syscall(SYS_getcwd, out, kPathMax - 1) < 0)
            out[0] = '\0';
    }
    struct Text full = {out, strlen(out), kPathMax};
    if (path[0] != '/')
        Add(&full, "/");
    Add(&full, path);
}

static int Watched(const char* path)
{
    if (g_config.root == NULL)
        return 1;
    return strncmp(path, g_config.root, g_config.rootLength) == 0 &&
           (path[g_config.rootLength] == '/' || path[g_config.rootLength] == '\0');
}

/* ---- the effects ---- */

static void Trace(const char* first, const char* second, const char* third, const char* fourth)
{
    if (g_config.traceFd < 0)
        return;
    char buffer[kLineMax];
    struct Text line = {buffer, 0, sizeof buffer};
    Add(&line, first);
    const char* rest[] = {second, third, fourth};
    for (int i = 0; i < 3 && rest[i] != NULL; ++i) {
        Add(&line, "\t");
        Add(&line, rest[i]);
    }
    Add(&line, "\n");
    syscall(SYS_write, g_config.traceFd, buffer, line.size); /* O_APPEND: one line, one write */
}

static void Signal(int sig) { syscall(SYS_kill, syscall(SYS_getpid), sig); }

/* After each counted call: the kill point, when this was it. */
static void Counted(void)
{
    unsigned long n = __atomic_add_fetch(&g_counted, 1, __ATOMIC_SEQ_CST);
    if (g_config.killAt != 0 && n == g_config.killAt)
        Signal(g_config.signal);
}

static void AfterFdWrite(int fd)
{
    char path[kPathMax];
    FdPath(fd, path);
    if (!Watched(path))
        return;
    Trace("write", path, NULL, NULL);
    Counted();
    if (g_config.killOnWrite != NULL && strstr(path, g_config.killOnWrite) != NULL)
        Signal(g_config.signal);
}

static void AfterFdSync(int fd, const char* kind)
{
    char path[kPathMax];
    FdPath(fd, path);
    if (!Watched(path))
        return;
    if (strcmp(kind, "syncfs") == 0) {
        struct stat st;
        char deviceBuffer[24];
        struct Text device = {deviceBuffer, 0, sizeof deviceBuffer};
        deviceBuffer[0] = '\0';
        if (syscall(SYS_fstat, fd, &st) == 0)
            AddNumber(&device, (unsigned long long)st.st_dev);
        Trace("sync", kind, deviceBuffer, path);
    }
    else {
        Trace("sync", kind, path, NULL);
    }
    Counted();
}

static void AfterUnlink(const char* path)
{
    if (!Watched(path))
        return;
    Trace("unlink", path, NULL, NULL);
    Counted();
}

static void AfterRename(const char* from, const char* to, int replaced)
{
    if (!Watched(from) && !Watched(to))
        return;
    Trace("rename", from, to, replaced ? "1" : "0");
    Counted();
}

static int Exists(const char* path)
{
    struct stat st;
    return syscall(SYS_newfstatat, AT_FDCWD, path, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

static void Idle(int waits)
{
    if (!waits)
        return;
    if (g_config.idleFifo != NULL && g_config.idleFifo[0] != '\0') {
        long fd = syscall(SYS_openat, AT_FDCWD, g_config.idleFifo, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            syscall(SYS_write, fd, "idle\n", 5);
            syscall(SYS_close, fd);
        }
    }
    if (g_config.killOnIdle)
        Signal(SIGKILL);
}

/* BODY makes the real call into `result`; AFTER runs once it returned, unless
 * a wrapper is already on this thread's stack (libc calling itself). */
#define WRAP(body, after)                                                                                              \
    do {                                                                                                               \
        Configure();                                                                                                   \
        if (t_inside) {                                                                                                \
            body;                                                                                                      \
            return result;                                                                                             \
        }                                                                                                              \
        t_inside = 1;                                                                                                  \
        body;                                                                                                          \
        int saved = errno;                                                                                             \
        after;                                                                                                         \
        errno = saved;                                                                                                 \
        t_inside = 0;                                                                                                  \
        return result;                                                                                                 \
    } while (0)

/* ---- writes and syncs: AFTER gets the descriptor ---- */

#define FD_CALL(type, name, after, params, args)                                                                       \
    EXPORT type name params                                                                                            \
    {                                                                                                                  \
        type result;                                                                                                   \
        WRAP(result = real_##name args, after);                                                                        \
    }
#define FD_WRITE(type, name, params, args) FD_CALL(type, name, AfterFdWrite(fd), params, args)
#define FD_SYNC(name) FD_CALL(int, name, AfterFdSync(fd, #name), (int fd), (fd))

FD_WRITE(ssize_t, write, (int fd, const void* buf, size_t n), (fd, buf, n))
FD_WRITE(ssize_t, pwrite, (int fd, const void* buf, size_t n, off_t offset), (fd, buf, n, offset))
FD_WRITE(ssize_t, pwrite64, (int fd, const void* buf, size_t n, off64_t offset), (fd, buf, n, offset))
FD_WRITE(ssize_t, writev, (int fd, const struct iovec* iov, int count), (fd, iov, count))
FD_WRITE(ssize_t, pwritev, (int fd, const struct iovec* iov, int count, off_t offset), (fd, iov, count, offset))
FD_WRITE(ssize_t, pwritev64, (int fd, const struct iovec* iov, int count, off64_t offset), (fd, iov, count, offset))
FD_WRITE(ssize_t, pwritev2, (int fd, const struct iovec* iov, int count, off_t offset, int flags),
         (fd, iov, count, offset, flags))
FD_WRITE(int, ftruncate, (int fd, off_t length), (fd, length))
FD_WRITE(int, ftruncate64, (int fd, off64_t length), (fd, length))
FD_SYNC(fsync)
FD_SYNC(fdatasync)
FD_SYNC(syncfs)

EXPORT void sync(void)
{
    Configure();
    real_sync();
    Trace("sync", "sync", "-", NULL);
    Counted();
}

/* ---- names ---- */

#define UNLINK(name, params, dir, args)                                                                                \
    EXPORT int name params                                                                                             \
    {                                                                                                                  \
        char full[kPathMax];                                                                                           \
        int result;                                                                                                    \
        WRAP((AtPath(dir, path, full), result = real_##name args), AfterUnlink(full));                                 \
    }
UNLINK(unlink, (const char* path), AT_FDCWD, (path))
UNLINK(unlinkat, (int dirfd, const char* path, int flags), dirfd, (dirfd, path, flags))
UNLINK(remove, (const char* path), AT_FDCWD, (path))

#define RENAME(name, params, fromDir, toDir, args)                                                                     \
    EXPORT int name params                                                                                             \
    {                                                                                                                  \
        char fullFrom[kPathMax], fullTo[kPathMax];                                                                     \
        int result, replaced;                                                                                          \
        WRAP((AtPath(fromDir, from, fullFrom), AtPath(toDir, to, fullTo), replaced = Exists(fullTo),                   \
              result = real_##name args),                                                                              \
             AfterRename(fullFrom, fullTo, replaced));                                                                 \
    }
RENAME(rename, (const char* from, const char* to), AT_FDCWD, AT_FDCWD, (from, to))
RENAME(renameat, (int fromDir, const char* from, int toDir, const char* to), fromDir, toDir, (fromDir, from, toDir, to))
RENAME(renameat2, (int fromDir, const char* from, int toDir, const char* to, unsigned flags), fromDir, toDir,
       (fromDir, from, toDir, to, flags))

/* ---- idle waits ---- */

#define IDLE_WAIT(type, name, params, waits, args)                                                                     \
    EXPORT type name params                                                                                            \
    {                                                                                                                  \
        Configure();                                                                                                   \
        Idle(waits);                                                                                                   \
        return real_##name args;                                                                                       \
    }
IDLE_WAIT(int, poll, (struct pollfd * fds, nfds_t n, int timeoutMs), timeoutMs != 0, (fds, n, timeoutMs))
IDLE_WAIT(int, ppoll, (struct pollfd * fds, nfds_t n, const struct timespec* timeout, const sigset_t* mask),
          timeout == NULL || timeout->tv_sec != 0 || timeout->tv_nsec != 0, (fds, n, timeout, mask))
IDLE_WAIT(int, epoll_wait, (int epfd, struct epoll_event* events, int max, int timeoutMs), timeoutMs != 0,
          (epfd, events, max, timeoutMs))
IDLE_WAIT(int, epoll_pwait, (int epfd, struct epoll_event* events, int max, int timeoutMs, const sigset_t* mask),
          timeoutMs != 0, (epfd, events, max, timeoutMs, mask))

/* ---- restarts: the next image learns its number ---- */

static void NumberNextImage(char* buffer, size_t size)
{
    struct Text text = {buffer, 0, size};
    Add(&text, "FAULTSHIM_EXECS=");
    AddNumber(&text, g_config.image + 1);
}

EXPORT int execv(const char* path, char* const argv[])
{
    Configure();
    static char next[48]; /* stays valid: putenv keeps the pointer */
    NumberNextImage(next, sizeof next);
    putenv(next);
    return real_execv(path, argv);
}

EXPORT int execve(const char* path, char* const argv[], char* const envp[])
{
    Configure();
    char next[48];
    NumberNextImage(next, sizeof next);
    size_t count = 0;
    while (envp[count] != NULL)
        ++count;
    char** env = malloc((count + 2) * sizeof *env);
    if (env == NULL)
        return real_execve(path, argv, envp);
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
        if (strncmp(envp[i], "FAULTSHIM_EXECS=", 16) != 0)
            env[kept++] = envp[i];
    }
    env[kept++] = next;
    env[kept] = NULL;
    int result = real_execve(path, argv, env);
    int saved = errno;
    free(env);
    errno = saved;
    return result;
}
