// The native platform's own rules, in process: the reader releases what it opened when the rows'
// receiver fails (no file descriptor stays open after a sink that throws halfway through a
// module, or a list that throws halfway through a folder), and a folder's listing is kept only
// while its directory is unchanged.
//
//   platform-test FIXTURE_FOLDER

#include "harvest/FolderScan.h"
#include "harvest/MessageList.h"
#include "tests/support/FailingList.h"
#include "harvest/Platform.h"
#include "harvest/Unicode.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
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
        std::fprintf(stderr, "usage: platform-test FIXTURE_FOLDER\n");
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

    // A folder listed, then changed: the next listing sees the change, however soon it comes
    // (the directory's times are set a second on, as a clock of coarse ticks may not have).
    char scratch[] = "/tmp/orvanel-listing-XXXXXX";
    if (::mkdtemp(scratch) == nullptr) {
        Check(false, "a folder to list");
        return 1;
    }
    const std::wstring listed = FromUtf8(scratch);
    const auto count = [&] {
        std::vector<std::wstring> names;
        platform::EnumFilesInFolder(
            listed, L"*.dll",
            [](const std::wstring&, const wchar_t* name, int, void* into) {
                static_cast<std::vector<std::wstring>*>(into)->push_back(name);
                return true;
            },
            &names);
        return names.size();
    };
    const std::string added = std::string(scratch) + "/new.dll";
    const bool first = count() == 0;
    struct stat info {};
    ::close(::open(added.c_str(), O_CREAT | O_WRONLY, 0644));
    ::stat(scratch, &info);
    const timespec times[2] = {info.st_atim, {info.st_mtim.tv_sec + 1, info.st_mtim.tv_nsec}};
    ::utimensat(AT_FDCWD, scratch, times, 0);
    Check(first && count() == 1, "a folder changed since its listing is listed again");
    ::unlink(added.c_str());
    ::rmdir(scratch);
    return g_failed == 0 ? 0 : 1;
}
