// The writer behind "Save as...": orvanel-dump's cells and escaping, a byte-order mark before a
// CSV, and nothing half-written under the chosen name when the write fails.

#include "rows/RowStream.h"
#include "tests/support/test_support.h"
#include "ui/SaveRows.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

namespace {

std::string FileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "(missing)";
    }
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

int FilesIn(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    int files = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            files += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? 1 : 0;
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return files;
}

} // namespace

TEST(SaveRows, WritesWhatTheDumpWritesAndNothingHalfWritten) {
    MemoryMessageList rows;
    const int at = rows.AppendRow(L"a,b.dll");
    rows.SetCell(at, COL_PATH, L"C:\\x");
    rows.SetCell(at, COL_LOCALE_ID, L"1031 (Deutsch)");
    rows.SetCell(at, COL_MESSAGE_TEXT, L"Gr\u00FC\u00DFe \"quoted\"\ttab");
    rows.AppendRow(L"error.dll");

    for (RowFormat format : {RowFormat::Tsv, RowFormat::Csv}) {
        std::string expected = format == RowFormat::Csv ? "\xEF\xBB\xBF" : "";
        RowStream dump(format, [&](std::string_view line) { expected += line; });
        dump.WriteHeader();
        for (int row = 0; row < rows.GetRowCount(); ++row) {
            const int written = dump.AppendRow(rows.GetCell(row, 0));
            for (int column = 1; column < kMessageColumnCount; ++column) {
                dump.SetCell(written, column, rows.GetCell(row, column));
            }
        }
        dump.Finish();

        TempFolder folder;
        const std::wstring path = folder.path() + L"\\saved.txt";
        folder.WriteText(L"saved.txt", "what was there before");
        DWORD error = 1;
        ASSERT_TRUE(SaveRows(rows, path, format, error));
        EXPECT_EQ(error, 0u);
        EXPECT_EQ(FileBytes(path), expected);
        EXPECT_EQ(FilesIn(folder.path()), 1); // the temporary file took the name

        // A name that cannot be written: the old file stays, no temporary file is left.
        const std::wstring folderAsName = folder.MakeFolder(L"taken");
        EXPECT_FALSE(SaveRows(rows, folderAsName, format, error));
        EXPECT_NE(error, 0u);
        EXPECT_EQ(FilesIn(folder.path()), 1);
        EXPECT_FALSE(SaveRows(rows, folder.path() + L"\\no\\such\\folder.tsv", format, error));
        EXPECT_NE(error, 0u);
    }
}

// A write that fails halfway (a full disk: the test runs under a file-size limit, see
// tests/CMakeLists.txt) reaches the caller with the system's code, and leaves the old file as
// it was and nothing beside it.
TEST(SaveRows, AWriteThatFailsHalfwayLeavesTheOldFile) {
    if (GetEnvironmentVariableW(L"ORVANEL_FILE_LIMIT", nullptr, 0) == 0) {
        GTEST_SKIP() << "runs under a file-size limit only";
    }
    auto module = std::make_shared<ModuleRecord>();
    module->fileName = L"big.dll";
    module->folder = L"C:\\big";
    const auto table = MakeTable(module, {}, 1033, L"English");
    const std::wstring text(100, L'x');
    MemoryMessageList rows;
    for (std::uint32_t id = 0; id < 100000; ++id) { // 12 MB of rows, past the limit
        rows.AppendMessage(*table, id, WideMessageText(text));
    }
    TempFolder folder;
    folder.WriteText(L"saved.tsv", "what was there before");
    DWORD error = 0;
    EXPECT_FALSE(SaveRows(rows, folder.path() + L"\\saved.tsv", RowFormat::Tsv, error));
    EXPECT_NE(error, 0u);
    EXPECT_EQ(FileBytes(folder.path() + L"\\saved.tsv"), "what was there before");
    EXPECT_EQ(FilesIn(folder.path()), 1);
}
