// The running course: its root folder, its settings (configuration table, option flags, product
// record), the common texts of its language, the trace log, the removable-media flag, the one
// random generator, and every path the player builds inside it. The start-up fills it; the
// windows, the script engine and the shell receive it by reference.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "data/ConfigTable.h"
#include "data/OptionFlags.h"
#include "data/ProductRecord.h"
#include "platform/Notifier.h"
#include "text/MessageFile.h"
#include "text/TraceLog.h"

namespace data {

class Course {
  public:
    // program_path: the program's own absolute path; the course is the folder that holds it
    // (the link named after the product lives in the course folder).
    explicit Course(std::string program_path);
    Course(const Course&) = delete;
    Course& operator=(const Course&) = delete;

    const std::string& ProgramPath() const { return program_path_; }
    // Gives a message file what every file the course opens needs: the program's path (relative
    // and link-file names are completed from its folder) and the course's notifier.
    void Prepare(text::MessageFile& file) const;
    const std::string& Root() const { return root_; }
    // A path as texts and settings write it ("MSG\\GB\\X.MSG", "?:\\COURSE"), as a native path
    // inside the course: relative paths are taken from the root, never the current folder.
    std::string Resolve(std::string_view path) const;

    ConfigTable& Config() { return config_; }
    const ConfigTable& Config() const { return config_; }
    OptionFlags& Flags() { return flags_; }
    const OptionFlags& Flags() const { return flags_; }
    bool Has(OptionFlag flag) const { return flags_.Has(flag); }
    ProductRecord& Product() { return product_; }
    const ProductRecord& Product() const { return product_; }
    const std::string& Language() const { return config_.Get(kLanguage); }
    // The language's COMMON texts and their seed (given to step and language files).
    text::MessageFile& Common() { return common_; }
    int32_t CommonSeed() const { return common_seed_; }
    void SetCommonSeed(int32_t seed) { common_seed_ = seed; }
    // A common text (a copy, so several may be used together).
    template <class... A>
    std::string CommonText(int number, const A&... args) {
        return common_.GetText(number, args...);
    }
    text::TraceLog& Trace() { return trace_; }
    // The application title (common text 7 with the caption), once the start-up has set it.
    const std::string& Title() const { return title_; }
    void SetTitle(std::string title) { title_ = std::move(title); }
    // Running from read-only media: nothing is saved.
    bool RemovableMedia() const { return removable_media_; }
    void SetRemovableMedia(bool removable) { removable_media_ = removable; }

    // Where the course's errors and notices are shown: the application's notifier once it
    // has handed it over, stderr before. The notifier must outlive the course's use of it.
    platform::Notifier& Notifier() const {
        return notifier_ ? *notifier_ : platform::StderrNotifier();
    }
    void SetNotifier(platform::Notifier* notifier) { notifier_ = notifier; }

    // The course's one random generator; tests and replays seed it.
    std::mt19937& Random() { return random_; }
    void SeedRandom(uint32_t seed) {
        random_.seed(seed);
        seeded_ = true;
    }
    bool RandomSeeded() const { return seeded_; }

    // The courseware form of a picture, mask or clip path ("BMP\\<name>.BMP"), as scripts and
    // stored stage objects name them; Resolve makes them native.
    static std::string BitmapName(std::string_view name);  // BMP\<name>.BMP
    static std::string MaskName(std::string_view name);    // BMP\MASK\<name>.BMP
    static std::string VideoName(std::string_view name);   // AVI\<name>.AVI

    // Paths inside the course, native. <lang> is Language=, <dir> Directory=, <data> the
    // product's data folder.
    std::string IniPath() const;                       // <program>.INI
    std::string CataloguePath() const;                 // PRODUCT.DAT in RootDir=
    std::string Bitmap(std::string_view name) const;   // BMP\<name>.BMP
    std::string Icon(std::string_view name) const;     // BMP\<name>.ICO
    std::string Mask(std::string_view name) const;     // BMP\MASK\<name>.BMP
    std::string Sound(std::string_view name) const;    // SND\<name>.WAV
    std::string Video(std::string_view name) const;    // AVI\<name>.AVI
    std::string SoundList() const;                     // MSG\SND.MSG
    std::string MessageFolder() const;                 // MSG
    std::string Message(std::string_view name) const;  // MSG\<lang>\<name>.MSG
    std::string MessageIn(std::string_view lang, std::string_view name) const;
    std::string SubStepMessage(std::string_view name) const;  // MSG\<lang>\<dir><name>.MSG
    std::string StepMessage(int level) const;                 // MSG\<lang>\<dir>STEP<nn>.MSG
    std::string DataFolder() const;                           // <data>
    std::string Script(std::string_view name) const;          // <data>\LDE\<dir><name>
    std::string LevelConfig(int level) const;                 // <data>\CFG\<dir>LEVEL<nn>.CFG
    std::string UserContext(int user, int group) const;       // <data>\CTX\CTX<uuu>.<ggg>
    std::string StepContext(int level, int step, int n = 1) const;
    std::string GroupFile() const;                  // <data>\<product>\<lang>\GROUP
    std::string UsersFile() const;                  // <data>\<product>\<lang>\USERS
    std::string LearnerFolder() const;              // <data>\<product>\<lang>
    std::string Fluids() const;                     // <data>\FLUID.DAT
    std::string Help(std::string_view name) const;  // MSG\<lang>\<name>.PDF
    // MSG\<lang>\COMMON\<folder>\<name>.PDF
    std::string CommonHelp(std::string_view folder, std::string_view name) const;

  private:
    // Passes each report on to the course's notifier of the moment, so that files prepared
    // before the application handed its notifier over report to it all the same.
    class Forwarder final : public platform::Notifier {
      public:
        explicit Forwarder(const Course& course) : course_(course) {}
        void ShowSystemError(const std::string& text, int code) override {
            course_.Notifier().ShowSystemError(text, code);
        }
        void ShowError(const std::string& caption, const std::string& text) override {
            course_.Notifier().ShowError(caption, text);
        }
        void ShowMessage(const std::string& caption, const std::string& text) override {
            course_.Notifier().ShowMessage(caption, text);
        }

      private:
        const Course& course_;
    };

    mutable Forwarder forwarder_{*this};
    std::string program_path_;
    std::string root_;
    ConfigTable config_;
    OptionFlags flags_;
    ProductRecord product_;
    text::MessageFile common_;
    int32_t common_seed_ = 0;
    text::TraceLog trace_;
    std::string title_;
    bool removable_media_ = false;
    platform::Notifier* notifier_ = nullptr;
    std::mt19937 random_;
    bool seeded_ = false;
};

}  // namespace data
