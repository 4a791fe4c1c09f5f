// Any bytes as an INI file, a catalogue, option words and a command line: nothing may crash,
// hang or read outside the input, and the one-pass field split must agree with the field rule.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "data/ConfigTable.h"
#include "data/OptionFlags.h"
#include "data/ProductRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);

    data::ConfigTable config;
    size_t start = 0;
    while (start <= input.size()) {
        size_t end = input.find('\n', start);
        if (end == std::string_view::npos) end = input.size();
        const std::string_view line = input.substr(start, end - start);
        config.ApplyOptionLine(line);

        const auto fields = data::CatalogueFields(line);
        for (size_t k = 0; k < fields.size() && k < 10; ++k)
            if (data::CatalogueField(line, static_cast<int>(k) + 1) != fields[k]) std::abort();
        if (fields.size() >= 5) data::ReduceVersion(fields[4]);
        start = end + 1;
    }

    data::OptionFlags flags;
    flags.ParseOptionWords(config.Get(data::kFlag));
    flags.ParseOptionWords(input);

    const std::vector<std::string> words = data::SplitOptionWords(input);
    std::vector<const char*> argv = {"player"};
    for (const std::string& word : words) argv.push_back(word.c_str());
    flags.ParseCommandLine(static_cast<int>(argv.size()), argv.data(), config);
    return 0;
}
