#include "Delivery.h"

#include <httplib.h>
#include <openssl/evp.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/ReadFile.h"
#include "platform/ReplaceFile.h"

namespace coursexapi {

using nlohmann::json;

bool LoadState(const std::string& path, State& state, std::string& error) {
    state.clear();
    std::string text, why;
    if (access(path.c_str(), F_OK) != 0 && errno == ENOENT) return true;
    if (!platform::ReadWholeFile(path, text, why)) {
        error = "cannot read the state file " + path + ": " + why;
        return false;
    }
    const json doc = json::parse(text, nullptr, false);
    if (!doc.is_object() || doc.value("version", 0) != 1 || !doc.contains("learners") ||
        !doc["learners"].is_object()) {
        error = "the state file " + path + " is not a coursexapi state file";
        return false;
    }
    for (const auto& [key, v] : doc["learners"].items()) {
        if (!v.is_object()) continue;
        LearnerProgress p;
        p.lines = v.value("lines", int64_t(0));
        p.prefix = v.value("prefix", std::string());
        p.generation = v.value("generation", int64_t(0));
        p.levels = v.value("levels", uint32_t(0));
        p.lesson = v.value("lesson", false);
        state[key] = p;
    }
    return true;
}

bool SaveState(const std::string& path, const State& state, std::string& error) {
    json learners = json::object();
    for (const auto& [key, p] : state)
        learners[key] = {{"lines", p.lines},
                         {"prefix", p.prefix},
                         {"generation", p.generation},
                         {"levels", p.levels},
                         {"lesson", p.lesson}};
    const std::string text = json{{"version", 1}, {"learners", learners}}.dump() + "\n";
    if (!platform::ReplaceFile(path, text)) {
        error = "cannot write the state file " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

namespace {

bool IsLoopbackHost(const std::string& host) {
    return host == "localhost" || host == "[::1]" || host.rfind("127.", 0) == 0;
}

}  // namespace

bool ParseEndpoint(const std::string& url, bool insecure, Endpoint& endpoint, std::string& error) {
    const size_t colon = url.find("://");
    const std::string scheme = colon == std::string::npos ? "" : url.substr(0, colon);
    if (scheme != "https" && scheme != "http") {
        error = "the LRS address " + url + " must begin with https:// (or http://)";
        return false;
    }
    const size_t host_at = colon + 3;
    const size_t slash = url.find('/', host_at);
    const std::string authority =
        url.substr(host_at, slash == std::string::npos ? std::string::npos : slash - host_at);
    if (authority.empty() || authority.find_first_of("@ ?#") != std::string::npos) {
        error = "the LRS address " + url + " names no host (or holds credentials)";
        return false;
    }
    std::string host = authority;
    if (host[0] != '[')
        host = host.substr(0, host.find(':'));
    else
        host = host.substr(0, host.find(']') + 1);
    if (scheme == "http" && !insecure && !IsLoopbackHost(host)) {
        error = "plain http to " + host +
                " would send the credentials and the learners' results in clear: use https "
                "(--insecure-http allows it)";
        return false;
    }
    endpoint.scheme_host_port = scheme + "://" + authority;
    endpoint.path = slash == std::string::npos ? "" : url.substr(slash);
    while (!endpoint.path.empty() && endpoint.path.back() == '/') endpoint.path.pop_back();
    return true;
}

bool ReadCredentials(const std::string& path, std::string& header, std::string& error) {
    std::string text, why;
    if (!platform::ReadWholeFile(path, text, why)) {
        error = "cannot read the credentials file " + path + ": " + why;
        return false;
    }
    const std::string line = text.substr(0, text.find_first_of("\r\n"));
    if (line.find(':') == std::string::npos || line.size() > 1024) {
        error = "the credentials file " + path + " must hold user:password on its first line";
        return false;
    }
    std::string encoded(4 * ((line.size() + 2) / 3) + 1, '\0');
    const int n =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                        reinterpret_cast<const unsigned char*>(line.data()), int(line.size()));
    encoded.resize(size_t(n));
    header = "Basic " + encoded;
    return true;
}

Answer Post(const Endpoint& endpoint, const std::vector<const json*>& statements) {
    json body = json::array();
    for (const json* s : statements) body.push_back(*s);
    httplib::Client client(endpoint.scheme_host_port);
    client.set_connection_timeout(endpoint.timeout_s, 0);
    client.set_read_timeout(endpoint.timeout_s, 0);
    client.set_write_timeout(endpoint.timeout_s, 0);
    client.enable_server_certificate_verification(true);
    if (!endpoint.ca_file.empty()) client.set_ca_cert_path(endpoint.ca_file.c_str());
    const httplib::Headers headers = {{"X-Experience-API-Version", "1.0.3"},
                                      {"Authorization", endpoint.authorization}};
    const auto res =
        client.Post(endpoint.path + "/statements", headers, body.dump(), "application/json");
    if (!res) return {Outcome::kRetry, "no answer: " + httplib::to_string(res.error())};
    if (res->status == 200 || res->status == 204) return {Outcome::kDelivered, ""};
    if (res->status == 409) return {Outcome::kConflict, "HTTP 409"};
    const std::string reason =
        "HTTP " + std::to_string(res->status) + ": " + res->body.substr(0, 500);
    if (res->status >= 400 && res->status < 500 && res->status != 408 && res->status != 429)
        return {Outcome::kRejected, reason};
    return {Outcome::kRetry, reason};
}

}  // namespace coursexapi
