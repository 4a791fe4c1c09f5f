#include "shell/OpenDataAccess.h"

#include <cstdio>

#include "data/CoursePaths.h"
#include "platform/Path.h"
#include "text/FormatString.h"

namespace shell {

bool OpenDataAccess(data::Course& course, StartupView& view, const RemoteDataFactory& make_remote,
                    std::unique_ptr<RemoteData>& remote) {
    const data::ConfigTable& config = course.Config();
    const data::ProductRecord& product = course.Product();
    text::MessageFile& common = course.Common();
    remote.reset();
    const std::string& address = config.Get(data::kIPserv);
    if (address == kLocalServer) return true;

    const int port = config.GetInt(data::kIPport);
    remote = make_remote ? make_remote() : nullptr;
    if (!remote) remote = std::make_unique<ClientRemoteData>(course.Root());
    if (!remote->Connect(address, port, kServerTimeoutMs)) {
        std::fprintf(stderr, "remote data %s:%d: %s\n", address.c_str(), port,
                     remote->LastError().c_str());
        view.ShowErrorBox(product.app_name, common.GetText(81, address, port));
        remote.reset();
        return false;
    }

    // The fixed files of the language's learner folder: a fresh machine has no local copies
    // for a wildcard to find.
    const std::string& lang = config.Get(data::kLanguage);
    for (const char* file : {"GROUP", "USERS"}) {
        const std::string base =
            text::FormatString("%s\\%s\\%s\\%s", product.data_dir.c_str(),
                               product.product_name.c_str(), lang.c_str(), file);
        for (const char* ext : {".dat", ".idx"}) {
            const std::string name = std::string(file) + ext;
            view.ShowStatus(common.GetText(82, name));
            if (!remote->FetchFile(base + ext))
                std::fprintf(stderr, "remote data: %s: %s\n", name.c_str(),
                             remote->LastError().c_str());
        }
    }
    view.ShowStatus("");
    return true;
}

}  // namespace shell
