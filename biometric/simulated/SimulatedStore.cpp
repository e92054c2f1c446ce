// The simulated sensor's enrollments of every identity and unit, in memory or in a file.
#include "SimulatedStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <utility>

#include "SimulatedParsing.h"
#include "StoreFileLock.h"

namespace {

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;
constexpr char kHexDigits[] = "0123456789abcdef";
// 2^64 divided by the golden ratio: mixes well in hash combining and multiplicative hashing.
constexpr std::uint64_t kGoldenRatio64 = 0x9e3779b97f4a7c15ULL;
constexpr unsigned kHashBits = std::numeric_limits<std::size_t>::digits;

std::string ToHex(const std::vector<std::uint8_t>& bytes) {
    std::string hex;
    for (const std::uint8_t byte : bytes) {
        hex += kHexDigits[byte >> 4];
        hex += kHexDigits[byte & 0x0F];
    }
    return hex;
}

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'a' && digit <= 'f') {
        return digit - 'a' + 10;
    }
    if (digit >= 'A' && digit <= 'F') {
        return digit - 'A' + 10;
    }
    return -1;
}

std::optional<std::vector<std::uint8_t>> FromHex(std::string_view hex) {
    if (hex.empty() || hex.size() % 2 != 0 || hex.size() / 2 > kIdentityDataCapacity) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexValue(hex[i]);
        const int low = HexValue(hex[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return bytes;
}

// Blanks between fields: what a stream would skip inside a line.
bool IsFieldSeparator(char character) {
    return character == ' ' || character == '\t' || character == '\v' || character == '\f' ||
           character == '\r';
}

bool IsBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

// The line's fields; false when there are more than maximum.
bool SplitFields(std::string_view line, std::vector<std::string_view>* fields,
                 std::size_t maximum) {
    fields->clear();
    std::size_t at = 0;
    while (at < line.size()) {
        if (IsFieldSeparator(line[at])) {
            ++at;
            continue;
        }
        const std::size_t start = at;
        while (at < line.size() && !IsFieldSeparator(line[at])) {
            ++at;
        }
        if (fields->size() == maximum) {
            return false;
        }
        fields->push_back(line.substr(start, at - start));
    }
    return true;
}

constexpr std::size_t kRecordFields = 4;

std::optional<SimulatedStore::Record> ParseRecordLine(std::string_view line,
                                                      std::vector<std::string_view>* fields) {
    if (!SplitFields(line, fields, kRecordFields) || fields->size() != kRecordFields) {
        return std::nullopt;
    }
    const auto unit = ParseDecimal((*fields)[0], std::numeric_limits<UnitId>::max());
    const auto type = ParseDecimal((*fields)[1], std::numeric_limits<std::uint32_t>::max());
    auto bytes = FromHex((*fields)[2]);
    const auto subFactor = ParseDecimal((*fields)[3], kLastFinger);
    if (!unit || *unit == 0 || !type || !bytes || !subFactor || *subFactor < kFirstFinger) {
        return std::nullopt;
    }
    return SimulatedStore::Record{
        *unit, {*type, std::move(*bytes)}, static_cast<SubFactor>(*subFactor)};
}

std::size_t HashOf(const SimulatedStore::Record& record) {
    const std::string_view bytes(reinterpret_cast<const char*>(record.identity.bytes.data()),
                                 record.identity.bytes.size());
    std::size_t hash = std::hash<std::string_view>()(bytes);
    for (const std::uint64_t field :
         {std::uint64_t{record.unit}, std::uint64_t{record.identity.type},
          std::uint64_t{record.subFactor}}) {
        hash ^= std::hash<std::uint64_t>()(field) + kGoldenRatio64 + (hash << 6) + (hash >> 2);
    }
    return hash;
}

// Linear in the records: one open-addressed table of their hashes, at most half full, and a
// full comparison only where two hashes match.
bool HasRepeatedRecord(const std::vector<SimulatedStore::Record>& records) {
    unsigned bits = 4;
    while ((std::size_t{1} << bits) < 2 * records.size()) {
        ++bits;
    }
    const std::size_t mask = (std::size_t{1} << bits) - 1;
    struct Slot {
        std::size_t hash = 0;
        std::size_t indexPlusOne = 0;  // 0: empty
    };
    std::vector<Slot> slots(mask + 1);
    for (std::size_t index = 0; index < records.size(); ++index) {
        const std::size_t hash = HashOf(records[index]);
        // The high bits of the product spread even hashes that differ only in their low bits.
        for (std::size_t at = (hash * kGoldenRatio64) >> (kHashBits - bits);;
             at = (at + 1) & mask) {
            Slot& slot = slots[at];
            if (slot.indexPlusOne == 0) {
                slot = {hash, index + 1};
                break;
            }
            if (slot.hash == hash && records[slot.indexPlusOne - 1] == records[index]) {
                return true;
            }
        }
    }
    return false;
}

std::vector<SimulatedStore::Record>::iterator FindRecord(
    std::vector<SimulatedStore::Record>& records, const SimulatedStore::Record& wanted) {
    return std::find(records.begin(), records.end(), wanted);
}

std::int64_t Nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

SimulatedStore::FileVersion VersionOf(const struct stat& status) {
    return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
            static_cast<std::int64_t>(status.st_size), Nanoseconds(status.st_mtim),
            Nanoseconds(status.st_ctim)};
}

// What the path names now; none when nothing is there.
std::optional<SimulatedStore::FileVersion> CurrentVersion(const std::string& path) {
    struct stat status = {};
    if (stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return VersionOf(status);
}

enum class ReadOutcome { kRead, kMissing, kFailed, kTooLarge };

struct FileContent {
    std::string text;
    SimulatedStore::FileVersion version;
    bool ownerMayWrite = false;
};

ReadOutcome ReadWholeFile(const std::string& path, FileContent* content) {
    // Non-blocking, so that a path naming a pipe cannot hang the caller.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno == ENOENT ? ReadOutcome::kMissing : ReadOutcome::kFailed;
    }
    struct stat status = {};
    // Another user's file could show fingers we never enrolled and cannot delete.
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != geteuid()) {
        close(fd);
        return ReadOutcome::kFailed;
    }
    if (status.st_size > static_cast<off_t>(SimulatedStore::kMaxFileSize)) {
        close(fd);
        return ReadOutcome::kTooLarge;
    }
    content->version = VersionOf(status);
    content->ownerMayWrite = (status.st_mode & S_IWUSR) != 0;
    content->text.clear();
    content->text.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[65536];
    while (true) {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            close(fd);
            return ReadOutcome::kFailed;
        }
        if (count == 0) {
            break;
        }
        content->text.append(buffer, static_cast<std::size_t>(count));
        // The size seen at the start is not a promise: the file may grow as we read.
        if (content->text.size() > SimulatedStore::kMaxFileSize) {
            close(fd);
            return ReadOutcome::kTooLarge;
        }
    }
    close(fd);
    return ReadOutcome::kRead;
}

