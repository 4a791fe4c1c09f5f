#include "text/TextArg.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace text {

long long TextArg::Integer() const {
    switch (kind_) {
        case Kind::Integer:
        case Kind::Character:
            return integer_;
        case Kind::Real:
            // Out-of-range and NaN values would be undefined to convert; clamp them.
            if (std::isnan(real_)) return 0;
            if (real_ >= 9.2e18) return std::numeric_limits<long long>::max();
            if (real_ <= -9.2e18) return std::numeric_limits<long long>::min();
            return static_cast<long long>(real_);
        case Kind::String:
            return std::strtoll(string_.c_str(), nullptr, 0);
    }
    return 0;
}

double TextArg::Real() const {
    switch (kind_) {
        case Kind::Integer:
        case Kind::Character:
            return static_cast<double>(integer_);
        case Kind::Real:
            return real_;
        case Kind::String:
            return std::strtod(string_.c_str(), nullptr);
    }
    return 0;
}

std::string TextArg::String() const {
    switch (kind_) {
        case Kind::Integer:
            return std::to_string(integer_);
        case Kind::Character:
            return std::string(1, static_cast<char>(integer_));
        case Kind::Real: {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%g", real_);
            return buf;
        }
        case Kind::String:
            return string_;
    }
    return {};
}

char TextArg::Character() const {
    switch (kind_) {
        case Kind::Integer:
        case Kind::Character:
        case Kind::Real:
            return static_cast<char>(static_cast<unsigned char>(Integer() & 0xFF));
        case Kind::String:
            return string_.empty() ? '\0' : string_[0];
    }
    return '\0';
}

}  // namespace text
