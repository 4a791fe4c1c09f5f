// Clustering: the file is copied in one index's order under a temporary name, then the copy takes
// the place of the old files. A marker file beside them (".cls") says how far that got, so that a
// process killed at any point leaves a name that the next open settles into a consistent pair.
//
// Marker lines: "build <temporary base>" while the copy is made (the old files are untouched: a
// settle removes the copy), "swap <temporary base>" once the copy is complete (a settle finishes
// the renames: data file first, then index file). The marker goes last.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "isam/IsamFile.h"
#include "isam/Protocol.h"
#include "platform/FileOwner.h"

namespace isam::detail {

namespace {

constexpr char kBuild[] = "build ";
constexpr char kSwap[] = "swap ";

struct Marker {
    bool swap = false;
    std::string tmp;  // absolute base name of the copy; empty when the marker was cut short
};

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// Reads the marker; false when there is none.
bool ReadMarker(const std::string& path, Marker* m) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return false;
        RaiseSystem(kIndexFile + kStepOpen);
    }
    char buf[4200];
    size_t n = 0;
    try {
        n = ReadSome(fd, buf, sizeof buf - 1, 0, kIndexFile);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    std::string text(buf, n);
    *m = Marker{};
    // Only a whole line counts: a marker cut short was never followed by any other step.
    if (text.empty() || text.back() != '\n') return true;
    text.pop_back();
    if (text.rfind(kSwap, 0) == 0) {
        m->swap = true;
        m->tmp = text.substr(sizeof kSwap - 1);
    } else if (text.rfind(kBuild, 0) == 0) {
        m->tmp = text.substr(sizeof kBuild - 1);
    }
    return true;
}

void WriteWhole(const std::string& path, const std::string& text, int flags) {
    int fd = CreateBeside(path, O_WRONLY | flags, platform::FolderOf(path));
    if (fd < 0) RaiseSystem(kIndexFile + kStepCreate);
    try {
        WriteAt(fd, text.data(), text.size(), 0, kIndexFile);
    } catch (...) {
        ::close(fd);
        ::unlink(path.c_str());  // a marker cut short by a failure says nothing
        throw;
    }
    ::close(fd);
}

void Remove(const std::string& path, int kind) {
    CrashPoint();
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) RaiseSystem(kind + kStepRemove);
}

void Move(const std::string& from, const std::string& to, int kind) {
    CrashPoint();
    if (::rename(from.c_str(), to.c_str()) != 0) RaiseSystem(kind + kStepRemove);
}

void RemoveCopy(const std::string& tmp) {
    Remove(tmp + ".idx", kIndexFile);
    Remove(tmp + ".dat", kDataFile);
    Remove(tmp + ".lck", kLockFile);
}

// Puts the state the marker describes right: the copy removed, or the renames finished.
void Settle(const std::string& name, const std::string& marker, const Marker& m) {
    if (!m.tmp.empty()) {
        const std::string ti = m.tmp + ".idx", td = m.tmp + ".dat";
        if (!m.swap) {
            RemoveCopy(m.tmp);
        } else {
            const bool has_idx = Exists(ti), has_dat = Exists(td);
            // The data file always moves first: a lone data file means someone else was here.
            if (has_dat && !has_idx) Raise(kCorrupt);
            if (has_dat) Move(td, FilePath(name, ".dat"), kDataFile);
            if (has_idx) Move(ti, FilePath(name, ".idx"), kIndexFile);
        }
    }
    Remove(marker + ".new", kIndexFile);
    Remove(marker, kIndexFile);
}

std::string AbsoluteBase(const std::string& base) {
    if (!base.empty() && base[0] == '/') return base;
    char cwd[4096];
    if (!::getcwd(cwd, sizeof cwd)) RaiseSystem(kIndexFile + kStepCreate);
    return std::string(cwd) + "/" + base;
}

}  // namespace

