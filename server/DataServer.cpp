#include "DataServer.h"

#include <chrono>
#include <csignal>
#include <cstdio>

#include "ClientSession.h"
#include "data/RequestRecord.h"
#include "isam/Isam.h"

namespace server {

using asio::ip::tcp;

class DataServer::Connection : public std::enable_shared_from_this<Connection> {
  public:
    Connection(DataServer& server, tcp::socket socket, long id)
        : server_(server), socket_(std::move(socket)), idle_(server.net_), id_(id) {
        asio::error_code ec;
        const tcp::endpoint peer = socket_.remote_endpoint(ec);
        address_ = ec ? "?" : peer.address().to_string();
        peer_ = ec ? "?" : address_ + ":" + std::to_string(peer.port());
        socket_.set_option(tcp::no_delay(true), ec);
    }

    void Begin() {
        auto self = shared_from_this();
        asio::post(server_.engine_, [self] {
            self->session_ = std::make_unique<ClientSession>(self->server_.names_, self->peer_,
                                                             &self->server_.holds_, self->id_,
                                                             &self->server_.uploads_);
        });
        ReadNext();
    }

    // Network thread: the connection is over.
    void Close(bool clean) {
        if (closed_) return;
        closed_ = true;
        asio::error_code ec;
        socket_.close(ec);
        idle_.cancel();
        server_.connections_.erase(id_);
        if (--server_.per_address_[address_] <= 0) server_.per_address_.erase(address_);
        auto self = shared_from_this();
        asio::post(server_.engine_, [self, clean] {
            if (self->session_) self->session_->End(clean);
            self->session_.reset();
            // The socket and timer are the network thread's: let it drop the last reference.
            asio::post(self->server_.net_, [self] {});
        });
    }

  private:
    friend class DataServer;

    void ReadNext() {
        busy_ = false;
        last_active_ = std::chrono::steady_clock::now();
        ArmIdle();
        auto self = shared_from_this();
        asio::async_read(socket_, asio::buffer(buf_),
                         [self](const asio::error_code& ec, size_t n) { self->OnRead(ec, n); });
    }

    void ArmIdle() {
        idle_.expires_after(std::chrono::seconds(server_.options_.idle_seconds));
        auto self = shared_from_this();
        idle_.async_wait([self](const asio::error_code& ec) {
            if (!ec) {
                std::fprintf(stderr, "%s idle, dropped\n", self->peer_.c_str());
                self->Close(false);
            }
        });
    }

    void OnRead(const asio::error_code& ec, size_t n) {
        if (closed_) return;
        if (ec) {
            // A clean end falls between records; bytes of an unfinished record are dropped.
            Close(ec == asio::error::eof && n == 0);
            return;
        }
        idle_.cancel();
        busy_ = true;
        auto self = shared_from_this();
        asio::post(server_.engine_, [self] { self->server_.Serve(self, 0); });
    }

    void Write() {
        if (closed_) return;
        auto self = shared_from_this();
        asio::async_write(socket_, asio::buffer(buf_), [self](const asio::error_code& ec, size_t) {
            if (ec)
                self->Close(false);
            else if (!self->closed_)
                self->ReadNext();
        });
    }

    DataServer& server_;
    tcp::socket socket_;
    asio::steady_timer idle_;
    long id_;
    std::string address_, peer_;
    bool closed_ = false;  // network thread
    bool busy_ = false;    // network thread: a request is being served
    std::chrono::steady_clock::time_point last_active_ = std::chrono::steady_clock::now();
    std::array<uint8_t, data::kRequestSize> buf_;  // the request, then the reply
    std::unique_ptr<ClientSession> session_;       // engine thread
    data::RequestRecord request_;                  // engine thread: the request as received
};

DataServer::DataServer(ServerOptions options)
    : options_(std::move(options)),
      names_(options_.root),
      uploads_(options_.upload_space),
      engine_work_(asio::make_work_guard(engine_)),
      acceptor_(net_),
      signals_(net_, SIGINT, SIGTERM) {}

DataServer::~DataServer() {
    if (engine_thread_.joinable()) {
        engine_work_.reset();
        engine_.stop();
        engine_thread_.join();
    }
    if (trace_) std::fclose(trace_);
}

bool DataServer::Listen(std::string& error) {
    if (names_.Root().empty()) {
        error = "the folder " + options_.root + " does not exist";
        return false;
    }
    asio::error_code ec;
    const asio::ip::address address = asio::ip::make_address(options_.bind, ec);
    if (ec) {
        error = "bad address " + options_.bind;
        return false;
    }
    const tcp::endpoint endpoint(address, uint16_t(options_.port));
    acceptor_.open(endpoint.protocol(), ec);
    if (!ec) acceptor_.set_option(tcp::acceptor::reuse_address(true), ec);
    if (!ec) acceptor_.bind(endpoint, ec);
    if (!ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        error = "cannot listen on " + options_.bind + ":" + std::to_string(options_.port) + ": " +
                ec.message();
        return false;
    }
    if (!options_.trace.empty()) {
        trace_ = std::fopen(options_.trace.c_str(), "a");
        if (!trace_) {
            error = "cannot open the trace file " + options_.trace;
            return false;
        }
        std::fprintf(trace_, "%s\n", data::kRequestTraceHeading);
        std::fflush(trace_);
    }
    return true;
}

std::string DataServer::Address() const {
    asio::error_code ec;
    const tcp::endpoint e = acceptor_.local_endpoint(ec);
    return e.address().to_string() + ":" + std::to_string(e.port());
}

void DataServer::Run() {
    engine_thread_ = std::thread([this] { engine_.run(); });
    signals_.async_wait([this](const asio::error_code& ec, int) {
        if (!ec) Shutdown();
    });
    Accept();
    net_.run();
    engine_work_.reset();
    engine_thread_.join();
}

void DataServer::Stop() {
    asio::post(net_, [this] { Shutdown(); });
}

void DataServer::Shutdown() {
    if (stopping_) return;
    stopping_ = true;
    asio::error_code ec;
    acceptor_.close(ec);
    signals_.cancel(ec);
    const auto open = connections_;
    for (const auto& [id, c] : open) c->Close(false);
    asio::post(engine_, [] { isam::ISCLOSEALL(); });
}

void DataServer::Accept() {
    acceptor_.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
        if (stopping_ || ec == asio::error::operation_aborted) return;
        if (!ec) {
            asio::error_code peer_ec;
            const tcp::endpoint peer = socket.remote_endpoint(peer_ec);
            const std::string address = peer_ec ? "?" : peer.address().to_string();
            const std::string name = peer_ec ? "?" : address + ":" + std::to_string(peer.port());
            if (!Admit(address, name)) {
                asio::error_code ignored;
                socket.close(ignored);
            } else {
                auto c = std::make_shared<Connection>(*this, std::move(socket),
                                                      ClientSession::NextSerial());
                connections_[c->id_] = c;
                ++per_address_[c->address_];
                c->Begin();
            }
        }
        Accept();
    });
}

