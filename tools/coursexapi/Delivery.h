// Sending statements to a learning record store, and the state file that records how far each
// learner's files have been sent.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Statements.h"

namespace coursexapi {

using State = std::map<std::string, LearnerProgress>;  // by "group:user"

// Reads the state file; a missing file is an empty state. False with the reason in error when
// the file exists but cannot be read or is not a state file.
bool LoadState(const std::string& path, State& state, std::string& error);
// Writes the state file through a temporary file and a rename.
bool SaveState(const std::string& path, const State& state, std::string& error);

struct Endpoint {
    std::string scheme_host_port;  // https://lrs.example:8443
    std::string path;              // /xapi, without a trailing '/'
    std::string authorization;     // "Basic ..."
    std::string ca_file;           // certificates to trust besides the system's; empty: none
    int timeout_s = 30;
};

// Splits an LRS address; plain http only to loopback unless insecure. False with a reason.
bool ParseEndpoint(const std::string& url, bool insecure, Endpoint& endpoint, std::string& error);
// The Authorization header from a credentials file: its first line, "user:password".
bool ReadCredentials(const std::string& path, std::string& header, std::string& error);

enum class Outcome {
    kDelivered,  // stored
    kConflict,   // 409: a statement of the batch is there already
    kRejected,   // a 4xx other than 409: will never be taken
    kRetry,      // network error or 5xx: try again later
};

struct Answer {
    Outcome outcome = Outcome::kRetry;
    std::string reason;
};

// POSTs statements (a JSON array) to {endpoint}/statements.
Answer Post(const Endpoint& endpoint, const std::vector<const nlohmann::json*>& statements);

}  // namespace coursexapi
