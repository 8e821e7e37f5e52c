#include "common/Locale.h"

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <locale.h>

namespace trv {

SystemLocale::SystemLocale() {
    // Ask the environment's numeric locale without changing the process's
    // locale (which must stay "C" so files are written with ".").
    const char* name = std::getenv("LC_ALL");
    if (!name || !*name) name = std::getenv("LC_NUMERIC");
    if (!name || !*name) name = std::getenv("LANG");
    if (!name || !*name) return;
    locale_t loc = newlocale(LC_NUMERIC_MASK, name, static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0)) return;
    locale_t old = uselocale(loc);
    const lconv* lc = localeconv();
    if (lc && lc->decimal_point && *lc->decimal_point) decimal_ = lc->decimal_point;
    uselocale(old);
    freelocale(loc);
}

std::string SystemLocale::listSeparator() { return decimal_ == "," ? ";" : ","; }

std::string SystemLocale::decimalSeparator() { return decimal_; }

std::string SystemLocale::formatDateTime(const LocalDateTime& t) {
    std::tm tmv{};
    tmv.tm_year = t.year - 1900;
    tmv.tm_mon = t.month - 1;
    tmv.tm_mday = t.day;
    tmv.tm_hour = t.hour;
    tmv.tm_min = t.minute;
    tmv.tm_sec = t.second;
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tmv);
    return buf;
}

} // namespace trv
