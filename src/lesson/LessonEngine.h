// What the lesson flow asks of the script engine. The player binds the real engine; tests and
// the headless runner give their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lesson {

// A stage object whose pop-up menu has a picked entry waiting.
struct PendingPick {
    int kind = 0;
    int id = 0;
    int value = 0;              // the picked entry's tag (1 = first line entry)
    std::string first_caption;  // caption of the menu's first entry: "<sub-step>:<item>"
    std::string entry_caption;  // caption of the picked entry, as the learner read it
};

class LessonEngine {
  public:
    virtual ~LessonEngine() = default;
    // Stops the animation, removes the objects and clears the counters.
    virtual void Start() = 0;
    virtual void DrawBackground() = 0;
    virtual void SetBackgroundSize(int width, int height, int32_t bgr) = 0;
    // Opens the script <data>\LDE\<dir><name> and runs it from its beginning.
    virtual void OpenScript(const std::string& name) = 0;
    virtual bool ScriptAtEnd() const = 0;
    virtual bool SaveObjects(const std::string& path) = 0;
    virtual bool RestoreObjects(const std::string& path) = 0;
    // The learner's picks in pop-up menus since the last Start.
    virtual int TryCount() const = 0;
    // Objects with a pop-up menu whose picked value is above 0, in drawing order.
    virtual std::vector<PendingPick> PendingPicks() const = 0;
    // Sets the object's picked value back to -1.
    virtual void ClearPick(int kind, int id) = 0;
};

}  // namespace lesson
