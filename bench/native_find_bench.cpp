// The floor under the native orvanel-dump: a folder's modules opened and their message tables
// found and read, nothing decoded and nothing written. Prints the tables, their bytes and the
// seconds.
//
//   native-find-bench FOLDER

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
    void OnTable(std::uint16_t, const std::uint8_t*, std::size_t size) override {
        ++tables;
        bytes += size;
    }
    std::size_t tables = 0;
    std::size_t bytes = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: native-find-bench FOLDER\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::wstring folder = FromUtf8(argv[1]);
    std::vector<std::wstring> files;
    platform::EnumFilesInFolder(
        folder, L"*.dll",
        [](const std::wstring&, const wchar_t* name, int, void* list) {
            static_cast<std::vector<std::wstring>*>(list)->emplace_back(name);
            return true;
        },
        &files);
    Counter counter;
    for (const std::wstring& file : files) {
        platform::ErrorCode error = 0;
        platform::ReadMessageTables(JoinPath(folder, file), counter, error);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%zu files, %zu tables, %zu bytes in %.3f s\n", files.size(), counter.tables,
                counter.bytes, seconds);
    return 0;
}
