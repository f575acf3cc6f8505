#include "files.h"

#include <algorithm>

namespace tarnu {

TextFile readTextFile(const std::string &path) {
    TextFile file;
    file.status = readFileBytes(path, file.raw);
    if (file.status != ReadStatus::Ok) return file;
    // UTF-16 text is full of NUL bytes: it ends at its first NUL character instead.
    if (isUtf16(file.raw)) {
        file.text = decodeFileText(file.raw, &file.encoding);
        file.text.resize(std::min(file.text.size(), file.text.find('\0')));
        return file;
    }
    std::string bytes = file.raw.substr(0, file.raw.find('\0'));
    file.text = decodeFileText(bytes, &file.encoding);
    return file;
}

bool writeTextFile(const std::string &path, const std::string &utf8, FileEncoding encoding) {
    std::string body;
    // A text the file's encoding cannot hold is written whole as UTF-8 with its mark, which
    // reads back as itself, rather than with "?" in place of what did not fit.
    if (!encodePiece(utf8, encoding, body)) {
        encoding = FileEncoding::Utf8Bom;
        body = utf8;
    }
    return replaceFile(path, byteOrderMark(encoding) + body);
}

std::string toBoxLines(const std::string &fileText) {
    std::string out;
    out.reserve(fileText.size());
    for (size_t i = 0; i < fileText.size(); ++i) {
        if (fileText[i] == '\r' && i + 1 < fileText.size() && fileText[i + 1] == '\n') continue;
        out += fileText[i];
    }
    return out;
}

std::string toFileLines(const std::string &boxText) {
    std::string out;
    out.reserve(boxText.size() + boxText.size() / 16);
    for (size_t i = 0; i < boxText.size(); ++i) {
        if (boxText[i] == '\n' && (i == 0 || boxText[i - 1] != '\r')) out += '\r';
        out += boxText[i];
    }
    return out;
}

std::string fileNamePart(const std::string &path) {
    size_t sep = path.find_last_of("/\\");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

}  // namespace tarnu
