#include "lesson/ScriptEngineLink.h"

namespace lesson {

std::vector<PendingPick> ScriptEngineLink::PendingPicks() const {
    std::vector<PendingPick> picks;
    for (int kind = 0; kind < script::kKindCount; ++kind) {
        for (const script::StageObject* o : engine_.ObjectsInOrder(kind)) {
            if (o->menu.empty() || o->control_tag <= 0) continue;
            picks.push_back({kind, o->rec.id, o->control_tag, o->menu.front().caption});
        }
    }
    return picks;
}

}  // namespace lesson
