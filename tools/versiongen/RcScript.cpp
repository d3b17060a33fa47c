#include "tools/versiongen/RcScript.h"

#include <cctype>
#include <vector>

namespace korvex::tools {

namespace {

enum class TokenKind { Word, Number, Text, Comma, Begin, End, Finish };

struct Token {
    TokenKind kind = TokenKind::Finish;
    std::string text; // the word, the text's contents, or the number as written
    std::uint32_t number = 0;
    int line = 1;
};

class Lexer {
public:
    Lexer(const std::string& text, const std::string& name) : text_(text), name_(name) {}

    [[noreturn]] void Fail(int line, const std::string& message) const {
        throw RcScriptError(name_ + ":" + std::to_string(line) + ": " + message);
    }

    Token Next() {
        SkipBlanks();
        Token token;
        token.line = line_;
        if (at_ >= text_.size()) {
            return token;
        }
        const char c = text_[at_];
        if (c == ',') {
            ++at_;
            token.kind = TokenKind::Comma;
            token.text = ",";
        } else if (c == '{' || c == '}') {
            ++at_;
            token.kind = c == '{' ? TokenKind::Begin : TokenKind::End;
            token.text = std::string(1, c);
        } else if (c == '"' || (c == 'L' && at_ + 1 < text_.size() && text_[at_ + 1] == '"')) {
            at_ += c == 'L' ? 2 : 1;
            token.kind = TokenKind::Text;
            token.text = ReadText(token.line);
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            token.kind = TokenKind::Number;
            token.text = ReadNumber(token.line, token.number);
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            while (at_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[at_])) || text_[at_] == '_')) {
                token.text.push_back(text_[at_++]);
            }
            token.kind = token.text == "BEGIN" ? TokenKind::Begin
                         : token.text == "END" ? TokenKind::End
                                               : TokenKind::Word;
        } else {
            Fail(line_, std::string("unexpected character '") + c + "'");
        }
        return token;
    }

private:
    void SkipBlanks() {
        bool lineStart = at_ == 0 || text_[at_ - 1] == '\n';
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '\n') {
                ++line_;
                ++at_;
                lineStart = true;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++at_;
            } else if (c == '#' && lineStart) {
                while (at_ < text_.size() && text_[at_] != '\n') {
                    ++at_;
                }
            } else if (text_.compare(at_, 2, "//") == 0) {
                while (at_ < text_.size() && text_[at_] != '\n') {
                    ++at_;
                }
            } else if (text_.compare(at_, 2, "/*") == 0) {
                const std::size_t end = text_.find("*/", at_ + 2);
                if (end == std::string::npos) {
                    Fail(line_, "comment without end");
                }
                for (std::size_t i = at_; i < end; ++i) {
                    line_ += text_[i] == '\n' ? 1 : 0;
                }
                at_ = end + 2;
            } else {
                return;
            }
        }
    }

    std::string ReadText(int line) {
        std::string out;
        for (;;) {
            if (at_ >= text_.size() || text_[at_] == '\n') {
                Fail(line, "text without closing quote");
            }
            const char c = text_[at_++];
            if (c == '"') {
                if (at_ < text_.size() && text_[at_] == '"') {
                    out.push_back('"');
                    ++at_;
                    continue;
                }
                return out;
            }
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            const char escaped = at_ < text_.size() ? text_[at_++] : '\0';
            switch (escaped) {
            case '\\':
            case '"':
                out.push_back(escaped);
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            default:
                Fail(line, std::string("unknown escape \\") + escaped);
            }
        }
    }

    std::string ReadNumber(int line, std::uint32_t& value) {
        const std::size_t start = at_;
        int base = 10;
        if (text_.compare(at_, 2, "0x") == 0 || text_.compare(at_, 2, "0X") == 0) {
            base = 16;
            at_ += 2;
        }
        std::uint64_t number = 0;
        std::size_t digits = 0;
        while (at_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[at_]))) {
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text_[at_])));
            const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : c - 'a' + 10;
            if (digit >= base) {
                break;
            }
            number = number * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
            if (number > 0xFFFFFFFFu) {
                Fail(line, "number too large: " + text_.substr(start, at_ + 1 - start));
            }
            ++digits;
            ++at_;
        }
        while (at_ < text_.size() &&
               (text_[at_] == 'L' || text_[at_] == 'l' || text_[at_] == 'U' || text_[at_] == 'u')) {
            ++at_;
        }
        const std::string written = text_.substr(start, at_ - start);
        if (digits == 0 || (at_ < text_.size() && std::isalnum(static_cast<unsigned char>(text_[at_])))) {
            Fail(line, "malformed number " + written);
        }
        value = static_cast<std::uint32_t>(number);
        return written;
    }

    const std::string& text_;
    const std::string& name_;
    std::size_t at_ = 0;
    int line_ = 1;
};

class Parser {
public:
    Parser(const std::string& text, const std::string& name) : lexer_(text, name) { Advance(); }

