// The lesson flow's view of the real script engine.
#pragma once

#include "lesson/LessonEngine.h"
#include "script/ScriptEngine.h"

namespace lesson {

class ScriptEngineLink : public LessonEngine {
  public:
    explicit ScriptEngineLink(script::ScriptEngine& engine) : engine_(engine) {}

    void Start() override { engine_.Start(); }
    void DrawBackground() override { engine_.DrawBackground(); }
    void SetBackgroundSize(int width, int height, int32_t bgr) override {
        engine_.SetBackgroundSize(width, height, bgr);
    }
    void OpenScript(const std::string& name) override { engine_.OpenScript(name, -1); }
    bool ScriptAtEnd() const override { return engine_.ScriptAtEnd(); }
    bool SaveObjects(const std::string& path) override { return engine_.SaveObjects(path); }
    bool RestoreObjects(const std::string& path) override { return engine_.RestoreObjects(path); }
    int TryCount() const override { return engine_.TryCount(); }
    std::vector<PendingPick> PendingPicks() const override;
    void ClearPick(int kind, int id) override { engine_.ClearPick(kind, id); }

  private:
    script::ScriptEngine& engine_;
};

}  // namespace lesson
