#pragma once
// What the status frames carry for an input's CAT interface and for the band's antenna.
#include <cstdint>

namespace kaldor {

// An input's CAT interface, by the code the frames carry: OLV is 0, NONE is 7.
enum CatCode : uint8_t {
    CatOlv, CatIcom, CatKenwood, CatYaesu, CatTenTec, CatFlexRadio, CatRs232, CatNone, CatCodeCount
};

// Antennas 1 to 4 are 0 to 3; the band has none.
constexpr uint8_t NoAntenna = 4;

} // namespace kaldor
