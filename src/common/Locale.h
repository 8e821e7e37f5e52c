// What the user's locale says about numbers, lists and dates.
#pragma once

#include "common/Clock.h"

#include <string>

namespace trv {

class Locale {
public:
    virtual ~Locale() = default;
    // The list separator; empty when the locale cannot tell.
    virtual std::string listSeparator() = 0;
    // The decimal separator ("." or ",").
    virtual std::string decimalSeparator() = 0;
    // The general date and time format of the locale.
    virtual std::string formatDateTime(const LocalDateTime& t) = 0;
};

// The C library's locale of the environment (LC_NUMERIC, LC_TIME): the list
// separator is ";" where the decimal mark is ",", else ",".
class SystemLocale : public Locale {
public:
    SystemLocale();
    std::string listSeparator() override;
    std::string decimalSeparator() override;
    std::string formatDateTime(const LocalDateTime& t) override;

private:
    std::string decimal_ = ".";
};

} // namespace trv