    VersionDescription Parse() {
        VersionDescription description;
        if (current_.kind == TokenKind::Number ? current_.number != 1 : !IsWord("VS_VERSION_INFO")) {
            Fail("expected 1 or VS_VERSION_INFO, found " + Describe(current_));
        }
        Advance();
        ExpectWord("VERSIONINFO");
        while (current_.kind == TokenKind::Word) {
            ParseFixedStatement(description);
        }
        Expect(TokenKind::Begin, "BEGIN");
        bool seenStrings = false, seenVars = false;
        while (current_.kind != TokenKind::End) {
            ExpectWord("BLOCK");
            const Token name = Expect(TokenKind::Text, "a block name");
            if (name.text == "StringFileInfo" && !seenStrings) {
                seenStrings = true;
                ParseStringFileInfo(description);
            } else if (name.text == "VarFileInfo" && !seenVars) {
                seenVars = true;
                ParseVarFileInfo(description);
            } else {
                lexer_.Fail(name.line, "unexpected block \"" + name.text + "\"");
            }
        }
        Advance();
        if (current_.kind != TokenKind::Finish) {
            Fail("unexpected " + Describe(current_) + " after the closing END");
        }
        return description;
    }

private:
    void Advance() { current_ = lexer_.Next(); }

    [[noreturn]] void Fail(const std::string& message) const { lexer_.Fail(current_.line, message); }

    static std::string Describe(const Token& token) {
        switch (token.kind) {
        case TokenKind::Finish:
            return "the end of the script";
        case TokenKind::Text:
            return "\"" + token.text + "\"";
        default:
            return "'" + token.text + "'";
        }
    }

    bool IsWord(const char* word) const { return current_.kind == TokenKind::Word && current_.text == word; }

    Token Expect(TokenKind kind, const std::string& what) {
        if (current_.kind != kind) {
            Fail("expected " + what + ", found " + Describe(current_));
        }
        Token token = current_;
        Advance();
        return token;
    }

    void ExpectWord(const char* word) {
        if (!IsWord(word)) {
            Fail(std::string("expected ") + word + ", found " + Describe(current_));
        }
        Advance();
    }

    std::uint32_t ExpectNumber(std::uint32_t max) {
        const Token token = Expect(TokenKind::Number, "a number");
        if (token.number > max) {
            lexer_.Fail(token.line, "number out of range: " + token.text);
        }
        return token.number;
    }

    void ParseVersion(std::uint16_t (&version)[4]) {
        version[0] = static_cast<std::uint16_t>(ExpectNumber(0xFFFF));
        for (int i = 1; i < 4 && current_.kind == TokenKind::Comma; ++i) {
            Advance();
            version[i] = static_cast<std::uint16_t>(ExpectNumber(0xFFFF));
        }
    }

    void ParseFixedStatement(VersionDescription& d) {
        struct Field {
            const char* name;
            std::uint32_t VersionDescription::*value;
        };
        static const Field kFields[] = {
            {"FILEFLAGSMASK", &VersionDescription::fileFlagsMask},
            {"FILEFLAGS", &VersionDescription::fileFlags},
            {"FILEOS", &VersionDescription::fileOS},
            {"FILETYPE", &VersionDescription::fileType},
            {"FILESUBTYPE", &VersionDescription::fileSubtype},
        };
        if (IsWord("FILEVERSION") || IsWord("PRODUCTVERSION")) {
            const bool file = IsWord("FILEVERSION");
            Advance();
            ParseVersion(file ? d.fileVersion : d.productVersion);
            return;
        }
        for (const Field& field : kFields) {
            if (IsWord(field.name)) {
                Advance();
                d.*field.value = ExpectNumber(0xFFFFFFFFu);
                return;
            }
        }
        Fail("unknown statement " + Describe(current_));
    }

    void ParseStringFileInfo(VersionDescription& d) {
        Expect(TokenKind::Begin, "BEGIN");
        while (current_.kind != TokenKind::End) {
            ExpectWord("BLOCK");
            const Token name = Expect(TokenKind::Text, "a string table name");
            bool hex = name.text.size() == 8;
            for (char c : name.text) {
                hex = hex && std::isxdigit(static_cast<unsigned char>(c));
            }
            if (!hex) {
                lexer_.Fail(name.line, "string table name must be eight hexadecimal digits: \"" + name.text + "\"");
            }
            VersionDescription::StringTable table;
            table.name = name.text;
            Expect(TokenKind::Begin, "BEGIN");
            while (current_.kind != TokenKind::End) {
                ExpectWord("VALUE");
                const Token key = Expect(TokenKind::Text, "a value name");
                Expect(TokenKind::Comma, "','");
                const Token text = Expect(TokenKind::Text, "a text");
                table.values.emplace_back(key.text, text.text);
            }
            Advance();
            d.stringTables.push_back(std::move(table));
        }
        Advance();
    }

    void ParseVarFileInfo(VersionDescription& d) {
        Expect(TokenKind::Begin, "BEGIN");
        while (current_.kind != TokenKind::End) {
            ExpectWord("VALUE");
            const Token key = Expect(TokenKind::Text, "a value name");
            std::vector<std::uint16_t> words;
            while (current_.kind == TokenKind::Comma) {
                Advance();
                words.push_back(static_cast<std::uint16_t>(ExpectNumber(0xFFFF)));
            }
            if (words.empty()) {
                Fail("expected ',' and a number, found " + Describe(current_));
            }
            d.vars.emplace_back(key.text, std::move(words));
        }
        Advance();
    }

    Lexer lexer_;
    Token current_;
};

} // namespace

VersionDescription ParseRcScript(const std::string& text, const std::string& name) {
    return Parser(text, name).Parse();
}

} // namespace korvex::tools
