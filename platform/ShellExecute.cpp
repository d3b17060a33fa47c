#include "platform/Shell.h"

#include <cstring>

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace korvex::platform {

std::intptr_t ShellExecuteA(void* /*hwnd*/, const char* operation, const char* file, const char* /*parameters*/,
                            const char* /*directory*/, int /*showCmd*/) {
    if ((operation != nullptr && std::strcmp(operation, "open") != 0) || file == nullptr || *file == '\0') {
        return SE_ERR_NOASSOC;
    }
    const QUrl url = QUrl::fromUserInput(QString::fromUtf8(file));
    if (!url.isValid() || !QDesktopServices::openUrl(url)) {
        return SE_ERR_NOASSOC;
    }
    return 42; // any value above 32 means success
}

} // namespace korvex::platform
