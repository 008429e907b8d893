// The floor under the native orvanel-dump: a folder's modules opened and their message tables
// found and read, nothing decoded and nothing written. Prints the tables, their bytes and the
// seconds. With --all, every file of the folder and of its subfolders is read (satellites too).
//
//   native-find-bench [--all] FOLDER

#include "harvest/Platform.h"
#include "harvest/Strings.h"
#include "harvest/Unicode.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

class Counter : public platform::TableSink {
public:
    void OnTable(const platform::ResourceName&, std::uint16_t, const std::uint8_t*,
                 std::size_t size) override {
        ++tables;
        bytes += size;
    }
    std::size_t tables = 0;
    std::size_t bytes = 0;
};

} // namespace

namespace {

bool Collect(const std::wstring&, const wchar_t* name, int, void* list) {
    static_cast<std::vector<std::wstring>*>(list)->emplace_back(name);
    return true;
}

void ReadFolder(const std::wstring& folder, bool all, Counter& counter, std::size_t& files) {
    std::vector<std::wstring> names;
    platform::EnumFilesInFolder(folder, all ? L"*" : L"*.dll", Collect, &names);
    for (const std::wstring& file : names) {
        platform::ErrorCode error = 0;
        platform::ReadMessageTables(JoinPath(folder, file), counter, error);
    }
    files += names.size();
    if (all) {
        std::vector<std::wstring> subfolders;
        platform::EnumSubfolders(folder, Collect, &subfolders);
        for (const std::wstring& subfolder : subfolders) {
            ReadFolder(JoinPath(folder, subfolder), all, counter, files);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    const bool all = argc == 3 && std::string(argv[1]) == "--all";
    if (argc != 2 && !all) {
        std::fprintf(stderr, "usage: native-find-bench [--all] FOLDER\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    Counter counter;
    std::size_t files = 0;
    ReadFolder(FromUtf8(argv[argc - 1]), all, counter, files);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu files, %zu tables, %zu bytes in %.3f s\n", files, counter.tables,
                counter.bytes, seconds);
    return 0;
}
