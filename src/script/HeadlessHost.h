// A StageHost without windows, for the headless runner and tests: it records every call and
// answers questions from a list given in advance, then "OK".
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "script/StageHost.h"

namespace script {

class HeadlessHost : public StageHost {
  public:
    // Queues answers by word: "OK", "YES", "NO", "CANCEL" (any case; others read as CANCEL).
    void AddAnswer(const std::string& word);

    void ScriptEnded() override;
    void Picked(int object_id, int tag) override;
    int Ask(const Question& question) override;
    void ShowPicture(const std::string& path, int height, int width, double zoom) override;
    void PlaySound(const std::string& name, int flags) override;
    void PlayVideo(const std::string& path, int x, int y, int mode, bool in_stage) override;

    int ended_count = 0;
    std::vector<Question> questions;
    std::vector<std::string> events;  // "pick 12 1", "picture P 0 0 1.5", "sound S 1", ...

  private:
    std::deque<int> answers_;
};

}  // namespace script
