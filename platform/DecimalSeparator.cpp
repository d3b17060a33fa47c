#include "platform/DecimalSeparator.h"

#include <atomic>
#include <clocale>
#include <langinfo.h>
#include <locale.h>

namespace korvex::platform {

namespace {
std::atomic<char>& Separator() {
    static std::atomic<char> separator{'.'};
    return separator;
}
} // namespace

char DecimalSeparator() {
    return Separator().load(std::memory_order_relaxed);
}

void SetDecimalSeparator(char separator) {
    Separator().store(separator, std::memory_order_relaxed);
}

char RegionalDecimalSeparator() {
    // Read the user's locale without touching the process's C locale, on which nothing here may depend.
    locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr)) {
        return '.';
    }
    const char* point = nl_langinfo_l(RADIXCHAR, user);
    char separator = (point != nullptr && point[0] != '\0' && point[1] == '\0') ? point[0] : '.';
    freelocale(user);
    return separator;
}

} // namespace korvex::platform
