// The choice between local and remote data at start-up.
#pragma once

#include <memory>
#include <vector>

#include "data/Course.h"
#include "data/UserRecord.h"
#include "lesson/RemoteData.h"
#include "platform/Status.h"
#include "shell/StartupView.h"

namespace shell {

inline constexpr const char* kLocalServer = "127.0.0.1";
inline constexpr int kServerTimeoutMs = 10000;

// What opening the data leaves besides its status.
struct DataOpening {
    std::unique_ptr<lesson::RemoteData> remote;  // the data server's link; empty for local data
    // The learner files whose server copy was not taken, each with why; their local copies stay.
    std::vector<platform::Status> kept_local;
    // Learners whose local record was newer than the server's, and was kept.
    std::vector<data::UserRecord> newer_local;
};

// IPserv= exactly "127.0.0.1": local data, nothing to open. Otherwise a client from make_remote
// (the data server client when none is given) connects to IPserv=:IPport= (10 s time-out);
// unreachable fails with ENOTCONN, "address:port" and the client's reason, and leaves no link.
// Connected: GROUP.dat, GROUP.idx, USERS.dat and USERS.idx of <data>\<product>\<lang> are
// fetched from the server, each announced in the status bar with common text 82 (name); a pair
// that cannot be taken whole and sound keeps its local copy. Shows no box and prints nothing:
// ReportDataOpening does.
platform::Status OpenDataAccess(data::Course& course, StartupView& view,
                                const lesson::RemoteDataFactory& make_remote, DataOpening& opening);

// Reports what OpenDataAccess gave, once: an unreachable server as an error box with common
// text 81 (address, port) captioned with the application name, and a line on stderr; each file
// kept and each learner whose newer local record was kept, a line on stderr; then the status
// bar names those learners with common text 121, or is cleared.
void ReportDataOpening(const platform::Status& status, const DataOpening& opening,
                       data::Course& course, StartupView& view);

}  // namespace shell
