#include "data/RemoteClient.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <asio.hpp>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "data/DataAccess.h"
#include "platform/Path.h"

namespace data {

using asio::ip::tcp;

struct RemoteClient::Net {
    asio::io_context ctx;
    tcp::socket socket{ctx};
    bool connected = false;
    // Bytes of a reply received so far.
    std::array<uint8_t, kRequestSize> in{};
    size_t have = 0;

    void Close() {
        asio::error_code ec;
        socket.close(ec);
        connected = false;
        have = 0;
        ctx.restart();
        ctx.run();  // lets cancelled operations finish
        ctx.restart();
    }
};

RemoteClient::RemoteClient() : net_(std::make_unique<Net>()) {}

RemoteClient::~RemoteClient() {
    Disconnect();
    if (trace_) std::fclose(trace_);
}

void RemoteClient::CreateClient(const std::string& address, int port, int timeout_ms) {
    Disconnect();
    address_ = address;
    port_ = port;
    timeout_ms_ = timeout_ms > 0 ? timeout_ms : 1;
    counter_ = 0;
    timeouts_ = 0;
    next_retry_ = {};
    sign_on_.reset();
    open_.reset();
    hold_start_.reset();
    hold_read_.reset();
}

bool RemoteClient::Connected() const {
    return net_->connected;
}

bool RemoteClient::Connect() {
    if (net_->connected) return true;
    if (cancelled_.load()) {
        failure_ = "the connection was given up";
        return false;
    }
    Net& n = *net_;
    n.Close();
    asio::error_code ec;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms_);
    // An address is used as it stands; a host name is looked up by the system resolver, whose
    // own time limits apply.
    std::vector<tcp::endpoint> endpoints;
    const asio::ip::address ip = asio::ip::make_address(address_, ec);
    if (!ec) {
        endpoints.emplace_back(ip, uint16_t(port_));
    } else {
        tcp::resolver resolver(n.ctx);
        for (const auto& entry :
             resolver.resolve(address_, std::to_string(port_), tcp::resolver::numeric_service, ec))
            endpoints.push_back(entry.endpoint());
        if (ec || endpoints.empty() || address_.empty()) {
            failure_ = "cannot find the server " + address_ + (ec ? ": " + ec.message() : "");
            return false;
        }
    }
    bool done = false;
    asio::error_code result = asio::error::timed_out;
    asio::async_connect(n.socket, endpoints, [&](const asio::error_code& e, const tcp::endpoint&) {
        done = true;
        result = e;
    });
    n.ctx.restart();
    Wait(done, deadline);
    EndWait();
    if (!done) n.Close();
    if (!done || result) {
        failure_ = "cannot connect to " + address_ + ":" + std::to_string(port_) + ": " +
                   (done ? result.message() : "timed out");
        n.Close();
        return false;
    }
    n.socket.set_option(tcp::no_delay(true), ec);
    n.connected = true;
    n.have = 0;
    timeouts_ = 0;
    return true;
}

void RemoteClient::Disconnect() {
    if (net_) net_->Close();
}

bool RemoteClient::AttachTrace(const std::string& path) {
    if (trace_) std::fclose(trace_);
    trace_ = std::fopen(path.c_str(), "a");
    if (!trace_) return false;
    std::fprintf(trace_, "%s\n", kRequestTraceHeading);
    std::fflush(trace_);
    return true;
}

void RemoteClient::Trace(const char* direction, long bytes, const RequestRecord& record) {
    if (!trace_) return;
    std::fprintf(trace_, "%s\n", RequestTraceLine(direction, bytes, record).c_str());
    std::fflush(trace_);
}

std::chrono::steady_clock::time_point RemoteClient::Deadline() const {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms_);
}

// Runs the network until done or the deadline, in short slices: a wait longer than a moment
// is announced to the wait handler at every slice, so that a window can show it and repaint.
void RemoteClient::Wait(const bool& done, std::chrono::steady_clock::time_point deadline) {
    constexpr auto kSlice = std::chrono::milliseconds(100);
    constexpr auto kMoment = std::chrono::milliseconds(200);
    const auto now = std::chrono::steady_clock::now();
    if (wait_started_ == std::chrono::steady_clock::time_point{}) wait_started_ = now;
    while (!done && !cancelled_.load()) {
        const auto slice_end = std::min(deadline, std::chrono::steady_clock::now() + kSlice);
        net_->ctx.run_until(slice_end);
        if (done || std::chrono::steady_clock::now() >= deadline) break;
        if (wait_handler_ && std::chrono::steady_clock::now() - wait_started_ >= kMoment) {
            waiting_shown_ = true;
            wait_handler_(true);
        }
        net_->ctx.restart();
    }
}

void RemoteClient::EndWait() {
    wait_started_ = {};
    if (!waiting_shown_) return;
    waiting_shown_ = false;
    if (wait_handler_) wait_handler_(false);
}

