// The renderer next to the system's FormatMessageW, in one process, on the same templates and
// arguments: every message of the modules in FOLDER, with three arguments each, at no width and
// at a width of 40.
//
//   render-bench FOLDER

#include "harvest/FolderScan.h"
#include "harvest/Render.h"
#include "support/MemoryScanOwner.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: render-bench FOLDER\n");
        return 2;
    }
    MemoryScanOwner owner;
    ScanFolder(owner, argv[1]);
    std::vector<std::wstring> texts;
    for (int row = 0; row < owner.list.GetRowCount(); ++row) {
        const RowRecord record = owner.list.Record(row);
        if (record.kind == RowKind::Message && record.rawText.find(L'!') == std::wstring::npos) {
            texts.emplace_back(record.rawText);
        }
    }
    const std::vector<std::wstring> arguments = {L"first", L"second argument", L"3"};
    std::vector<DWORD_PTR> array(99, reinterpret_cast<DWORD_PTR>(L""));
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        array[i] = reinterpret_cast<DWORD_PTR>(arguments[i].c_str());
    }
    std::vector<std::wstring> padded = arguments;
    padded.resize(99); // as many as the system's array holds
    std::vector<wchar_t> buffer(1 << 16);
    std::printf("%zu templates, three arguments each, median of 5 runs\n", texts.size());
    std::printf("%-10s %12s %14s %8s\n", "width", "ours ms", "system ms", "ratio");
    for (unsigned width : {0u, 40u}) {
        std::vector<double> ours, system;
        std::size_t units = 0;
        for (int run = 0; run < 5; ++run) {
            auto start = std::chrono::steady_clock::now();
            for (const std::wstring& text : texts) {
                units += render::Render(text, padded, {false, width}).text.size();
            }
            auto middle = std::chrono::steady_clock::now();
            for (const std::wstring& text : texts) {
                units += FormatMessageW(
                    FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY | width,
                    text.c_str(), 0, 0, buffer.data(), static_cast<DWORD>(buffer.size()),
                    reinterpret_cast<va_list*>(array.data()));
            }
            auto end = std::chrono::steady_clock::now();
            ours.push_back(std::chrono::duration<double, std::milli>(middle - start).count());
            system.push_back(std::chrono::duration<double, std::milli>(end - middle).count());
        }
        std::printf("%-10u %12.1f %14.1f %8.2f\n", width, Median(ours), Median(system),
                    Median(ours) / Median(system));
        if (units == 0) {
            std::printf("(nothing rendered)\n");
        }
    }
    return 0;
}
