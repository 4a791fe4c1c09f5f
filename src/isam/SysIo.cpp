// File names with link-file redirection, read-only maps guarded against SIGBUS, whole reads and
// writes at an offset, and byte-range locks on the lock file (open-file-description locks, so
// each open file owns its locks).
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <new>

#include "isam/IsamFile.h"
#include "platform/FileOwner.h"

namespace isam::detail {

std::string FilePath(const std::string& name, const char* ext) {
    std::string base = name;
    std::string link = name + ".lnk";
    if (FILE* fp = std::fopen(link.c_str(), "r")) {
        char line[256];
        if (std::fgets(line, sizeof line, fp)) {
            std::string target(line);
            while (!target.empty() && (target.back() == '\n' || target.back() == '\r'))
                target.pop_back();
            for (char& c : target)
                if (c == '\\') c = '/';
            if (target.size() >= 2 && target[1] == ':') target.erase(0, 2);
            // A link file without a usable line is treated as absent.
            if (!target.empty()) base = target;
        }
        std::fclose(fp);
    }
    return base + ext;
}

int CreateBeside(const std::string& path, int flags, const std::string& like) {
    const int fd = ::open(path.c_str(), O_CREAT | O_CLOEXEC | flags, 0660);
    if (fd < 0 || platform::ShareOwner(fd, like)) return fd;
    const int error = errno;
    ::close(fd);
    if (flags & (O_EXCL | O_TRUNC)) ::unlink(path.c_str());
    errno = error;
    return -1;
}

int OpenLockFile(const std::string& name) {
    const std::string idx = FilePath(name, ".idx");
    const int fd = ::open(FilePath(name, ".lck").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0660);
    // Also a lock file an earlier run as root left behind goes back to the files' owner.
    if (fd < 0 || platform::ShareOwner(fd, idx)) return fd;
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
}

// Mappings the SIGBUS handler may repair: a fixed table of lock-free atomics, so that the handler
// reads it without locks. An entry is live while len is non-zero. Process-wide because a signal
// handler is: a file shrunk under any of the process's maps raises the one SIGBUS.
namespace {
struct MapSlot {
    std::atomic<uintptr_t> base{0};
    std::atomic<size_t> len{0};
    std::atomic<bool> damaged{false};
};
constexpr int kMapSlots = 64;
MapSlot g_slots[kMapSlots];
struct sigaction g_prev_bus;
size_t g_page = 4096;
bool g_bus_installed = false;
static_assert(std::atomic<uintptr_t>::is_always_lock_free &&
              std::atomic<size_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

// A fault inside a live mapping: a zero page replaces the one that cannot be read and the
// mapping is marked damaged; the read then completes. Any other SIGBUS goes to the previous
// handler, or takes the default action.
void OnBus(int sig, siginfo_t* info, void* ctx) {
    const int saved = errno;
    if (info && info->si_code > 0) {
        const auto addr = reinterpret_cast<uintptr_t>(info->si_addr);
        for (MapSlot& s : g_slots) {
            const uintptr_t base = s.base.load(std::memory_order_acquire);
            const size_t len = s.len.load(std::memory_order_acquire);
            if (len == 0 || addr < base || addr - base >= len) continue;
            void* page = reinterpret_cast<void*>(addr & ~uintptr_t(g_page - 1));
            if (::mmap(page, g_page, PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) ==
                MAP_FAILED)
                break;
            s.damaged.store(true, std::memory_order_release);
            errno = saved;
            return;
        }
    }
    errno = saved;
    if ((g_prev_bus.sa_flags & SA_SIGINFO) && g_prev_bus.sa_sigaction) {
        g_prev_bus.sa_sigaction(sig, info, ctx);
    } else if (g_prev_bus.sa_handler != SIG_DFL && g_prev_bus.sa_handler != SIG_IGN) {
        g_prev_bus.sa_handler(sig);
    } else {
        // Default action: restore it and raise again; the signal is delivered on return.
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        sigemptyset(&dfl.sa_mask);
        ::sigaction(SIGBUS, &dfl, nullptr);
        ::raise(SIGBUS);
    }
}

// Installed when the first file is mapped, so after any handler a runtime set up at start-up.
void InstallBusHandler() {
    if (g_bus_installed) return;
    g_bus_installed = true;
    long page = ::sysconf(_SC_PAGESIZE);
    if (page > 0) g_page = size_t(page);
    struct sigaction sa {};
    sa.sa_sigaction = OnBus;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGBUS, &sa, &g_prev_bus);
}

int RegisterMap(uint8_t* base, size_t len) {
    InstallBusHandler();
    for (int i = 0; i < kMapSlots; ++i) {
        MapSlot& s = g_slots[i];
        if (s.len.load(std::memory_order_relaxed) != 0) continue;
        s.damaged.store(false, std::memory_order_relaxed);
        s.base.store(reinterpret_cast<uintptr_t>(base), std::memory_order_release);
        s.len.store(len, std::memory_order_release);
        return i;
    }
    return -1;
}
}  // namespace

bool MapDamaged(const FileMap& m) {
    return m.hit || (m.slot >= 0 && g_slots[m.slot].damaged.load(std::memory_order_acquire));
}

bool TakeDamage(FileMap& m) {
    if (!MapDamaged(m)) return false;
    Unmap(m);
    m.hit = false;
    return true;
}

const uint8_t* MapAt(FileMap& m, int fd, off_t off, size_t n) {
    if (m.slot >= 0 && g_slots[m.slot].damaged.load(std::memory_order_acquire)) {
        // What this operation read through the mapping may be zeros: drop it and fail.
        Unmap(m);
        m.hit = true;
    }
    if (m.hit) Raise(kCorrupt);
    if (off < 0 || fd < 0 || m.failed) return nullptr;
    const size_t end = size_t(off) + n;
    if (end > m.valid) {
        struct stat st;
        if (::fstat(fd, &st) != 0 || size_t(st.st_size) < end) return nullptr;
        const size_t size = size_t(st.st_size);
        if (size > m.cap) {
            // Reserve room to grow into, so that a growing file is rarely mapped again.
            const size_t cap = std::max<size_t>(size_t(1) << 20, size * 2);
            Unmap(m);
            void* p = ::mmap(nullptr, cap, PROT_READ, MAP_SHARED, fd, 0);
            if (p == MAP_FAILED) {
                m.failed = true;
                return nullptr;
            }
            // Without an entry in the handler's table a fault could not be caught: use pread.
            const int slot = RegisterMap(static_cast<uint8_t*>(p), cap);
            if (slot < 0) {
                ::munmap(p, cap);
                m.failed = true;
                return nullptr;
            }
            m.base = static_cast<uint8_t*>(p);
            m.cap = cap;
            m.slot = slot;
        }
        m.valid = size;
    }
    return m.base + off;
}

void Unmap(FileMap& m) {
    if (m.slot >= 0) {
        g_slots[m.slot].len.store(0, std::memory_order_release);
        g_slots[m.slot].base.store(0, std::memory_order_release);
        m.slot = -1;
    }
    if (m.base) ::munmap(m.base, m.cap);
    m.base = nullptr;
    m.cap = m.valid = 0;
}

size_t ReadSome(int fd, void* buf, size_t n, off_t off, int kind) {
    size_t done = 0;
    auto* p = static_cast<uint8_t*>(buf);
    while (done < n) {
        ssize_t r = ::pread(fd, p + done, n - done, off + off_t(done));
        if (r < 0) {
            if (errno == EINTR) continue;
            RaiseSystem(kind + kStepRead);
        }
        if (r == 0) break;
        done += size_t(r);
    }
    return done;
}

void ReadAt(int fd, void* buf, size_t n, off_t off, int kind) {
    // A node or slot cut short by the end of the file means the file is damaged.
    if (ReadSome(fd, buf, n, off, kind) != n) Raise(kCorrupt);
}

static TestHooks g_hooks;

void SetTestHooks(const TestHooks& hooks) {
    g_hooks = hooks;
}

void CrashPoint() {
    // Crash tests: the process dies just before the step that would exceed its budget.
    if (g_hooks.crash_after_writes >= 0 && g_hooks.crash_after_writes-- == 0) ::raise(SIGKILL);
}

// True when the test hook says the file system is full and bytes up to `end` need new space.
static bool DiskFull(int fd, off_t end) {
    if (g_hooks.full_after_writes != 0) return false;
    struct stat st;
    return ::fstat(fd, &st) == 0 && st.st_size < end;
}

// Long writes go in pieces: one write of megabytes leaves the file's cached pages in large
// blocks, and every small write into such a block later (a rewrite) costs in proportion to it.
constexpr size_t kWritePiece = size_t(64) << 10;

void WriteAt(int fd, const void* buf, size_t n, off_t off, int kind) {
    CrashPoint();
    if (g_hooks.full_after_writes > 0) {
        g_hooks.full_after_writes--;
    } else if (DiskFull(fd, off + off_t(n))) {
        errno = ENOSPC;
        RaiseSystem(kind + kStepWrite);
    }
    size_t done = 0;
    auto* p = static_cast<const uint8_t*>(buf);
    while (done < n) {
        ssize_t r = ::pwrite(fd, p + done, std::min(n - done, kWritePiece), off + off_t(done));
        if (r < 0) {
            if (errno == EINTR) continue;
            RaiseSystem(kind + kStepWrite);
        }
        if (r == 0) {
            errno = ENOSPC;
            RaiseSystem(kind + kStepWrite);
        }
        done += size_t(r);
    }
}

void Reserve(int fd, FileMap& m, off_t off, off_t len, int kind) {
    const off_t end = off + len;
    if (len <= 0 || end <= std::max(off_t(m.valid), m.reserved)) return;
    struct stat st;
    if (::fstat(fd, &st) != 0) RaiseSystem(kind + kStepSeek);
    if (st.st_size >= end) {
        m.reserved = std::max(m.reserved, off_t(st.st_size));
        return;
    }
    // A gap between the end of the file and off stays a hole, as the writes would leave it.
    const off_t from = std::max(off, off_t(st.st_size));
    int rc;
    off_t ahead = 0;
    if (g_hooks.full_after_writes >= 0) {
        // Under the full-disk hook the reservation grows the file, which the hook can see.
        rc = DiskFull(fd, end) ? ENOSPC : ::posix_fallocate(fd, from, end - from);
    } else {
        // Room for more growth is taken at once, past the end and without changing the file's
        // size, so that a file growing a slot at a time does not pay an allocation per write.
        ahead = std::min<off_t>(off_t(1) << 20, st.st_size / 8);
        rc = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, from, end - from + ahead) == 0 ? 0 : errno;
        if (rc == ENOSPC && ahead > 0) {
            ahead = 0;
            rc = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, from, end - from) == 0 ? 0 : errno;
        }
        if (rc == EOPNOTSUPP || rc == ENOSYS) {
            ahead = 0;
            rc = ::posix_fallocate(fd, from, end - from);
        }
    }
    if (rc != 0) {
        errno = rc;
        RaiseSystem(kind + kStepWrite);
    }
    m.reserved = end + ahead;
}

