// Confines the names players send to the served folder: "?:\" followed by a path relative to
// the folder, with backslashes ("?:\DATA\DEMO\GB\USERS"). Anything else is refused.
#pragma once

#include <string>

namespace server {

class NameMap {
  public:
    // root must name an existing folder; it is resolved once (links included).
    explicit NameMap(const std::string& root);
    const std::string& Root() const { return root_; }

    // The native path of a remote name, each component matched in any letter case. Returns 0,
    // or EACCES for another name form, "." or "..", an empty component, or a path that
    // resolves (through links, including the ISAM link file NAME.lnk) outside the folder. The
    // path's folder is given resolved, so that two names of one folder map to one path.
    int Map(const std::string& remote, std::string& native) const;

    // True when path (native, existing or not) resolves inside the folder: its nearest
    // existing ancestor, and the path itself when it exists, lie under the root.
    bool Inside(const std::string& path) const;

  private:
    std::string root_;
};

}  // namespace server
