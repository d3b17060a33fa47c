#include "gcode/ProgramText.h"

namespace korvex::gcode {

namespace {

bool IsRealTimeCommand(unsigned char byte, Controller controller) {
    return controller == Controller::Grbl && (byte == '!' || byte == '~' || byte == '?');
}

bool NeedsStandIn(unsigned char byte, Controller controller) {
    return (byte < 0x20 && byte != '\t') || byte >= 0x7F || IsRealTimeCommand(byte, controller);
}

// The length of a well-formed UTF-8 sequence starting at `at` (one character, one stand-in), or 1.
std::size_t SequenceLength(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 1;
    if (at + length > text.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

class SafeWriter : public platform::TextLineWriter {
public:
    SafeWriter(std::unique_ptr<platform::TextLineWriter> inner, Controller controller)
        : inner_(std::move(inner)), controller_(controller) {}

    void WriteLine(std::string_view text) override {
        if (IsProgramTextSafe(text, controller_)) {
            inner_->WriteLine(text);
            return;
        }
        line_.assign(text);
        MakeProgramTextSafe(line_, controller_);
        inner_->WriteLine(line_);
    }

    void WriteLines(std::string_view linesWithCrLf) override {
        if (IsProgramTextSafe(linesWithCrLf, controller_)) {
            inner_->WriteLines(linesWithCrLf);
            return;
        }
        lines_.clear();
        while (!linesWithCrLf.empty()) {
            const std::size_t end = linesWithCrLf.find("\r\n");
            line_.assign(linesWithCrLf.substr(0, end));
            MakeProgramTextSafe(line_, controller_);
            lines_ += line_;
            if (end == std::string_view::npos) {
                break;
            }
            lines_ += "\r\n";
            linesWithCrLf.remove_prefix(end + 2);
        }
        inner_->WriteLines(lines_);
    }

    void Close() override { inner_->Close(); }

private:
    std::unique_ptr<platform::TextLineWriter> inner_;
    Controller controller_;
    std::string line_;
    std::string lines_;
};

} // namespace

bool MakeProgramTextSafe(std::string& line, Controller controller) {
    if (controller == Controller::None) {
        return false;
    }
    bool replaced = false;
    std::size_t to = 0;
    for (std::size_t at = 0; at < line.size();) {
        const auto byte = static_cast<unsigned char>(line[at]);
        if (!NeedsStandIn(byte, controller)) {
            line[to++] = line[at++];
            continue;
        }
        at += byte >= 0x80 ? SequenceLength(line, at) : 1;
        line[to++] = kStandIn;
        replaced = true;
    }
    line.resize(to);
    return replaced;
}

bool IsProgramTextSafe(std::string_view text, Controller controller) {
    if (controller == Controller::None) {
        return true;
    }
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
            ++at;
            continue;
        }
        if (NeedsStandIn(byte, controller)) {
            return false;
        }
    }
    return true;
}

std::unique_ptr<platform::TextLineWriter> SafeProgramTextWriter(std::unique_ptr<platform::TextLineWriter> inner,
                                                                Controller controller) {
    if (controller == Controller::None || !inner) {
        return inner;
    }
    return std::make_unique<SafeWriter>(std::move(inner), controller);
}

} // namespace korvex::gcode
