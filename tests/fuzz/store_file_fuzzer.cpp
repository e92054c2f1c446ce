// Fuzzes the store file's reading against a second reading, and its writing back.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "ReferenceDecimal.h"
#include "SimulatedStore.h"

namespace {

using Record = SimulatedStore::Record;

constexpr std::uint64_t kLargest32 = 0xFFFFFFFFu;
constexpr std::size_t kMaxIdentityBytes = 68;

[[noreturn]] void Mismatch(const char* what) {
    std::fprintf(stderr, "mismatch: %s\n", what);
    std::abort();
}

bool IsFieldSeparator(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::string current;
    for (const char c : line) {
        if (IsFieldSeparator(c)) {
            if (!current.empty()) {
                fields.push_back(current);
            }
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) {
        fields.push_back(current);
    }
    return fields;
}

int Nibble(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::vector<std::uint8_t>> Bytes(const std::string& hex) {
    if (hex.empty() || hex.size() % 2 != 0 || hex.size() / 2 > kMaxIdentityBytes) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = Nibble(hex[i]);
        const int low = Nibble(hex[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}

bool IsBlankLine(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

// The header line, then "unit type identity-hex finger" lines; blank lines are skipped and any
// repeated record makes the whole file untrusted.
std::optional<std::vector<Record>> ReferenceParse(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto newline = text.find('\n', start);
        lines.push_back(text.substr(start, newline - start));
        start = newline == std::string::npos ? text.size() : newline + 1;
    }
    if (lines.empty() || lines[0] != SimulatedStore::kHeader) {
        return std::nullopt;
    }
    std::vector<Record> records;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (IsBlankLine(lines[i])) {
            continue;
        }
        const auto fields = Fields(lines[i]);
        if (fields.size() != 4) {
            return std::nullopt;
        }
        const auto unit = Decimal(fields[0], kLargest32);
        const auto type = Decimal(fields[1], kLargest32);
        const auto bytes = Bytes(fields[2]);
        const auto finger = Decimal(fields[3], kLastFinger);
        if (!unit || *unit == 0 || !type || !bytes || !finger || *finger < kFirstFinger) {
            return std::nullopt;
        }
        const Record record{static_cast<UnitId>(*unit),
                            {static_cast<std::uint32_t>(*type), *bytes},
                            static_cast<SubFactor>(*finger)};
        for (const Record& earlier : records) {
            if (earlier == record) {
                return std::nullopt;
            }
        }
        records.push_back(record);
    }
    return records;
}

// One in-memory file for the whole run, rewritten for every input: the store's own reading of
// a file is covered without disk writes (which the file system may flush at every close).
int ScratchFile() {
    static const int fd = memfd_create("varne-fuzz-store", MFD_CLOEXEC);
    if (fd < 0) {
        std::perror("memfd_create");
        std::abort();
    }
    return fd;
}

std::string ScratchPath() {
    return "/proc/self/fd/" + std::to_string(ScratchFile());
}

void WriteScratch(const std::string& content) {
    const int fd = ScratchFile();
    if (ftruncate(fd, 0) != 0 ||
        pwrite(fd, content.data(), content.size(), 0) != static_cast<ssize_t>(content.size())) {
        std::perror("scratch store");
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto parsed = SimulatedStore::Parse(text);
    const auto expected = ReferenceParse(text);
    if (parsed.has_value() != expected.has_value()) {
        Mismatch(parsed ? "accepted a malformed store" : "refused a well-formed store");
    }
    if (parsed && *parsed != *expected) {
        Mismatch("records differ from the reference reading");
    }

    // Written back, the records read the same, and writing them again changes nothing.
    if (parsed) {
        const std::string formatted = SimulatedStore::Format(*parsed);
        const auto reread = SimulatedStore::Parse(formatted);
        if (!reread || *reread != *parsed || SimulatedStore::Format(*reread) != formatted) {
            Mismatch("a written store does not read back the same");
        }
    }

    // Through the file: a refused text is a corrupted database, an accepted one lists its
    // records for the first record's identity and unit.
    WriteScratch(text);
    auto store = SimulatedStore::InFile(ScratchPath(), {});
    const Record probe = parsed && !parsed->empty() ? parsed->front() : Record{1, {3, {1}}, 1};
    std::vector<SubFactor> fingers;
    const StatusCode status = store.List(probe.unit, probe.identity, &fingers);
    if (!parsed) {
        if (status != kDatabaseCorrupted) {
            Mismatch("a malformed store file was not reported as corrupted");
        }
        return 0;
    }
    std::vector<SubFactor> expectedFingers;
    for (const Record& record : *parsed) {
        if (record.unit == probe.unit && record.identity == probe.identity) {
            expectedFingers.push_back(record.subFactor);
        }
    }
    if (status != (expectedFingers.empty() ? kDatabaseNoResults : kOk) ||
        fingers != expectedFingers) {
        Mismatch("the file lists other fingers than its text holds");
    }
    return 0;
}
