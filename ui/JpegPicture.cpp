#include "ui/JpegPicture.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace korvex::ui {

namespace {

// More than any picture of ours, and little enough to allocate: a corrupt header may claim anything.
constexpr JDIMENSION kMaxSide = 8192;

// libjpeg's default error handler ends the process; ours jumps back into DecodeRgb instead.
struct ErrorManager {
    jpeg_error_mgr base; // first, so that libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void JumpBack(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

// Warnings about recoverable damage: libjpeg would print them on stderr.
void IgnoreMessage(j_common_ptr) {}

struct Decoded {
    unsigned char* pixels = nullptr; // width * height * 3 bytes, malloc'ed
    JDIMENSION width = 0;
    JDIMENSION height = 0;
};

// Only C objects live here: longjmp skips destructors. Returns false with `message` set on failure.
bool DecodeRgb(const unsigned char* data, unsigned long size, Decoded* out, char* message) {
    jpeg_decompress_struct decoder;
    ErrorManager errors;
    std::memset(&decoder, 0, sizeof decoder);
    decoder.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = JumpBack;
    errors.base.output_message = IgnoreMessage;
    unsigned char* volatile pixels = nullptr;

    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&decoder);
        std::free(pixels);
        std::memcpy(message, errors.message, JMSG_LENGTH_MAX);
        return false;
    }
    jpeg_CreateDecompress(&decoder, JPEG_LIB_VERSION, sizeof decoder);
    jpeg_mem_src(&decoder, data, size);
    jpeg_read_header(&decoder, TRUE);
    decoder.out_color_space = JCS_RGB;
    jpeg_start_decompress(&decoder);
    if (decoder.output_width > kMaxSide || decoder.output_height > kMaxSide || decoder.output_components != 3) {
        std::snprintf(errors.message, sizeof errors.message, "Unsupported picture: %ux%u, %d components",
                      decoder.output_width, decoder.output_height, decoder.output_components);
        std::longjmp(errors.jump, 1);
    }
    const std::size_t rowBytes = std::size_t{decoder.output_width} * 3;
    pixels = static_cast<unsigned char*>(std::malloc(rowBytes * decoder.output_height));
    if (pixels == nullptr) {
        std::snprintf(errors.message, sizeof errors.message, "Out of memory");
        std::longjmp(errors.jump, 1);
    }
    while (decoder.output_scanline < decoder.output_height) {
        JSAMPROW row = pixels + rowBytes * decoder.output_scanline;
        jpeg_read_scanlines(&decoder, &row, 1);
    }
    jpeg_finish_decompress(&decoder);
    out->pixels = pixels;
    out->width = decoder.output_width;
    out->height = decoder.output_height;
    jpeg_destroy_decompress(&decoder);
    return true;
}

} // namespace

QImage DecodeJpeg(const QByteArray& data, QString* error) {
    Decoded decoded;
    char message[JMSG_LENGTH_MAX] = {};
    if (!DecodeRgb(reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()),
                   &decoded, message)) {
        if (error != nullptr) {
            *error = QString::fromLocal8Bit(message);
        }
        return QImage();
    }
    QImage image(static_cast<int>(decoded.width), static_cast<int>(decoded.height), QImage::Format_RGB888);
    const std::size_t rowBytes = std::size_t{decoded.width} * 3;
    for (JDIMENSION y = 0; y < decoded.height && !image.isNull(); ++y) {
        std::memcpy(image.scanLine(static_cast<int>(y)), decoded.pixels + rowBytes * y, rowBytes);
    }
    std::free(decoded.pixels);
    if (error != nullptr) {
        error->clear();
    }
    return image;
}

} // namespace korvex::ui
