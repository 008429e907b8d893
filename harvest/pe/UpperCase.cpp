#include "harvest/pe/UpperCase.h"

#include <algorithm>
#include <iterator>

namespace {

struct CasePair {
    std::uint16_t character;
    std::uint16_t upper;
};

#include "harvest/pe/UpperCase.inc"

} // namespace

std::uint32_t SystemUpperCase(std::uint32_t character) {
    if (character < 0x80) {
        return character >= 'a' && character <= 'z' ? character - ('a' - 'A') : character;
    }
    const auto found =
        std::lower_bound(std::begin(kUpperCase), std::end(kUpperCase), character,
                         [](const CasePair& pair, std::uint32_t c) { return pair.character < c; });
    return found != std::end(kUpperCase) && found->character == character ? found->upper
                                                                          : character;
}
