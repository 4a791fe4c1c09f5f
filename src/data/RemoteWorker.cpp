#include "data/RemoteWorker.h"

#include <memory>

#include "data/RemoteClient.h"

namespace data {

RemoteWorker::RemoteWorker(RemoteClient& client, Poster post, std::function<void(bool)> waiting)
    : client_(client), post_(std::move(post)), waiting_(std::move(waiting)) {
    client_.SetWaitHandler([this](bool w) { ShowWaiting(w); });
    thread_ = std::thread([this] { Run(); });
}

RemoteWorker::~RemoteWorker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    client_.Cancel();
    changed_.notify_all();
    thread_.join();
    client_.SetWaitHandler(nullptr);
}

// Only a change is posted: the client reports a wait every tenth of a second.
void RemoteWorker::ShowWaiting(bool waiting) {
    if (waiting == shown_waiting_) return;
    shown_waiting_ = waiting;
    if (waiting_ && post_) post_([w = waiting_, waiting] { w(waiting); });
}

void RemoteWorker::Post(Job job, Done done) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        queue_.push_back({++posted_, std::move(job), std::move(done)});
    }
    changed_.notify_all();
}

std::optional<platform::Status> RemoteWorker::Call(Job job, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    auto result = std::make_shared<std::optional<platform::Status>>();
    uint64_t number = 0;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return std::nullopt;
        number = ++posted_;
        // The result is kept by the job itself, so that the caller's wait may end first.
        queue_.push_back({number,
                          [job = std::move(job), result](RemoteClient& c) {
                              platform::Status s = job(c);
                              *result = s;
                              return s;
                          },
                          {}});
    }
    changed_.notify_all();
    std::unique_lock lock(mutex_);
    if (!changed_.wait_until(lock, deadline, [&] { return finished_ >= number; }))
        return std::nullopt;
    return *result;
}

bool RemoteWorker::Drain(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    const uint64_t target = posted_;
    return changed_.wait_for(lock, bound, [&] { return finished_ >= target || stopping_; }) &&
           finished_ >= target;
}

platform::Status RemoteWorker::LastStatus() const {
    std::lock_guard lock(mutex_);
    return last_;
}

uint64_t RemoteWorker::Failures() const {
    std::lock_guard lock(mutex_);
    return failures_;
}

size_t RemoteWorker::Pending() const {
    std::lock_guard lock(mutex_);
    return size_t(posted_ - finished_);
}

void RemoteWorker::Run() {
    for (;;) {
        Entry entry;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            entry = std::move(queue_.front());
            queue_.pop_front();
        }
        platform::Status status = entry.job(client_);
        {
            std::lock_guard lock(mutex_);
            finished_ = entry.number;
            last_ = status;
            if (!status.ok()) ++failures_;
        }
        changed_.notify_all();
        if (entry.done && post_) post_([done = std::move(entry.done), status] { done(status); });
    }
}

}  // namespace data
