#include "data/LearnerFiles.h"

#include "data/DataAccess.h"
#include "data/GroupRecord.h"
#include "data/UserRecord.h"
#include "isam/Isam.h"

namespace data {

static int Build(const std::string& base_path, int reclen, int kind, int& error) {
    isam::KeyDesc key;
    BuildKey(kind, key);
    const int h = isam::ISBUILD(base_path.c_str(), reclen, key, isam::OPEN_INOUT);
    if (h < 0) {
        error = isam::last_error;
        return -1;
    }
    isam::ISCLOSE(h);
    error = 0;
    return 0;
}

int BuildGroupFile(const std::string& base_path, int& error) {
    return Build(base_path, kGroupRecordSize, kGroupKey, error);
}

int BuildUsersFile(const std::string& base_path, int& error) {
    return Build(base_path, kUserRecordSize, kUserKey, error);
}

}  // namespace data