void SettleCluster(const std::string& name, bool no_locks) {
    const std::string marker = FilePath(name, ".cls");
    Marker m;
    if (!ReadMarker(marker, &m)) return;
    // Without locks nothing may be changed: the old pair is read while the copy is being made,
    // but once the swap has begun it cannot be trusted as it stands.
    if (no_locks) {
        if (m.swap) Raise(kFileLocked);
        return;
    }
    // While the clustering process lives it holds the files exclusively: settle only with the
    // exclusive file-level region taken here, and never wait for it.
    int fd = OpenLockFile(name);
    if (fd < 0) RaiseSystem(kLockFile + kStepCreate);
    try {
        if (!LockRange(fd, 0, kIndexRegion, false)) Raise(kFileLocked);
        // Another process may have settled it while the lock was being taken.
        if (ReadMarker(marker, &m)) Settle(name, marker, m);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);  // closing the descriptor drops its locks
}

}  // namespace isam::detail

namespace isam {

using namespace detail;

static int Cluster(int handle, const KeyDesc* key) {
    IsamFile* f = Lookup(handle);
    if (!f) return FailGlobal(kNotOpen);
    if (f->IndexOnly()) return FailGlobal(kBadArgument);
    if (!f->Exclusive()) return FailGlobal(kNotExclusive);
    const std::string name = f->name;
    const int mode = f->mode & ~0x30;
    size_t cut = name.find_last_of("/\\:");
    char tmp_base[32];
    std::snprintf(tmp_base, sizeof tmp_base, "ist%05ld", long(::getpid()));
    const std::string tmp =
        (cut == std::string::npos ? std::string() : name.substr(0, cut + 1)) + tmp_base;
    const std::string marker = FilePath(name, ".cls");
    std::string abs;
    try {
        abs = AbsoluteBase(FilePath(tmp, ""));
        WriteWhole(marker, kBuild + abs + "\n", O_EXCL);
    } catch (...) {
        const Fail e = CaughtFailure();
        return FailGlobal(e.code, e.io);
    }
    // Until the swap marker is in place the old files are untouched: any failure removes the copy.
    auto abandon = [&](int err, int io) {
        try {
            RemoveCopy(abs);
            Remove(marker, kIndexFile);
        } catch (...) {
        }
        return FailGlobal(err, io);
    };
    int h = ISCLONE(handle, tmp.c_str());
    if (h < 0) return abandon(last_error, last_io_error);
    if (ISCOPY(h, handle, key) < 0) {
        int err = last_error, io = last_io_error;
        ISCLOSE(h);
        return abandon(err, io);
    }
    ISCLOSE(h);
    // Every name the swap needs is made before it starts, so that it cannot stop half-way for
    // want of memory.
    std::string new_marker, swap_text, dat_from, dat_to, idx_from, idx_to;
    try {
        new_marker = marker + ".new";
        swap_text = kSwap + abs + "\n";
        dat_from = abs + ".dat";
        idx_from = abs + ".idx";
        dat_to = FilePath(name, ".dat");
        idx_to = FilePath(name, ".idx");
        Remove(abs + ".lck", kLockFile);  // the copy's own lock file
        WriteWhole(new_marker, swap_text, O_TRUNC);
        Move(new_marker, marker, kIndexFile);
    } catch (...) {
        const Fail e = CaughtFailure();
        return abandon(e.code, e.io);
    }
    // The old handle keeps the files exclusively while they are replaced.
    try {
        Move(dat_from, dat_to, kDataFile);
    } catch (...) {
        const Fail e = CaughtFailure();
        // Nothing moved yet: the marker goes first, so that a cut cannot finish a half undo.
        try {
            Remove(marker, kIndexFile);
            RemoveCopy(abs);
        } catch (...) {
        }
        return FailGlobal(e.code, e.io);
    }
    try {
        Move(idx_from, idx_to, kIndexFile);
        Remove(marker, kIndexFile);
    } catch (...) {
        const Fail e = CaughtFailure();
        // The marker stays: the next open of the name finishes the swap.
        return FailGlobal(e.code, e.io);
    }
    ISCLOSE(handle);
    return ISOPEN(name.c_str(), mode);
}

int ISCLUSTER(int handle, const KeyDesc* key) {
    return Guarded([&] { return Cluster(handle, key); });
}

}  // namespace isam