// Sends record_ and waits for the reply with its request number.
RemoteClient::Outcome RemoteClient::Exchange() {
    Net& n = *net_;
    record_.request_no = counter_++;
    std::array<uint8_t, kRequestSize> out;
    EncodeRequest(record_, out.data());
    const int32_t sent_no = record_.request_no;

    bool done = false;
    asio::error_code ec;
    size_t written = 0;
    asio::async_write(n.socket, asio::buffer(out), [&](const asio::error_code& e, size_t w) {
        done = true;
        ec = e;
        written = w;
    });
    n.ctx.restart();
    Wait(done, Deadline());
    if (!done) {
        EndWait();
        failure_ = "the server takes no requests";
        n.Close();
        return Outcome::kGone;
    }
    if (ec) {
        EndWait();
        failure_ = "send: " + ec.message();
        return Outcome::kClosed;
    }
    Trace("SND", long(written), record_);

    n.have = 0;
    int timeouts = 0;
    for (;;) {
        done = false;
        size_t got = 0;
        n.socket.async_read_some(asio::buffer(n.in.data() + n.have, kRequestSize - n.have),
                                 [&](const asio::error_code& e, size_t r) {
                                     done = true;
                                     ec = e;
                                     got = r;
                                 });
        n.ctx.restart();
        Wait(done, Deadline());
        while (!done) {
            // Silence: after the limit of time-outs in a row the server counts as gone.
            ++timeouts_;
            if (++timeouts >= timeout_limit_) {
                EndWait();
                failure_ = "no reply from the server";
                n.Close();
                return Outcome::kGone;
            }
            n.ctx.restart();
            Wait(done, Deadline());
        }
        if (ec || got == 0) {
            EndWait();
            failure_ = ec == asio::error::eof ? "the server closed the connection"
                                              : "receive: " + ec.message();
            return Outcome::kClosed;
        }
        timeouts = 0;
        n.have += got;
        // Every read is traced with its byte count and the record as received so far.
        RequestRecord reply;
        {
            std::array<uint8_t, kRequestSize> so_far{};
            std::memcpy(so_far.data(), n.in.data(), n.have);
            DecodeRequest(so_far.data(), reply);
        }
        Trace("RCV", long(got), reply);
        if (n.have < size_t(kRequestSize)) continue;
        n.have = 0;
        if (reply.request_no != sent_no) {
            if (trace_) {
                std::fprintf(trace_, "Err : %02X %02X %02X %02X %02X %02X %02X %02X\n", n.in[0],
                             n.in[1], n.in[2], n.in[3], n.in[4], n.in[5], n.in[6], n.in[7]);
                std::fflush(trace_);
            }
            continue;  // a late answer to an earlier request
        }
        record_ = reply;
        EndWait();
        return Outcome::kReply;
    }
}

// Connects again and repeats the sign-on, the open and the hold that the server has forgotten.
bool RemoteClient::Reconnect() {
    net_->Close();
    if (!Connect()) {
        PutOffRetry();
        return false;
    }
    const RequestRecord request = record_;
    for (const std::optional<RequestRecord>* saved :
         {&sign_on_, &open_, &hold_start_, &hold_read_}) {
        if (!*saved) continue;
        record_ = **saved;
        record_.result = -1;
        const Outcome outcome = Exchange();
        if (outcome != Outcome::kReply || record_.result < 0) {
            if (outcome == Outcome::kReply)
                failure_ = "the server refused to resume the session (error " +
                           std::to_string(record_.error) + ")";
            record_ = request;
            net_->Close();
            PutOffRetry();
            return false;
        }
    }
    record_ = request;
    return true;
}

void RemoteClient::PutOffRetry() {
    next_retry_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(retry_interval_ms_);
}

int RemoteClient::Transact(int code) {
    record_.code = code;
    record_.result = -1;
    // A client that lost its server tries again once the retry interval has passed.
    if (!net_->connected &&
        (address_.empty() || std::chrono::steady_clock::now() < next_retry_ || !Reconnect())) {
        record_.error = -2;
        return -1;
    }
    const RequestRecord request = record_;
    Outcome outcome = Exchange();
    if (outcome == Outcome::kClosed) {
        if (Reconnect()) {
            record_ = request;
            outcome = Exchange();
        }
    }
    if (outcome != Outcome::kReply) {
        net_->Close();
        PutOffRetry();
        record_.result = -1;
        record_.error = -2;
        return -1;
    }
    return record_.result;
}

int RemoteClient::SignOn(const std::string& app, const std::string& group,
                         const std::string& user) {
    PutSignOnTexts(record_, app, group, user);
    // A sign-on begins a new session: what the last one asked is not repeated.
    sign_on_.reset();
    open_.reset();
    hold_start_.reset();
    hold_read_.reset();
    const int rc = Transact(kSignOn);
    if (rc >= 0) sign_on_ = record_;
    return rc;
}

int RemoteClient::RemoteOpen(const std::string& name, int mode) {
    record_.SetName(name);
    record_.mode = mode;
    const int rc = Transact(kIsOpen);
    if (rc >= 0) {
        open_ = record_;
        hold_start_.reset();
        hold_read_.reset();
    }
    return rc;
}

