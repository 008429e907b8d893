#pragma once

#include <cstdint>

// The four counters of a scan. Tallies are only added, field by field, and addition wraps like
// 32-bit arithmetic.
struct ScanTally {
    std::int32_t nMessages = 0;      // messages that the tables read announce
    std::int32_t nFilesSearched = 0; // files tried as modules
    std::int32_t nTables = 0;        // message tables read (one per resource name and language)
    std::int32_t nFolders = 0;       // folders scanned, the starting folder included

    ScanTally& operator+=(const ScanTally& other) {
        nMessages = Add(nMessages, other.nMessages);
        nFilesSearched = Add(nFilesSearched, other.nFilesSearched);
        nTables = Add(nTables, other.nTables);
        nFolders = Add(nFolders, other.nFolders);
        return *this;
    }
    friend ScanTally operator+(ScanTally a, const ScanTally& b) { return a += b; }
    bool operator==(const ScanTally&) const = default;

private:
    static std::int32_t Add(std::int32_t a, std::int32_t b) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) +
                                         static_cast<std::uint32_t>(b));
    }
};
