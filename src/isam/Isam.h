// The ISAM storage engine: indexed files of fixed-length records with up to 15 B-tree indexes,
// shared between handles and processes through byte-range locks. Every operation returns 0 (or a
// handle) on success and -1 on failure, leaving an error number in last_error.
#pragma once

#include <cstddef>
#include <cstdint>

namespace isam {

// Mode words (ISBUILD, ISOPEN, ISSETLOCKMODE).
constexpr int OPEN_INPUT = 0;
constexpr int OPEN_OUTPUT = 1;
constexpr int OPEN_INOUT = 2;
constexpr int OPEN_VARLEN = 0x10;
constexpr int OPEN_MASKED = 0x80;
constexpr int LOCKMODE_NONE = 0x100;
constexpr int LOCKMODE_AUTO = 0x200;
constexpr int LOCKMODE_MANUAL = 0x400;
constexpr int LOCKMODE_EXCL = 0x800;
constexpr int OPEN_VARLEN_IF_FILE = 0x8000;

// Read modes (low byte of ISREAD/ISSTART modes) and lock bits (ISREAD only).
constexpr int FIRST = 0;
constexpr int LAST = 1;
constexpr int NEXT = 2;
constexpr int PREV = 3;
constexpr int CURRENT = 4;
constexpr int EQUAL = 5;
constexpr int GREATER = 6;
constexpr int GREATER_EQUAL = 7;
constexpr int LOCK_KEEP = 0x100;
constexpr int LOCK_WAIT = 0x400;

// Key flags.
constexpr int KEY_DUPS = 0x01;
constexpr int KEY_DUP_COMPRESS = 0x02;
constexpr int KEY_LEAD_COMPRESS = 0x04;
constexpr int KEY_TRAIL_COMPRESS = 0x08;
constexpr int KEY_TRAIL_NUL = 0x10;
constexpr int KEY_NULL_SUPPRESS = 0x20;

// Key part types (low 6 bits), the descending bit, and the null byte in the high byte.
constexpr int KP_CHAR = 0;
constexpr int KP_INT16 = 1;
constexpr int KP_INT32 = 2;
constexpr int KP_DOUBLE = 3;
constexpr int KP_FLOAT = 4;
constexpr int KP_NATIVE_INT16 = 5;
constexpr int KP_NATIVE_INT32 = 6;
constexpr int KP_STRING = 7;
constexpr int KP_DESC = 0x80;

constexpr int kMaxKeyParts = 8;
constexpr int kMaxKeyLength = 256;
constexpr int kMaxIndexes = 15;

// Error codes of the engine (system errors use the platform's errno values).
enum ErrorCode {
    kDuplicate = 100,
    kNotOpen = 101,
    kBadArgument = 102,
    kBadKey = 103,
    kTooManyFiles = 104,
    kCorrupt = 105,
    kNotExclusive = 106,
    kRecordLocked = 107,
    kKeyExists = 108,
    kPrimaryKey = 109,
    kEndOfFile = 110,
    kNoRecord = 111,
    kNoCurrent = 112,
    kFileLocked = 113,
    kNoMemory = 116,
    kNoPrimaryKey = 127,
    kLockTableFull = 134,
};

struct KeyPart {
    int start = 0;   // offset in the record
    int length = 0;  // bytes
    int type = 0;    // type code | KP_DESC | null byte << 8
};

struct KeyDesc {
    int flags = 0;
    int nparts = 0;
    KeyPart parts[kMaxKeyParts];
    int keylen = 0;     // computed by the engine
    uint32_t root = 0;  // set by the engine
};

using RecordFilter = int (*)(int handle, void* record, int mode);
using FatalHook = void (*)(const char* message);

// Status of the last operation, process-wide because the call interface defines it so (each
// handle also keeps its own copy).
extern int last_recnum;
extern int last_reclen;
extern int last_error;
extern int last_io_error;
// The handle's own cell, or the global one when the handle is unknown.
int* LastRecnumCell(int handle);
int* LastReclenCell(int handle);
int* LastErrorCell(int handle);
int* LastIoErrorCell(int handle);
// The engine's text for an error code (100-134), or the system's text for other codes.
const char* ErrorText(int code);

int ISBUILD(const char* name, int reclen, const KeyDesc& key, int mode);
int ISBUILD(const char* name, int minlen, int maxlen, const KeyDesc& key, int mode);
int ISOPEN(const char* name, int mode);
int ISCLOSE(int handle);
int ISCLOSEALL();
int ISERASE(const char* name);
int ISRENAME(const char* old_name, const char* new_name);
int ISADDINDEX(int handle, const KeyDesc& key);
int ISDELINDEX(int handle, const KeyDesc& key);
int ISCLUSTER(int handle, const KeyDesc* key);
int ISCLONE(int handle, const char* new_name);
int ISCOPY(int dest, int source, const KeyDesc* key);
int ISSTART(int handle, const KeyDesc* key, int length, const void* record, int mode);
int ISREAD(int handle, void* record, int mode);
int ISWRITE(int handle, const void* record);
int ISWRITELOCK(int handle, const void* record);
int ISWRCURR(int handle, const void* record);
int ISREWRITE(int handle, const void* record);
int ISREWREC(int handle, int32_t recnum, const void* record);
int ISREWCURR(int handle, const void* record);
int ISREWNEXT(int handle, const void* record);
int ISDELETE(int handle, const void* record);
int ISDELREC(int handle, int32_t recnum);
int ISDELCURR(int handle);
int ISUNIQUEID(int handle, int32_t* id);
int ISSETUNIQUE(int handle, int32_t value);
int ISAPPENDMODE(int handle, bool on);
int ISREQUIRELOCK(int handle, bool on);
int ISSETLOCKMODE(int handle, int mode);
int ISGETMODE(int handle, int* mode);
const unsigned char* ISCURRKEY(int handle);
int ISSELECTINDEX(int handle, int index, bool reposition);
int ISGOTOREC(int handle, int32_t recnum);
int ISSELECTGOTO(int handle, int index, int32_t recnum);
int ISPOSITION(int handle, int* index, int32_t* recnum);
int ISREADREC(int handle, void* record, int32_t recnum);
int ISSETFILTER(int handle, RecordFilter filter);
int ISGETMASK(int handle, uint32_t* mask);
int ISSETMASK(int handle, uint32_t mask);
int ISFLUSH(int handle);
int ISSETFATALHOOK(FatalHook hook);
int ISAVAILABLE();

// Deferred writes, for loading many records through an exclusive handle (106 on any other):
// ISWRITE, ISWRITELOCK and ISWRCURR keep their changes in memory, written back in a few large
// writes once about max_bytes wait, at ISFLUSH or ISCLOSE, or before any other call on the
// handle. A call that fails is undone alone. A failed write-back is the error of the call that
// made it (ISCLOSE too, which closes the handle all the same), and what waited is dropped; a
// process that ends without ISCLOSE or is killed loses it as well, leaving the files as the last
// write-back did. 0 turns deferring off, writing back first.
int DeferWrites(int handle, size_t max_bytes);

// Facts about an open handle, for tools: record length (0 for index-only files), number of
// indexes, and the key description of index n (1-based). Return false for a bad handle or n.
int RecordLength(int handle);
int IndexCount(int handle);
bool IndexKey(int handle, int n, KeyDesc* key);

// Record field helpers: the engine's big-endian order, blank-padded text fields, raw floats.
unsigned load_be16(const void* p);
void store_be16(void* p, unsigned value);
uint32_t load_be32(const void* p);
void store_be32(void* p, uint32_t value);
void store_field_string(void* field, size_t n, const char* text);
void load_field_string(char* out, const void* field, size_t n);  // out holds n + 1 bytes
float load_float(const void* p);
void store_float(void* p, float value);
double load_double(const void* p);
void store_double(void* p, double value);
void store_float_null(void* p, float value, bool is_null);
void store_double_null(void* p, double value, bool is_null);
float load_float_null(const void* p, bool* is_null);
double load_double_null(const void* p, bool* is_null);

}  // namespace isam
