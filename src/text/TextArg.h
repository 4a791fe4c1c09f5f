// A typed argument for MessageFile::GetText. Format entries come from files, so each argument
// carries its own type and is converted to the type a conversion asks for, never read blind.
#pragma once

#include <string>
#include <string_view>

namespace text {

class TextArg {
  public:
    enum class Kind { Integer, Real, String, Character };

    TextArg(int v) : kind_(Kind::Integer), integer_(v) {}
    TextArg(long v) : kind_(Kind::Integer), integer_(v) {}
    TextArg(long long v) : kind_(Kind::Integer), integer_(v) {}
    TextArg(unsigned v) : kind_(Kind::Integer), integer_(v) {}
    TextArg(unsigned long v) : kind_(Kind::Integer), integer_(static_cast<long long>(v)) {}
    TextArg(unsigned long long v) : kind_(Kind::Integer), integer_(static_cast<long long>(v)) {}
    TextArg(double v) : kind_(Kind::Real), real_(v) {}
    TextArg(const char* s) : kind_(Kind::String), string_(s ? s : "") {}
    TextArg(std::string s) : kind_(Kind::String), string_(std::move(s)) {}
    TextArg(std::string_view s) : kind_(Kind::String), string_(s) {}
    static TextArg Char(char c) {
        TextArg a(static_cast<int>(static_cast<unsigned char>(c)));
        a.kind_ = Kind::Character;
        return a;
    }

    Kind GetKind() const { return kind_; }

    // The value converted to each type: numbers from strings are parsed like strtoll/strtod
    // (0 when the text is not a number), strings from numbers are their decimal form, and a
    // character is its byte value as a number or a one-byte string.
    long long Integer() const;
    double Real() const;
    std::string String() const;
    char Character() const;

  private:
    Kind kind_;
    long long integer_ = 0;
    double real_ = 0;
    std::string string_;
};

}  // namespace text
