// Help documents opened with the desktop's PDF program, and the viewers the player started, so
// that it can close the one showing a step's comment.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace shell {

// The message for a failed start of a document program, by the C library's error number.
std::string SpawnErrorText(int error);

// A PDF viewer found on this machine (one the player can close again), else xdg-open; "" when
// there is none.
std::string AssociatedProgram(const std::string& document);

class DocumentViewers {
  public:
    ~DocumentViewers();

    // Starts program with document as its argument, without waiting, remembering it under
    // title; 0 or the C library's error number.
    int Start(const std::string& program, const std::string& document, const std::string& title);
    // True when a viewer started under a title containing text (ignoring case) still runs.
    bool IsOpen(const std::string& text);
    // Ends the first running viewer whose title contains text (ignoring case, at most 128
    // characters compared); each viewer examined is passed to scan (number, title).
    bool CloseMatching(const std::string& text,
                       const std::function<void(int, const std::string&)>& scan = {});
    size_t Count() const { return viewers_.size(); }

  private:
    struct Viewer {
        pid_t pid;
        std::string title;
    };
    void Reap();
    std::vector<Viewer> viewers_;
};

}  // namespace shell
