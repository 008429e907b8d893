#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace bench {

// Wine's own 64-bit DLLs, as the programs under Wine see them: the benchmarks' default folder.
inline const wchar_t kWineDllFolder[] = L"Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows";

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace bench
