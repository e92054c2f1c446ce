// The simulated sensor's enrollments of every identity and unit, in memory or in a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "WinBio.h"

// File format: the header line, then one line "unit type identity-hex sub-factor" per enrolled
// finger, in the order of enrollment. The file is re-read at every operation, so that several
// programs sharing it see each other's changes; it is replaced atomically and never rewritten
// once it cannot be read, so that a damaged store is kept for its owner to inspect.
class SimulatedStore {
public:
    static constexpr std::string_view kHeader = "varne-sim-store 1";
    // Anything larger is not a store of ours; it also keeps a mistaken path from being read
    // without end.
    static constexpr std::size_t kMaxFileSize = 16 * 1024 * 1024;

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

private:
    SimulatedStore(std::string path, std::vector<Record> records);

    // Brings m_records up to date with the file: kDatabaseCorrupted or kDatabaseReadError when
    // it cannot be used.
    StatusCode Load();
    StatusCode Save(const std::vector<Record>& records) const;
    std::vector<Record>::iterator FindRecord(UnitId unit, const Identity& identity,
                                             SubFactor subFactor);

    std::string m_path;
    std::vector<Record> m_seed;
    std::vector<Record> m_records;
};
