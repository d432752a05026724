#include "Big5Text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "Errors.h"

namespace big5 {

namespace {

// One converter per direction and thread; opening one costs far more than a
// short conversion.
class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
        if (handle_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(handle_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as it can; returns false where the input stops being
    // convertible, leaving in/inLeft at the offending bytes.
    bool run(const char*& in, std::size_t& inLeft, std::string& out) {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        char buffer[1024];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            char* inPtr = const_cast<char*>(in);
            const std::size_t done = iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft);
            const int error = errno;
            in = inPtr;
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (done != static_cast<std::size_t>(-1)) continue;
            if (error == E2BIG) continue;
            return false;
        }
        return true;
    }

private:
    iconv_t handle_;
};

Converter& toUtf8Converter() {
    thread_local Converter converter("UTF-8", "CP950");
    return converter;
}

Converter& fromUtf8Converter() {
    thread_local Converter converter("CP950", "UTF-8");
    return converter;
}

}  // namespace

QString toUnicode(std::string_view bytes) {
    std::string utf8;
    utf8.reserve(bytes.size() * 3 / 2);
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    while (!toUtf8Converter().run(in, left, utf8)) {
        // Skip the offending character: a lead byte with a valid trail byte
        // is one unmapped character, anything else a single stray byte.
        const std::size_t skip = characterSize(std::string_view(in, left), 0);
        utf8 += "\xEF\xBF\xBD";
        in += skip;
        left -= skip;
    }
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string fromUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    const char* in = utf8.data();
    std::size_t left = utf8.size();
    if (!fromUtf8Converter().run(in, left, out)) {
        // The message itself is Big5, so the character is named by its code.
        const QString rest = QString::fromUtf8(in, static_cast<qsizetype>(left));
        const char32_t code = rest.isEmpty() ? 0 : rest.toUcs4().value(0);
        char name[16];
        std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
        throw rt::ConversionError(std::string("Text holds a character that Big5 cannot store: ") + name);
    }
    return out;
}

std::string fromUnicode(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return fromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

std::string fromUnicodeLossy(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    std::string out;
    out.reserve(static_cast<std::size_t>(utf8.size()));
    const char* in = utf8.constData();
    std::size_t left = static_cast<std::size_t>(utf8.size());
    while (!fromUtf8Converter().run(in, left, out)) {
        out += '?';
        // Past the whole UTF-8 sequence of the character; the bytes after
        // its lead byte all have the form 10xxxxxx.
        std::size_t skip = 1;
        while (skip < left && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
        in += skip;
        left -= skip;
    }
    return out;
}

std::string_view cut(std::string_view bytes, std::size_t maxBytes) {
    if (bytes.size() <= maxBytes) return bytes;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t next = at + characterSize(bytes, at);
        if (next > maxBytes) break;
        at = next;
    }
    return bytes.substr(0, at);
}

std::size_t lastCharacterStart(std::string_view bytes) {
    std::size_t last = std::string_view::npos;
    for (std::size_t at = 0; at < bytes.size(); at += characterSize(bytes, at)) last = at;
    return last;
}

}  // namespace big5
