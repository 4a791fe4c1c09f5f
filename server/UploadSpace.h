// The disk space that unfinished uploads of every connection take together, bounded so that
// idle or hostile players cannot fill the disk with temporaries. Used on the engine thread.
#pragma once

namespace server {

class UploadSpace {
  public:
    explicit UploadSpace(long limit = 256L << 20) : limit_(limit) {}
    // Reserves bytes more for an upload; false (nothing reserved) when that passes the limit.
    bool Take(long bytes) {
        if (bytes > limit_ - used_) return false;
        used_ += bytes;
        return true;
    }
    void Give(long bytes) { used_ -= bytes; }
    long Used() const { return used_; }
    long Limit() const { return limit_; }

  private:
    long limit_;
    long used_ = 0;
};

}  // namespace server
