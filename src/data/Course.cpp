#include "data/Course.h"

#include "data/CoursePaths.h"
#include "platform/Path.h"
#include "text/FormatString.h"

namespace data {

namespace {

// "%.*s" takes an int length; longer names are not paths anyone can open.
int Len(std::string_view s) {
    return s.size() > 0x7fffffff ? 0x7fffffff : static_cast<int>(s.size());
}

}  // namespace

#define SV(s) Len(s), (s).data()

Course::Course(std::string program_path) : program_path_(std::move(program_path)) {
    const size_t slash = program_path_.rfind('/');
    root_ = slash == std::string::npos ? "." : program_path_.substr(0, slash == 0 ? 1 : slash);
    Prepare(common_);
}

void Course::Prepare(text::MessageFile& file) const {
    file.SetProgramPath(program_path_);
    file.SetNotifier(&forwarder_);
}

std::string Course::Resolve(std::string_view path) const {
    return platform::NativePathIn(root_, path);
}

std::string Course::IniPath() const {
    return platform::NativePath(platform::IniPathFor(program_path_));
}

std::string Course::CataloguePath() const {
    return Resolve(data::CataloguePath(config_, program_path_));
}

std::string Course::BitmapName(std::string_view name) {
    return text::FormatString("BMP\\%.*s.BMP", SV(name));
}

std::string Course::MaskName(std::string_view name) {
    return text::FormatString("BMP\\MASK\\%.*s.BMP", SV(name));
}

std::string Course::VideoName(std::string_view name) {
    return text::FormatString("AVI\\%.*s.AVI", SV(name));
}

std::string Course::Bitmap(std::string_view name) const {
    return Resolve(BitmapName(name));
}

std::string Course::Icon(std::string_view name) const {
    return Resolve(text::FormatString("BMP\\%.*s.ICO", SV(name)));
}

std::string Course::Mask(std::string_view name) const {
    return Resolve(MaskName(name));
}

std::string Course::Sound(std::string_view name) const {
    return Resolve(text::FormatString("SND\\%.*s.WAV", SV(name)));
}

std::string Course::Video(std::string_view name) const {
    return Resolve(VideoName(name));
}

std::string Course::SoundList() const {
    return Resolve("MSG\\SND.MSG");
}

std::string Course::MessageFolder() const {
    return Resolve("MSG");
}

std::string Course::Message(std::string_view name) const {
    return MessageIn(Language(), name);
}

std::string Course::MessageIn(std::string_view lang, std::string_view name) const {
    return MessagePath(root_, lang, name);
}

std::string Course::SubStepMessage(std::string_view name) const {
    const std::string& dir = config_.Get(kDirectory);
    return Resolve(
        text::FormatString("MSG\\%.*s\\%.*s%.*s.MSG", SV(Language()), SV(dir), SV(name)));
}

std::string Course::StepMessage(int level) const {
    const std::string& dir = config_.Get(kDirectory);
    return Resolve(
        text::FormatString("MSG\\%.*s\\%.*sSTEP%02d.MSG", SV(Language()), SV(dir), level));
}

std::string Course::DataFolder() const {
    return Resolve(product_.data_dir.empty() ? std::string(".") : product_.data_dir);
}

std::string Course::Script(std::string_view name) const {
    const std::string& dir = config_.Get(kDirectory);
    return Resolve(
        text::FormatString("%.*s\\LDE\\%.*s%.*s", SV(product_.data_dir), SV(dir), SV(name)));
}

std::string Course::LevelConfig(int level) const {
    const std::string& dir = config_.Get(kDirectory);
    return Resolve(
        text::FormatString("%.*s\\CFG\\%.*sLEVEL%02d.CFG", SV(product_.data_dir), SV(dir), level));
}

std::string Course::UserContext(int user, int group) const {
    return UserContextPath(root_, product_.data_dir, user, group);
}

std::string Course::StepContext(int level, int step, int n) const {
    const std::string& dir = config_.Get(kDirectory);
    return Resolve(text::FormatString("%.*s\\CTX\\%.*sS%02dQ%02dN%d.CTX", SV(product_.data_dir),
                                      SV(dir), level, step, n));
}

std::string Course::GroupFile() const {
    return GroupFilePath(root_, product_.data_dir, product_.product_name, Language());
}

std::string Course::UsersFile() const {
    return UsersFilePath(root_, product_.data_dir, product_.product_name, Language());
}

std::string Course::LearnerFolder() const {
    return LearnerFolderPath(root_, product_.data_dir, product_.product_name, Language());
}

std::string Course::Fluids() const {
    return FluidsPath(root_, product_.data_dir);
}

std::string Course::Help(std::string_view name) const {
    return Resolve(text::FormatString("MSG\\%.*s\\%.*s.PDF", SV(Language()), SV(name)));
}

std::string Course::CommonHelp(std::string_view folder, std::string_view name) const {
    return Resolve(text::FormatString("MSG\\%.*s\\COMMON\\%.*s\\%.*s.PDF", SV(Language()),
                                      SV(folder), SV(name)));
}

#undef SV

}  // namespace data