void* MapLarge(size_t bytes) {
    // Mapped with a large page's worth to spare, then cut to start on a large-page boundary.
    const size_t len = LargeRound(bytes);
    void* p = ::mmap(nullptr, len + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                     -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    const auto raw = reinterpret_cast<uintptr_t>(p);
    const uintptr_t start = (raw + kLargePage - 1) & ~uintptr_t(kLargePage - 1);
    if (start > raw) ::munmap(p, start - raw);
    if (start + len < raw + len + kLargePage)
        ::munmap(reinterpret_cast<void*>(start + len), raw + len + kLargePage - start - len);
    ::madvise(reinterpret_cast<void*>(start), len, MADV_HUGEPAGE);  // a hint: may be refused
    return reinterpret_cast<void*>(start);
}

void UnmapLarge(void* p, size_t bytes) noexcept {
    ::munmap(p, LargeRound(bytes));
}

static int SetLock(int fd, short type, off_t off, off_t len) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = off;
    fl.l_len = len;
    fl.l_pid = 0;
    return ::fcntl(fd, F_OFD_SETLK, &fl);
}

bool LockRange(int fd, off_t off, off_t len, bool wait) {
    int spins = 0;
    for (;;) {
        if (SetLock(fd, F_WRLCK, off, len) == 0) return true;
        int err = errno;
        bool conflict = err == EAGAIN || err == EACCES;
        if (!conflict && err != EINTR && err != EDEADLK) RaiseSystem(kLockFile + kStepLock);
        if (conflict && !wait) return false;
        // Waiting: yield a few times, then sleep briefly between attempts.
        if (++spins < 20) {
            sched_yield();
        } else {
            struct timespec ts {
                0, spins < 200 ? 100000 : 1000000
            };
            nanosleep(&ts, nullptr);
        }
    }
}

bool RangeFree(int fd, off_t off, off_t len) {
    for (;;) {
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = off;
        fl.l_len = len;
        fl.l_pid = 0;
        if (::fcntl(fd, F_OFD_GETLK, &fl) == 0) return fl.l_type == F_UNLCK;
        if (errno != EINTR) RaiseSystem(kLockFile + kStepLock);
    }
}

void UnlockRange(int fd, off_t off, off_t len) {
    while (SetLock(fd, F_UNLCK, off, len) != 0) {
        if (errno != EINTR) RaiseSystem(kLockFile + kStepLock);
    }
}

}  // namespace isam::detail
