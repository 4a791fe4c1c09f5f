#include "data/DataAccess.h"

#include <sys/stat.h>

#include <cerrno>
#include <vector>

#include "data/RemoteClient.h"
#include "platform/Path.h"

namespace data {
namespace {

// The engine's number with its text, about what (our own numbers with their texts: a server
// names a file that is not a regular file so).
platform::Status EngineStatus(int error, const std::string& what) {
    const int code = error > 0 ? error : EIO;
    if (code >= platform::kErrorNotRegularFile) return {code, what};
    return {code, what, isam::ErrorText(code)};
}

// Why the file at path cannot be one of an ISAM file's: 0 for a regular file.
int NotRegularError(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return 0;
    return S_ISDIR(st.st_mode) ? EISDIR : platform::kErrorNotRegularFile;
}

}  // namespace

platform::Status ServerStatus(const RemoteClient& client, const std::string& what) {
    const int error = client.LastError();
    if (error == -2 || error == EBADMSG || error <= 0) {
        const std::string& failure = client.LastFailure();
        return {error == EBADMSG ? EBADMSG : ENOTCONN, what,
                failure.empty() ? "the data server does not answer" : failure};
    }
    return EngineStatus(error, what);
}

bool BuildKey(int kind, isam::KeyDesc& key) {
    key = isam::KeyDesc{};
    if (kind == kGroupKey) {
        key.nparts = 1;
        key.parts[0] = {4, 4, isam::KP_INT32};
    } else if (kind == kUserKey) {
        key.nparts = 2;
        key.parts[0] = {8, 4, isam::KP_INT32};
        key.parts[1] = {4, 4, isam::KP_INT32};
    } else {
        return false;
    }
    return true;
}

DataAccess::~DataAccess() {
    (void)Close();
}

platform::Status DataAccess::Open(const std::string& path, int mode) {
    if (path.empty()) return {ENOENT, path};
    std::string rest = path;
    std::string drive;
    if (rest.size() >= 2 && rest[1] == ':') {
        drive = rest.substr(0, 2);
        rest.erase(0, 2);
    }
    const size_t slash = rest.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? "" : rest.substr(0, slash);
    std::string name = slash == std::string::npos ? rest : rest.substr(slash + 1);
    const size_t dot = name.rfind('.');
    const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    if (base.empty()) return {ENOENT, path};
    const bool rooted = slash == 0;
    const std::string prefix = folder.empty() ? (rooted ? "/" : "") : folder + "/";
    const std::string data_path = platform::NativePath(drive + prefix + base + ".dat");
    struct stat st;
    if (::stat(data_path.c_str(), &st) != 0) return platform::Status::FromErrno(path);
    if (const int error = NotRegularError(st)) return {error, path};
    // The engine would fail on an index or lock file that is a FIFO with the system's "Illegal
    // seek" or worse: say what is wrong with it.
    for (const char* ext : {".idx", ".lck"}) {
        const std::string other = data_path.substr(0, data_path.size() - 4) + ext;
        if (::stat(other.c_str(), &st) == 0) {
            if (const int error = NotRegularError(st)) return {error, other};
        }
    }
    (void)Close();
    drive_ = drive;
    folder_ = folder;
    base_ = base;
    data_path_ = data_path;
    const std::string base_path = data_path.substr(0, data_path.size() - 4);
    mode_ = mode;
    handle_ = open_fn_(base_path.c_str(), mode_);
    if (handle_ < 0 && isam::last_error == EACCES) {
        mode_ = mode | isam::LOCKMODE_NONE;
        handle_ = open_fn_(base_path.c_str(), mode_);
    }
    if (handle_ < 0) return EngineStatus(isam::last_error, path);
    return {};
}

platform::Status DataAccess::Outcome(int rc) const {
    if (rc >= 0) return {};
    return Fail(isam::last_error);
}

platform::Status DataAccess::Fail(int error) const {
    return EngineStatus(error, data_path_);
}

platform::Status DataAccess::Close() {
    if (handle_ < 0) return {};
    platform::Status closed = Outcome(isam::ISCLOSE(handle_));
    if (closed) handle_ = -1;
    return closed;
}

platform::Status DataAccess::Flush() {
    if (handle_ < 0) return Fail(isam::kNotOpen);
    return Outcome(isam::ISFLUSH(handle_));
}

platform::Status DataAccess::SelectKey(int kind) {
    if (!BuildKey(kind, key_)) return Fail(isam::kBadKey);
    return {};
}

platform::Status DataAccess::Start(int length, void* record, int mode) {
    if (key_.nparts == 0) return Fail(isam::kBadKey);
    return Outcome(isam::ISSTART(handle_, &key_, length, record, mode));
}

platform::Status DataAccess::Read(void* record, int mode) {
    return Outcome(isam::ISREAD(handle_, record, mode));
}

platform::Status DataAccess::Rewrite(const void* record) {
    return Outcome(isam::ISREWRITE(handle_, record));
}

platform::Status DataAccess::Write(const void* record) {
    return Outcome(isam::ISWRITE(handle_, record));
}

platform::Status DataAccess::Delete(const void* record) {
    return Outcome(isam::ISDELETE(handle_, record));
}

void DataAccess::SetRemote(RemoteClient* client, std::string remote_name) {
    remote_ = client;
    remote_name_ = client ? std::move(remote_name) : std::string();
}

platform::Status DataAccess::OpenOnServer(int mode) {
    if (!remote_) return {ENOTCONN, remote_name_, "no data server"};
    if (remote_->RemoteOpen(remote_name_, mode) < 0) return ServerStatus(*remote_, remote_name_);
    return {};
}

platform::Status RewriteOnServer(RemoteClient& client, const std::string& remote_name, int kind,
                                 const void* record, int size) {
    if (size <= 0) return {EINVAL, remote_name, "an empty record"};
    std::vector<uint8_t> found(static_cast<const uint8_t*>(record),
                               static_cast<const uint8_t*>(record) + size);
    // The server rewrites the record its connection last read.
    if (client.SelectKey(kind) < 0 || client.RemoteStart(0, found.data(), size, isam::EQUAL) < 0 ||
        client.RemoteRead(found.data(), size, isam::EQUAL) < 0 ||
        client.RemoteRewriteCurrent(record, size) < 0)
        return ServerStatus(client, remote_name);
    return {};
}

platform::Status DataAccess::RewriteByKey(int kind, const void* record, int size) {
    if (size <= 0) return {EINVAL, data_path_, "an empty record"};
    const platform::Status server =
        remote_ ? RewriteOnServer(*remote_, remote_name_, kind, record, size) : platform::Status();
    std::vector<uint8_t> found(static_cast<const uint8_t*>(record),
                               static_cast<const uint8_t*>(record) + size);
    // The local record is read first as well: the engine rewrites the record it last read.
    platform::Status local;
    if (handle_ < 0)
        local = Fail(isam::kNotOpen);
    else if ((local = SelectKey(kind)) && (local = Start(0, found.data(), isam::EQUAL)) &&
             (local = Read(found.data(), isam::EQUAL)))
        local = Rewrite(record);
    return server.ok() ? local : server;
}

}  // namespace data
