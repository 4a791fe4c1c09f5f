#include "script/HeadlessHost.h"

#include "platform/AsciiCase.h"

namespace script {

void HeadlessHost::AddAnswer(const std::string& word) {
    const std::string w = platform::ToUpperAscii(word);
    int code = w == "OK"    ? windows::kResultOk
               : w == "YES" ? windows::kResultYes
               : w == "NO"  ? windows::kResultNo
                            : windows::kResultCancel;
    answers_.push_back(code);
}

void HeadlessHost::ScriptEnded() {
    ++ended_count;
    events.push_back("ended");
}

void HeadlessHost::Picked(int object_id, int tag) {
    events.push_back("pick " + std::to_string(object_id) + " " + std::to_string(tag));
}

int HeadlessHost::Ask(const Question& question) {
    questions.push_back(question);
    // Error notices (stop icon) are acknowledged without using up an answer.
    if (question.icon == 16 || answers_.empty()) return windows::kResultOk;
    int code = answers_.front();
    answers_.pop_front();
    return code;
}

void HeadlessHost::ShowPicture(const std::string& path, int height, int width, double zoom) {
    events.push_back("picture " + path + " " + std::to_string(height) + " " +
                     std::to_string(width) + " " + std::to_string(zoom));
}

void HeadlessHost::PlaySound(const std::string& name, int flags) {
    events.push_back("sound " + name + " " + std::to_string(flags));
}

void HeadlessHost::PlayVideo(const std::string& path, int x, int y, int mode, bool in_stage) {
    events.push_back(std::string(in_stage ? "stage-video " : "video ") + path + " " +
                     std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(mode));
}

}  // namespace script
