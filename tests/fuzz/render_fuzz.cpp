// Fuzzes the renderer: a template and its arguments from the fuzzer's bytes, rendered with and
// without inserts, at a width or none. Nothing may crash, read past what it was given, or write
// past the bound.

#include "harvest/Render.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    render::Options options;
    options.ignoreInserts = (data[0] & 1) != 0;
    options.maxWidth = data[0] >> 1 << 1 == 0 ? 0 : data[0];
    // Units of two bytes; a unit 0xFFFF ends the template and each argument after it.
    std::vector<std::wstring> parts(1);
    for (std::size_t i = 1; i + 1 < size; i += 2) {
        const auto unit = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
        if (unit == 0xFFFF) {
            parts.emplace_back();
        } else {
            parts.back() += unit;
        }
    }
    const std::wstring text = parts[0];
    parts.erase(parts.begin());
    const render::Rendered rendered = render::Render(text, parts, options);
    if (rendered.ok && rendered.text.size() > render::kMaxOutputUnits + 2) {
        std::abort(); // past the bound
    }
    return 0;
}
