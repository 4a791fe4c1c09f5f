// The choice between local and remote data at start-up.
#pragma once

#include <memory>

#include "data/Course.h"
#include "lesson/RemoteData.h"
#include "shell/StartupView.h"

namespace shell {

inline constexpr const char* kLocalServer = "127.0.0.1";
inline constexpr int kServerTimeoutMs = 10000;

// IPserv= exactly "127.0.0.1": local data, remote stays empty, true. Otherwise a client from
// make_remote (the data server client when none is given) connects to IPserv=:IPport= (10 s
// time-out). Unreachable: an error box with common text 81 (address, port) captioned with the
// application name, and false (start-up stops). Connected: GROUP.dat, GROUP.idx, USERS.dat and
// USERS.idx of <data>\<product>\<lang> are fetched from the server, each announced in the
// status bar with common text 82 (name); the status is cleared at the end; true.
bool OpenDataAccess(data::Course& course, StartupView& view,
                    const lesson::RemoteDataFactory& make_remote,
                    std::unique_ptr<lesson::RemoteData>& remote);

}  // namespace shell
