// JPEG pictures decoded with libjpeg.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace korvex::ui {

// Decodes the JPEG held in `data` into an RGB image. A broken file gives a null image and, in `error`, the
// decoder's message; damage the decoder can work around (a cut-off scan) gives the picture as far as it goes.
// Never ends the process, whatever the bytes.
QImage DecodeJpeg(const QByteArray& data, QString* error = nullptr);

} // namespace korvex::ui
