// The native build's reader releases what it opened when the rows' receiver fails: no file
// descriptor stays open after a sink that throws halfway through a module, or a list that throws
// halfway through a folder.
//
//   release-test FIXTURE_FOLDER

#include "harvest/FolderScan.h"
#include "harvest/MessageList.h"
#include "tests/support/FailingList.h"
#include "harvest/Platform.h"
#include "harvest/Unicode.h"

#include <dirent.h>

#include <cstdio>
#include <new>
#include <string>

namespace {

int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr) {
            ++count;
        }
        ::closedir(dir);
    }
    return count;
}

class FailingSink : public platform::TableSink {
public:
    void OnTable(const platform::ResourceName&, std::uint16_t, const std::uint8_t*,
                 std::size_t) override {
        if (++tables == 2) {
            throw std::bad_alloc();
        }
    }
    int tables = 0;
};

class Owner : public ScanOwner {
public:
    MessageList& GetMessageList() override { return list; }
    std::wstring GetMaskText() override { return L"*.dll"; }
    bool IsRecursive() override { return true; }
    void SetStatusText(const std::wstring&) override {}
    FailingList list;
};

int g_failed = 0;

void Check(bool ok, const char* what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    g_failed += ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: release-test FIXTURE_FOLDER\n");
        return 2;
    }
    const std::wstring folder = FromUtf8(argv[1]);
    const int before = OpenDescriptors();

    FailingSink sink;
    platform::ErrorCode code = 0;
    bool thrown = false;
    try {
        platform::ReadMessageTables(folder + L"/assorted.dll", sink, code);
    } catch (const std::bad_alloc&) {
        thrown = true;
    }
    Check(thrown && sink.tables == 2, "the sink's failure comes out of the reader");
    Check(OpenDescriptors() == before, "no descriptor left open by the reader");

    Owner owner;
    thrown = false;
    try {
        ScanFolder(owner, folder);
    } catch (const std::bad_alloc&) {
        thrown = true;
    }
    Check(thrown && owner.list.GetRowCount() == 2, "the list's failure comes out of the scan");
    Check(OpenDescriptors() == before, "no descriptor left open by the scan");
    return g_failed == 0 ? 0 : 1;
}
