// What one connected player may do: the seven requests over this process's ISAM engine, its
// own handles (one per file, shared mode with record locks) and its file transfers. Not
// thread-safe: the server runs every session on its one engine thread.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "LearnerHolds.h"
#include "NameMap.h"
#include "UploadSpace.h"
#include "data/RequestRecord.h"

namespace server {

class ClientSession {
  public:
    // peer names the connection in the log lines on stderr; holds and uploads are shared by
    // every session of the server (the session keeps its own when none is given). serial is
    // the connection's number from NextSerial; 0 takes a new one.
    ClientSession(const NameMap& names, std::string peer, LearnerHolds* holds = nullptr,
                  long serial = 0, UploadSpace* uploads = nullptr);
    ~ClientSession();
    ClientSession(const ClientSession&) = delete;
    ClientSession& operator=(const ClientSession&) = delete;

    // A number no other connection or session of the process has: the server's one count of
    // its connections, which names each connection and its session as a holder of learners.
    static long NextSerial();

    // Carries out a request in place: result, error and, for reads and file blocks, data and
    // length. False when the request met a record lock that is worth waiting for (it asked to
    // wait, or it is a rewrite): the caller may try again later, or give up with Refuse(107).
    bool Handle(data::RequestRecord& r);
    // Answers the request with result -1 and the error code.
    static void Refuse(data::RequestRecord& r, int error);
    // The connection ended: a file being received is put in place when the end was clean (at
    // a record boundary) and the file is whole, and dropped otherwise; the session's hold of a
    // learner ends; every handle is closed.
    void End(bool clean);

  private:
    struct OpenFile {
        int handle = -1;
        int reclen = 0;
        bool has_read = false;       // a record was read since the last open or start
        bool users = false;          // a USERS file: its records are learners that can be held
        std::string path;            // native base path, its data file's resolved name
        LearnerHolds::Learner read;  // of a USERS file: the learner of the record read last
    };
    enum class Kind { kScore, kHistory };
    struct Incoming {
        std::string path, temp, name;
        int fd = -1;
        int last_block = 0;
        long bytes = 0;
        Kind kind = Kind::kScore;
        long limit = 0;  // the largest whole file of this kind for this learner
        int user = 0, group = 0;
        int steps = -1;  // the learner's StepCount when a score file's upload began
    };

    void Open(data::RequestRecord& r);
    bool Read(data::RequestRecord& r);
    bool RewriteCurrent(data::RequestRecord& r);
    void Start(data::RequestRecord& r);
    void GetFile(data::RequestRecord& r);
    void SendFile(data::RequestRecord& r);
    void SignOn(data::RequestRecord& r);
    // Whether r is the next block of the file being received.
    bool Continues(const data::RequestRecord& r) const;
    // The file being received has all its blocks: it replaces the old file when whole. 0, or
    // the error it was dropped with.
    int CompleteIncoming();
    // The file being received is given up (why, for the log): the old file stays.
    void DropIncoming(const std::string& why);
    void LogDropped(const std::string& why) const;
    // Logs that path (native) could not be used for doing, and why; returns error.
    int FileFailure(const char* doing, const std::string& path, int error) const;
    // The file of the ISAM file at base (native, without extension) that the engine's error
    // is about when it is a refused access: the first the server may not read and write.
    static std::string FileRefusing(const std::string& base, int error);
    // Why the received file is not a whole score or history file; empty when it is.
    std::string Wholeness() const;
    // The StepCount of the learner in the USERS file of folder, or -1.
    int StepCountOf(const std::string& folder, int group, int user) const;
    // The learner a 148-byte user record names.
    LearnerHolds::Learner LearnerOf(const std::string& users_path, const uint8_t* record) const;

    const NameMap& names_;
    std::string peer_;
    LearnerHolds own_holds_;
    LearnerHolds& holds_;
    UploadSpace own_uploads_;
    UploadSpace& uploads_;
    long serial_ = 0;                        // names this session's temporary files
    std::string signed_on_;                  // the sign-on texts, for the log
    std::map<std::string, OpenFile> files_;  // by native base path
    OpenFile* current_ = nullptr;            // the file opened last
    Incoming incoming_;
    // The file being sent to the player, read whole at its first block.
    std::string outgoing_path_;
    std::vector<char> outgoing_;
};

// A history file is whole when it ends with a line end and every line is an answer record
// ("#F1 E1 Q2 3:3 N3 D1") or an abandon record ("~-1:-1"). Empty when whole, else why not.
std::string HistoryProblem(const std::string& bytes);

}  // namespace server
