#include "server/core/DefaultLoader.h"

namespace kelvane {

void loadDefaults(CardState& cards, GreencardBackend& greencard, CardDatabase& database) {
    if (!cards.greencardActive) return;
    const std::int32_t model = database.lookupModelId(0);
    database.recordMaxVoltage(model);

    NvClockInfo& record = cards.record;
    for (std::int32_t card = 0; card < cards.cardCount; ++card) {
        // Read again for every card: the database is the only copy of the defaults.
        const ModelDefaults defaults = database.modelDefaults(model);
        record.core.current = defaults.core;
        record.memory.current = recordMemory(static_cast<std::uint32_t>(defaults.memory));
        record.voltage.current = defaults.voltage;
        record.fan.current = defaults.fan;
        greencard.Nv_SetGPUClockInfoPStates(card, record);
        greencard.Nv_SetGPUFan(card, record);
    }
}

}  // namespace kelvane
