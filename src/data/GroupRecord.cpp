#include "data/GroupRecord.h"

#include <cstring>

#include "data/RecordBytes.h"

namespace data {

GroupRecord GroupTemplate() {
    return GroupRecord{};
}

GroupRecord DecodeGroupRecord(const uint8_t* bytes) {
    GroupRecord r;
    r.length = LoadLe32(bytes + 0);
    r.group_no = LoadLe32(bytes + 4);
    r.name = LoadText(bytes + 8, kGroupNameSize);
    std::memcpy(r.rest.data(), bytes + 32, r.rest.size());
    return r;
}

void EncodeGroupRecord(const GroupRecord& r, uint8_t* bytes) {
    StoreLe32(bytes + 0, r.length);
    StoreLe32(bytes + 4, r.group_no);
    StoreText(bytes + 8, kGroupNameSize, r.name);
    std::memcpy(bytes + 32, r.rest.data(), r.rest.size());
}

}  // namespace data