static void PutData(RequestRecord& r, const void* record, int size) {
    r.data.fill(0);
    if (record && size > 0)
        std::memcpy(r.data.data(), record, size_t(std::min(size, kRequestDataSize)));
}

int RemoteClient::RemoteRead(void* record, int size, int mode) {
    PutData(record_, record, size);
    record_.mode = mode;
    const int rc = Transact(kIsRead);
    if (rc >= 0 && record && size > 0)
        std::memcpy(record, record_.data.data(), size_t(std::min(size, kRequestDataSize)));
    return rc;
}

int RemoteClient::RemoteRewriteCurrent(const void* record, int size) {
    PutData(record_, record, size);
    return Transact(kIsRewCurr);
}

int RemoteClient::RemoteStart(int length, const void* record, int size, int mode) {
    PutData(record_, record, size);
    record_.key = key_;
    record_.length = length;
    record_.mode = mode;
    return Transact(kIsStart);
}

int RemoteClient::HoldLearner(void* record, int size) {
    if (SelectKey(kUserKey) < 0) return -1;
    if (RemoteStart(0, record, size, isam::EQUAL) < 0) return -1;
    const RequestRecord start = record_;
    if (RemoteRead(record, size, isam::EQUAL | isam::LOCK_KEEP) < 0) return -1;
    hold_start_ = start;
    hold_read_ = record_;
    return record_.result;
}

void RemoteClient::EndSession() {
    sign_on_.reset();
    open_.reset();
    hold_start_.reset();
    hold_read_.reset();
    Disconnect();
    next_retry_ = {};
}

int RemoteClient::SelectKey(int kind) {
    return BuildKey(kind, key_) ? 0 : -1;
}

int RemoteClient::GetFile(const std::string& local_path, const std::string& remote_name) {
    const size_t slash = local_path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        platform::CreateFolders(local_path.substr(0, slash));
    const std::string temp = local_path + ".part";
    // Without waiting: a FIFO left at the name would hold the player up.
    const int fd =
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        record_.error = errno;
        return -1;
    }
    record_.SetName(remote_name);
    record_.block = 1;
    int rc = -1;
    bool complete = false;
    // Blocks of any length up to 1024 may come; only an empty block ends the file.
    for (;;) {
        record_.length = 0;
        rc = Transact(kIsGetFile);
        if (rc < 0 || record_.length <= 0 || record_.length > kRequestDataSize) {
            complete = rc >= 0 && record_.length == 0;
            if (rc >= 0 && !complete) {
                record_.error = EBADMSG;
                failure_ = "the server sent a block of " + std::to_string(record_.length) +
                           " bytes (1024 at most)";
            }
            break;
        }
        record_.error = 0;
        if (::write(fd, record_.data.data(), size_t(record_.length)) != record_.length) {
            record_.error = errno ? errno : EIO;
            break;
        }
        ++record_.block;
    }
    if (::fsync(fd) != 0) complete = false;
    ::close(fd);
    if (complete && ::rename(temp.c_str(), local_path.c_str()) != 0) {
        record_.error = errno;
        complete = false;
    }
    if (!complete) {
        ::unlink(temp.c_str());
        return -1;
    }
    return rc;
}

int RemoteClient::SendFile(const std::string& remote_name, const std::string& local_path) {
    // Only a regular file is sent, opened without waiting: a FIFO would hold the player up.
    const int fd = ::open(local_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        record_.error = errno;
        return -1;
    }
    struct stat st;
    const int refused = ::fstat(fd, &st) != 0 ? errno
                        : S_ISREG(st.st_mode) ? 0
                        : S_ISDIR(st.st_mode) ? EISDIR
                                              : platform::kErrorNotRegularFile;
    if (refused != 0) {
        record_.error = refused;
        ::close(fd);
        return -1;
    }
    record_.SetName(remote_name);
    record_.block = 1;
    int rc = -1;
    for (;;) {
        record_.data.fill(0);
        const ssize_t n = ::read(fd, record_.data.data(), kRequestDataSize);
        if (n <= 0) break;
        record_.length = int32_t(n);
        rc = Transact(kIsSendFile);
        if (rc == -1) break;
        ++record_.block;
    }
    ::close(fd);
    return rc;
}

std::string RemoteFileName(std::string_view root, std::string_view path) {
    std::string p(path);
    if (p.size() >= 2 && p[1] == ':') p.erase(0, 2);
    for (char& c : p)
        if (c == '\\') c = '/';
    if (!p.empty() && p[0] == '/' && !root.empty()) {
        std::string here(root);
        if (here.back() != '/') here += '/';
        if (p.compare(0, here.size(), here) == 0) p.erase(0, here.size());
    }
    while (!p.empty() && p[0] == '/') p.erase(0, 1);
    while (p.compare(0, 2, "./") == 0) p.erase(0, 2);
    for (char& c : p)
        if (c == '/') c = '\\';
    return "?:\\" + p;
}

}  // namespace data
