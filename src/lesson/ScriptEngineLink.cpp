#include "lesson/ScriptEngineLink.h"

namespace lesson {

std::vector<PendingPick> ScriptEngineLink::PendingPicks() const {
    std::vector<PendingPick> picks;
    for (int kind = 0; kind < script::kKindCount; ++kind) {
        for (const script::StageObject* o : engine_.ObjectsInOrder(kind)) {
            if (o->menu.empty() || o->control_tag <= 0) continue;
            std::string entry;
            for (int i = 0; i < static_cast<int>(o->menu.size()); ++i) {
                if (o->menu[i].caption != "-" && script::MenuTag(o->menu, i) == o->control_tag)
                    entry = o->menu[i].caption;
            }
            picks.push_back({kind, o->rec.id, o->control_tag, o->menu.front().caption, entry});
        }
    }
    return picks;
}

}  // namespace lesson
