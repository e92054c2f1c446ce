// The simulated sensor's enrollments of every identity and unit, in memory or in a file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "WinBio.h"

// File format: the header line, then one line "unit type identity-hex sub-factor" per enrolled
// finger, in the order of enrollment. The file is re-read at every operation, so that several
// programs sharing it see each other's changes; each change holds a lock file (PATH.lock) from
// its read to the rename of PATH.tmp over the file, so no program's change is lost. A file that
// cannot be read is never rewritten, so that a damaged store is kept for its owner to inspect;
// nor is one of another user (refused as unreadable) or one its owner made read-only.
class SimulatedStore {
public:
    static constexpr std::string_view kHeader = "varne-sim-store 1";
    // Anything larger is not a store of ours; it also keeps a mistaken path from being read
    // without end.
    static constexpr std::size_t kMaxFileSize = 16 * 1024 * 1024;
    static constexpr std::string_view kLockSuffix = ".lock";
    static constexpr std::string_view kTemporarySuffix = ".tmp";

    struct Identity {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> bytes;

        bool operator==(const Identity&) const = default;
    };

    struct Record {
        UnitId unit = 0;
        Identity identity;
        SubFactor subFactor = kNoFinger;

        bool operator==(const Record&) const = default;
    };

    // Null when the record claims more bytes than it can hold.
    static std::optional<Identity> IdentityOf(const WINBIO_IDENTITY& identity);

    static SimulatedStore InMemory(std::vector<Record> records);
    // The seed stands for the content while the file does not exist; the first write makes it.
    static SimulatedStore InFile(std::string path, std::vector<Record> seed);

    // The identity's fingers on the unit in enrollment order; kDatabaseNoResults when none.
    StatusCode List(UnitId unit, const Identity& identity, std::vector<SubFactor>* subFactors);
    // kDuplicateTemplate when the identity already has that finger on the unit.
    StatusCode Add(UnitId unit, const Identity& identity, SubFactor subFactor);
    // kDatabaseNoSuchRecord when the identity has no such finger on the unit.
    StatusCode Remove(UnitId unit, const Identity& identity, SubFactor subFactor);

    static std::string Format(const std::vector<Record>& records);
    // Null when the text is not a well-formed store.
    static std::optional<std::vector<Record>> Parse(std::string_view text);

    // Which file a path named when it was read: every write makes a new one.
    struct FileVersion {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t modifiedNs = 0;
        std::int64_t changedNs = 0;

        bool operator==(const FileVersion&) const = default;
    };

private:
    // Changes the records in place, or fails without touching them.
    using Change = std::function<StatusCode(std::vector<Record>&)>;

    SimulatedStore(std::string path, std::vector<Record> records);

    // Brings m_records up to date with the file: kDatabaseCorrupted or kDatabaseReadError when
    // it cannot be used.
    StatusCode Load();
    // Load, change and save as one step against other programs writing the same file.
    StatusCode Modify(const Change& change);
    StatusCode Save(const std::vector<Record>& records) const;

    std::string m_path;
    std::vector<Record> m_seed;
    std::vector<Record> m_records;
    // Of the last Load: none while the file does not exist.
    std::optional<FileVersion> m_version;
    bool m_writable = true;
};