bool WriteAll(int fd, const std::string& content) {
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t count = write(fd, content.data() + written, content.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the rename itself survive a crash; the data is already safe, so a failure is not fatal.
void SyncDirectory(const std::string& directory) {
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

std::optional<SimulatedStore::Identity> SimulatedStore::IdentityOf(
    const WINBIO_IDENTITY& identity) {
    if (identity.Size > kIdentityDataCapacity) {
        return std::nullopt;
    }
    return Identity{identity.Type,
                    std::vector<std::uint8_t>(identity.Data, identity.Data + identity.Size)};
}

SimulatedStore::SimulatedStore(std::string path, std::vector<Record> records)
    : m_path(std::move(path)), m_seed(records), m_records(std::move(records)) {}

SimulatedStore SimulatedStore::InMemory(std::vector<Record> records) {
    return SimulatedStore({}, std::move(records));
}

SimulatedStore SimulatedStore::InFile(std::string path, std::vector<Record> seed) {
    return SimulatedStore(std::move(path), std::move(seed));
}

StatusCode SimulatedStore::List(UnitId unit, const Identity& identity,
                                std::vector<SubFactor>* subFactors) {
    const StatusCode status = Load();
    if (status < 0) {
        return status;
    }
    subFactors->clear();
    for (const auto& record : m_records) {
        if (record.unit == unit && record.identity == identity) {
            subFactors->push_back(record.subFactor);
        }
    }
    return subFactors->empty() ? kDatabaseNoResults : kOk;
}

StatusCode SimulatedStore::Add(UnitId unit, const Identity& identity, SubFactor subFactor) {
    return Modify([&](std::vector<Record>& records) {
        Record added{unit, identity, subFactor};
        if (FindRecord(records, added) != records.end()) {
            return kDuplicateTemplate;
        }
        records.push_back(std::move(added));
        return kOk;
    });
}

StatusCode SimulatedStore::Remove(UnitId unit, const Identity& identity, SubFactor subFactor) {
    return Modify([&](std::vector<Record>& records) {
        const auto found = FindRecord(records, Record{unit, identity, subFactor});
        if (found == records.end()) {
            return kDatabaseNoSuchRecord;
        }
        records.erase(found);
        return kOk;
    });
}

std::string SimulatedStore::Format(const std::vector<Record>& records) {
    std::string text(kHeader);
    text += '\n';
    for (const auto& record : records) {
        text += std::to_string(record.unit);
        text += ' ';
        text += std::to_string(record.identity.type);
        text += ' ';
        text += ToHex(record.identity.bytes);
        text += ' ';
        text += std::to_string(record.subFactor);
        text += '\n';
    }
    return text;
}

std::optional<std::vector<SimulatedStore::Record>> SimulatedStore::Parse(std::string_view text) {
    const auto headerEnd = text.find('\n');
    if (text.empty() || text.substr(0, headerEnd) != kHeader) {
        return std::nullopt;
    }
    // One allocation for all records. A record's line has at least the bytes of "1 0 00 1\n",
    // so even a file of blank lines cannot reserve more than the largest store would need.
    constexpr std::size_t kShortestRecordLine = 9;
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    std::vector<Record> records;
    records.reserve(std::min(lines, text.size() / kShortestRecordLine + 1));
    std::vector<std::string_view> fields;
    std::size_t lineStart = headerEnd == std::string_view::npos ? text.size() : headerEnd + 1;
    while (lineStart < text.size()) {
        auto lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos) {
            lineEnd = text.size();
        }
        const std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (IsBlankLine(line)) {
            continue;
        }
        auto record = ParseRecordLine(line, &fields);
        if (!record) {
            return std::nullopt;
        }
        records.push_back(std::move(*record));
    }
    // A repeated finger means the file was not written by us: trust none of it.
    if (HasRepeatedRecord(records)) {
        return std::nullopt;
    }
    return records;
}

StatusCode SimulatedStore::Load() {
    if (m_path.empty()) {
        return kOk;
    }
    FileContent content;
    switch (ReadWholeFile(m_path, &content)) {
        case ReadOutcome::kMissing:
            m_records = m_seed;
            m_version.reset();
            m_writable = true;
            return kOk;
        case ReadOutcome::kFailed:
            return kDatabaseReadError;
        case ReadOutcome::kTooLarge:
            return kDatabaseCorrupted;
        case ReadOutcome::kRead:
            break;
    }
    auto records = Parse(content.text);
    if (!records) {
        return kDatabaseCorrupted;
    }
    m_records = std::move(*records);
    m_version = content.version;
    m_writable = content.ownerMayWrite;
    return kOk;
}

StatusCode SimulatedStore::Modify(const Change& change) {
    if (m_path.empty()) {
        return change(m_records);
    }
    // An unusable store is refused before anything is made beside it.
    StatusCode status = Load();
    if (status < 0) {
        return status;
    }
    StoreFileLock lock;
    std::string lockPath = m_path;
    lockPath += kLockSuffix;
    status = lock.Acquire(lockPath);
    if (status < 0) {
        return status;
    }
    // Another program may have written between the read and the lock.
    if (CurrentVersion(m_path) != m_version) {
        status = Load();
        if (status < 0) {
            return status;
        }
    }
    // Changed in place: a file's records are read anew at every operation, so a change that is
    // not saved is gone with it.
    status = change(m_records);
    if (status < 0) {
        return status;
    }
    // The rename would replace a file its owner made read-only; the mode is the owner's word.
    if (!m_writable) {
        return kDatabaseWriteError;
    }
    return Save(m_records);
}

StatusCode SimulatedStore::Save(const std::vector<Record>& records) const {
    std::string temporary = m_path;
    temporary += kTemporarySuffix;
    // Under the lock no other writer uses this name: what is there was left by a crash.
    if (unlink(temporary.c_str()) != 0 && errno != ENOENT) {
        return kDatabaseWriteError;
    }
    // Exclusive, so that nothing planted in between (a link) is written through.
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kOwnerOnly);
    if (fd < 0) {
        return kDatabaseWriteError;
    }
    const bool written =
        fchmod(fd, kOwnerOnly) == 0 && WriteAll(fd, Format(records)) && fsync(fd) == 0;
    const bool closed = close(fd) == 0;
    if (!written || !closed || rename(temporary.c_str(), m_path.c_str()) != 0) {
        unlink(temporary.c_str());
        return kDatabaseWriteError;
    }
    SyncDirectory(DirectoryOf(m_path));
    return kOk;
}
