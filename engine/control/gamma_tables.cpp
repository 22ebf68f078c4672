#include "engine/control/gamma_tables.h"

#include <algorithm>

#include "engine/control/gamma_slots.h"

namespace zrt {

GammaLoad SetGamma(GammaSlots& slots, const uint16_t* table, uint8_t type) {
    if (type > 3) return GammaLoad::Ignored;
    if (table == nullptr || !slots.Allocated()) return GammaLoad::Refused;
    const unsigned first = type == 0 ? 0 : type - 1u;
    const unsigned last = type == 0 ? 2 : type - 1u;
    for (unsigned i = first; i <= last; ++i)
        std::copy(table, table + GammaSlots::kEntries, slots.slot[i].begin());
    return GammaLoad::Loaded;
}

}  // namespace zrt
