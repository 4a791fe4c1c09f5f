// The data server's client on a thread of its own, so that the window's thread never waits on
// the network: the owner posts jobs that run in order on the worker with the client, and waits
// for them only where it chooses, within a bound. From Start on, only the worker touches the
// client. Results and the waiting state come back to the owner's thread through its poster.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/Status.h"

namespace data {

class RemoteClient;

class RemoteWorker {
  public:
    using Job = std::function<platform::Status(RemoteClient&)>;
    using Done = std::function<void(const platform::Status&)>;
    // Hands a call to the owner's thread (a queued call in the window's event loop).
    using Poster = std::function<void(std::function<void()>)>;

    // The worker uses client from now on; waiting(true) is posted when a job waits longer than
    // a moment on the server, waiting(false) when it no longer does.
    RemoteWorker(RemoteClient& client, Poster post, std::function<void(bool)> waiting = {});
    // Gives up the job in progress (its wait ends at once), drops the jobs not begun and joins.
    ~RemoteWorker();
    RemoteWorker(const RemoteWorker&) = delete;
    RemoteWorker& operator=(const RemoteWorker&) = delete;

    // Queues job; done, if any, is posted with its status once it ran.
    void Post(Job job, Done done = {});
    // Queues job and waits for it (after every job before it) at most bound; its status, or
    // nothing when the bound passed first (the job stays queued and runs later).
    std::optional<platform::Status> Call(Job job, std::chrono::milliseconds bound);
    // Waits at most bound until every job posted so far ran; false when some are still queued.
    bool Drain(std::chrono::milliseconds bound);
    // The status of the last job that ran; success before the first.
    platform::Status LastStatus() const;
    // Jobs that failed so far.
    uint64_t Failures() const;
    // Jobs queued or running.
    size_t Pending() const;

  private:
    void Run();
    void ShowWaiting(bool waiting);

    RemoteClient& client_;
    Poster post_;
    std::function<void(bool)> waiting_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    struct Entry {
        uint64_t number;
        Job job;
        Done done;
    };
    std::deque<Entry> queue_;
    uint64_t posted_ = 0;    // jobs queued so far
    uint64_t finished_ = 0;  // jobs run so far (in order)
    uint64_t failures_ = 0;
    bool stopping_ = false;
    bool shown_waiting_ = false;  // worker's thread only
    platform::Status last_;
    std::thread thread_;
};

}  // namespace data