bool DataServer::Admit(const std::string& address, const std::string& peer) {
    const auto from = per_address_.find(address);
    if (from != per_address_.end() && from->second >= options_.max_per_address) {
        LogRefusal(0, peer,
                   std::to_string(from->second) + " connections from " + address +
                       " already (--max-per-address)");
        return false;
    }
    if (int(connections_.size()) < options_.max_clients) return true;
    // Full: the connection silent the longest makes room when it has been silent long enough.
    std::shared_ptr<Connection> quiet;
    for (const auto& [id, c] : connections_)
        if (!c->busy_ && (!quiet || c->last_active_ < quiet->last_active_)) quiet = c;
    const auto silent = quiet ? std::chrono::steady_clock::now() - quiet->last_active_
                              : std::chrono::steady_clock::duration::zero();
    if (quiet && silent >= std::chrono::seconds(options_.full_idle_seconds)) {
        std::fprintf(stderr, "%s silent for %lld s while the server is full, dropped for %s\n",
                     quiet->peer_.c_str(),
                     static_cast<long long>(
                         std::chrono::duration_cast<std::chrono::seconds>(silent).count()),
                     peer.c_str());
        quiet->Close(false);
        return true;
    }
    LogRefusal(1, peer,
               "the server is full (" + std::to_string(connections_.size()) +
                   " connections, --max-clients)");
    return false;
}

void DataServer::LogRefusal(int reason, const std::string& peer, const std::string& why) {
    Refusals& r = refusals_[reason];
    const auto now = std::chrono::steady_clock::now();
    if (r.logged != std::chrono::steady_clock::time_point{} &&
        now - r.logged < std::chrono::seconds(10)) {
        ++r.unlogged;
        return;
    }
    std::string more;
    if (r.unlogged > 0)
        more = "; " + std::to_string(r.unlogged) + " more refused so since the last such line";
    std::fprintf(stderr, "%s refused: %s%s\n", peer.c_str(), why.c_str(), more.c_str());
    r.logged = now;
    r.unlogged = 0;
}

void DataServer::Serve(std::shared_ptr<Connection> c, int waited_ms) {
    if (!c->session_) {
        asio::post(net_, [c] {});
        return;
    }
    data::RequestRecord& r = c->request_;
    if (waited_ms == 0) {
        data::DecodeRequest(c->buf_.data(), r);
        if (trace_)
            std::fprintf(trace_, "%s\n",
                         data::RequestTraceLine("RCV", data::kRequestSize, r).c_str());
    }
    data::RequestRecord reply = r;
    if (!c->session_->Handle(reply) && waited_ms < options_.lock_wait_ms) {
        // Held by another player's record lock: try again a little later, without holding up
        // the engine thread meanwhile.
        auto timer = std::make_shared<asio::steady_timer>(engine_, std::chrono::milliseconds(5));
        timer->async_wait(
            [this, c, timer, waited_ms](const asio::error_code&) { Serve(c, waited_ms + 5); });
        return;
    }
    data::EncodeRequest(reply, c->buf_.data());
    if (trace_) {
        std::fprintf(trace_, "%s\n",
                     data::RequestTraceLine("SND", data::kRequestSize, reply).c_str());
        std::fflush(trace_);
    }
    asio::post(net_, [c] { c->Write(); });
}

}  // namespace server
