#include "report/Gzip.h"

// next_in takes the body as it is, const.
#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <new>

namespace report {

namespace {

// zlib counts in 32 bits: larger bodies go in by parts.
constexpr size_t kMostPerCall = size_t(1) << 30;
// 15 bits of window, plus 16: a gzip header and trailer instead of zlib's.
constexpr int kGzipWindowBits = 15 + 16;
constexpr int kMemoryLevel = 8;

std::string Reason(const z_stream& stream) {
    return std::string("cannot compress: ") + (stream.msg ? stream.msg : "zlib failed");
}

}  // namespace

bool Gzip(std::string_view body, std::string& out, std::string& error) {
    out.clear();
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, kMemoryLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK) {
        error = Reason(stream);
        return false;
    }
    int rc = Z_OK;
    try {
        out.resize(deflateBound(&stream, uLong(body.size())));
        size_t in_done = 0, out_done = 0;
        // Z_OK: either more input to give or, at the end, more room wanted.
        while (rc == Z_OK) {
            if (out_done == out.size()) out.resize(out.size() * 2 + 64);
            const size_t in_part = std::min(body.size() - in_done, kMostPerCall);
            const size_t room = std::min(out.size() - out_done, kMostPerCall);
            stream.next_in = reinterpret_cast<const Bytef*>(body.data() + in_done);
            stream.avail_in = uInt(in_part);
            stream.next_out = reinterpret_cast<Bytef*>(out.data() + out_done);
            stream.avail_out = uInt(room);
            rc = deflate(&stream, in_done + in_part == body.size() ? Z_FINISH : Z_NO_FLUSH);
            in_done += in_part - stream.avail_in;
            out_done += room - stream.avail_out;
        }
        out.resize(out_done);
    } catch (const std::bad_alloc&) {
        rc = Z_MEM_ERROR;
    }
    if (rc != Z_STREAM_END) {
        error = rc == Z_MEM_ERROR ? "cannot compress: out of memory" : Reason(stream);
        out.clear();
    }
    deflateEnd(&stream);
    return rc == Z_STREAM_END;
}

}  // namespace report
