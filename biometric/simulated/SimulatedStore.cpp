// The simulated sensor's enrollments of every identity and unit, in memory or in a file.
#include "SimulatedStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <sstream>
#include <utility>

#include "SimulatedParsing.h"

namespace {

constexpr mode_t kOwnerOnly = S_IRUSR | S_IWUSR;
constexpr char kHexDigits[] = "0123456789abcdef";

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

std::optional<SimulatedStore::Record> ParseRecordLine(const std::string& line) {
    std::istringstream fields(line);
    std::string unitText, typeText, hexText, subFactorText, extra;
    if (!(fields >> unitText >> typeText >> hexText >> subFactorText) || (fields >> extra)) {
        return std::nullopt;
    }
    const auto unit = ParseDecimal(unitText, std::numeric_limits<UnitId>::max());
    const auto type = ParseDecimal(typeText, std::numeric_limits<std::uint32_t>::max());
    const auto bytes = FromHex(hexText);
    const auto subFactor = ParseDecimal(subFactorText, kLastFinger);
    if (!unit || *unit == 0 || !type || !bytes || !subFactor || *subFactor < kFirstFinger) {
        return std::nullopt;
    }
    return SimulatedStore::Record{*unit, {*type, *bytes}, static_cast<SubFactor>(*subFactor)};
}

enum class ReadOutcome { kRead, kMissing, kFailed, kTooLarge };

ReadOutcome ReadWholeFile(const std::string& path, std::string* content) {
    // Non-blocking, so that a path naming a pipe cannot hang the caller.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno == ENOENT ? ReadOutcome::kMissing : ReadOutcome::kFailed;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        return ReadOutcome::kFailed;
    }
    content->clear();
    char buffer[4096];
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
        content->append(buffer, static_cast<std::size_t>(count));
        if (content->size() > SimulatedStore::kMaxFileSize) {
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
    const StatusCode status = Load();
    if (status < 0) {
        return status;
    }
    if (FindRecord(unit, identity, subFactor) != m_records.end()) {
        return kDuplicateTemplate;
    }
    auto records = m_records;
    records.push_back({unit, identity, subFactor});
    const StatusCode saved = Save(records);
    if (saved >= 0) {
        m_records = std::move(records);
    }
    return saved;
}

StatusCode SimulatedStore::Remove(UnitId unit, const Identity& identity, SubFactor subFactor) {
    const StatusCode status = Load();
    if (status < 0) {
        return status;
    }
    const auto found = FindRecord(unit, identity, subFactor);
    if (found == m_records.end()) {
        return kDatabaseNoSuchRecord;
    }
    auto records = m_records;
    records.erase(records.begin() + (found - m_records.begin()));
    const StatusCode saved = Save(records);
    if (saved >= 0) {
        m_records = std::move(records);
    }
    return saved;
}

std::string SimulatedStore::Format(const std::vector<Record>& records) {
    std::string text(kHeader);
    text += '\n';
    for (const auto& record : records) {
        text += std::to_string(record.unit) + ' ' + std::to_string(record.identity.type) + ' ' +
                ToHex(record.identity.bytes) + ' ' + std::to_string(record.subFactor) + '\n';
    }
    return text;
}

std::optional<std::vector<SimulatedStore::Record>> SimulatedStore::Parse(std::string_view text) {
    std::istringstream lines{std::string(text)};
    std::string line;
    if (!std::getline(lines, line) || line != kHeader) {
        return std::nullopt;
    }
    std::vector<Record> records;
    while (std::getline(lines, line)) {
        if (line.find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        auto record = ParseRecordLine(line);
        // A repeated finger means the file was not written by us: trust none of it.
        if (!record || std::find(records.begin(), records.end(), *record) != records.end()) {
            return std::nullopt;
        }
        records.push_back(std::move(*record));
    }
    return records;
}

StatusCode SimulatedStore::Load() {
    if (m_path.empty()) {
        return kOk;
    }
    std::string content;
    switch (ReadWholeFile(m_path, &content)) {
        case ReadOutcome::kMissing:
            m_records = m_seed;
            return kOk;
        case ReadOutcome::kFailed:
            return kDatabaseReadError;
        case ReadOutcome::kTooLarge:
            return kDatabaseCorrupted;
        case ReadOutcome::kRead:
            break;
    }
    auto records = Parse(content);
    if (!records) {
        return kDatabaseCorrupted;
    }
    m_records = std::move(*records);
    return kOk;
}

StatusCode SimulatedStore::Save(const std::vector<Record>& records) const {
    if (m_path.empty()) {
        return kOk;
    }
    std::string temporary = m_path + ".tmp.XXXXXX";
    // mkstemp creates the file for its owner only (0600).
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
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

std::vector<SimulatedStore::Record>::iterator SimulatedStore::FindRecord(UnitId unit,
                                                                         const Identity& identity,
                                                                         SubFactor subFactor) {
    return std::find(m_records.begin(), m_records.end(), Record{unit, identity, subFactor});
}
