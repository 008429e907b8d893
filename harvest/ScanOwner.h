#pragma once

#include "harvest/MessageList.h"
#include "harvest/MessageQuery.h"

#include <string>
#include <vector>

// What a scan needs from the window that started it. The mask and the recursion switch are read
// afresh at every folder level.
class ScanOwner {
public:
    virtual ~ScanOwner() = default;

    virtual MessageList& GetMessageList() = 0;
    virtual std::wstring GetMaskText() = 0;
    virtual bool IsRecursive() = 0;
    virtual void SetStatusText(const std::wstring& text) = 0;
    // Which messages the scan writes (the counts stay those of every table); null for all of
    // them, error rows included.
    virtual const MessageQuery* GetQuery() { return nullptr; }
    // The patterns of the mask, each matched as the platform matches one, read afresh at every
    // folder level; by default the mask text as one pattern.
    virtual std::vector<std::wstring> GetMaskPatterns() { return {GetMaskText()}; }
    // Whether each module's satellites are read with it (SatelliteFolders).
    virtual bool ReadsSatellites() { return false; }

    // A folder level runs from BeginBusy to its EndBusy (a BusyScope pairs them, exceptions
    // included); levels nest, the outermost last. A window shows that it is busy from the
    // outermost BeginBusy to its EndBusy (the wait cursor).
    virtual void BeginBusy() {}
    virtual void EndBusy() {}
};

// Keeps the owner busy for one folder level.
class BusyScope {
public:
    explicit BusyScope(ScanOwner& owner) : m_owner(owner) { m_owner.BeginBusy(); }
    ~BusyScope() { m_owner.EndBusy(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    ScanOwner& m_owner;
};
