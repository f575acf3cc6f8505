#include "profile.h"

#include "files.h"

namespace tarnu {

namespace {

std::string trim(const std::string &s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool sameName(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The section name of a header line "[name]", or nullopt.
std::optional<std::string> headerName(const std::string &line) {
    std::string t = trim(line);
    if (t.empty() || t[0] != '[') return std::nullopt;
    size_t close = t.find(']');
    if (close == std::string::npos) return std::nullopt;
    return trim(t.substr(1, close - 1));
}

bool isComment(const std::string &line) {
    std::string t = trim(line);
    return !t.empty() && t[0] == ';';
}

std::string unquote(const std::string &v) {
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0])
        return v.substr(1, v.size() - 2);
    return v;
}

bool fitsOnOneLine(const std::string &s) {
    return s.find_first_of("\r\n") == std::string::npos;
}

// Cuts a value to what the read buffer holds, never inside a character.
std::string cutToLimit(const std::string &value, FileEncoding encoding) {
    const size_t room = kProfileValueLimit - 1;
    if (value.size() <= room / 4) return value;  // cannot exceed in any encoding
    if (encoding != FileEncoding::Gb18030) {
        if (value.size() <= room) return value;
        size_t end = room;
        while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80) --end;
        return value.substr(0, end);
    }
    std::string gb = encodeFileText(value, FileEncoding::Gb18030);
    if (gb.size() <= room) return value;
    size_t end = 0;
    while (end < gb.size()) {
        size_t len = gb18030CharLength(gb, end);
        if (end + len > room) break;
        end += len;
    }
    FileEncoding unused;
    return decodeFileText(gb.substr(0, end), &unused);
}

struct RawLine {
    std::string content, ending;
};

// The lines of a file's bytes (without the byte-order mark), split as ProfileDocument
// splits its text: at "\n", with a "\r" before it belonging to the line end.
std::vector<RawLine> splitRawLines(const std::string &bytes, FileEncoding encoding) {
    bool wide = encoding == FileEncoding::Utf16Le || encoding == FileEncoding::Utf16Be;
    size_t unit = wide ? 2 : 1;
    auto unitIs = [&](size_t at, char c) {
        if (!wide) return bytes[at] == c;
        return encoding == FileEncoding::Utf16Le ? bytes[at] == c && bytes[at + 1] == '\0'
                                                 : bytes[at] == '\0' && bytes[at + 1] == c;
    };
    std::vector<RawLine> lines;
    size_t start = 0;
    for (size_t at = 0; at + unit <= bytes.size(); at += unit) {
        if (!unitIs(at, '\n')) continue;
        size_t end = at > start && unitIs(at - unit, '\r') ? at - unit : at;
        lines.push_back({bytes.substr(start, end - start), bytes.substr(end, at + unit - end)});
        start = at + unit;
    }
    if (start < bytes.size()) lines.push_back({bytes.substr(start), ""});
    return lines;
}

}  // namespace

ProfileDocument::ProfileDocument(const std::string &text) {
    size_t i = 0;
    while (i < text.size()) {
        size_t nl = text.find('\n', i);
        Line line;
        if (nl == std::string::npos) {
            line.content = text.substr(i);
            i = text.size();
        } else {
            size_t end = nl > i && text[nl - 1] == '\r' ? nl - 1 : nl;
            line.content = text.substr(i, end - i);
            line.ending = text.substr(end, nl + 1 - end);
            i = nl + 1;
        }
        line.origin = static_cast<long>(lines_.size());
        lines_.push_back(std::move(line));
    }
}

long ProfileDocument::findSection(const std::string &section) const {
    std::string want = trim(section);
    for (size_t i = 0; i < lines_.size(); ++i) {
        auto name = headerName(lines_[i].content);
        if (name && sameName(*name, want)) return static_cast<long>(i);
    }
    return -1;
}

long ProfileDocument::sectionEnd(long header) const {
    size_t i = static_cast<size_t>(header) + 1;
    while (i < lines_.size() && !headerName(lines_[i].content)) ++i;
    return static_cast<long>(i);
}

long ProfileDocument::findKey(long header, const std::string &key) const {
    std::string want = trim(key);
    long end = sectionEnd(header);
    for (long i = header + 1; i < end; ++i) {
        const std::string &c = lines_[static_cast<size_t>(i)].content;
        size_t eq = c.find('=');
        if (eq == std::string::npos || isComment(c)) continue;
        if (sameName(trim(c.substr(0, eq)), want)) return i;
    }
    return -1;
}

std::optional<std::string> ProfileDocument::get(const std::string &section,
                                                const std::string &key) const {
    long h = findSection(section);
    if (h < 0) return std::nullopt;
    long k = findKey(h, key);
    if (k < 0) return std::nullopt;
    const std::string &c = lines_[static_cast<size_t>(k)].content;
    return unquote(trim(c.substr(c.find('=') + 1)));
}

bool ProfileDocument::set(const std::string &section, const std::string &key,
                          const std::string &value) {
    std::string name = trim(key);
    if (!fitsOnOneLine(section) || !fitsOnOneLine(key) || !fitsOnOneLine(value) || name.empty() ||
        name[0] == ';' || name[0] == '[' || key.find('=') != std::string::npos ||
        section.find(']') != std::string::npos)
        return false;
    // Reading takes one pair of quotes off again, so the value comes back as it was given.
    bool changesOnReading = unquote(trim(value)) != value;
    std::string entry = key + "=" + (changesOnReading ? "\"" + value + "\"" : value);
    // New lines follow the file's own line ends.
    std::string ending = "\r\n";
    for (const Line &l : lines_)
        if (!l.ending.empty()) {
            ending = l.ending;
            break;
        }
    long h = findSection(section);
    if (h < 0) {
        if (!lines_.empty() && lines_.back().ending.empty()) lines_.back().ending = ending;
        lines_.push_back({"[" + section + "]", ending, -1});
        lines_.push_back({entry, ending, -1});
        return true;
    }
    long k = findKey(h, key);
    if (k >= 0) {
        lines_[static_cast<size_t>(k)].content = entry;
        return true;
    }
    // After the section's last non-blank line, so blank lines before the next section stay.
    long at = sectionEnd(h);
    while (at - 1 > h && trim(lines_[static_cast<size_t>(at - 1)].content).empty()) --at;
    Line &before = lines_[static_cast<size_t>(at - 1)];
    if (before.ending.empty()) before.ending = ending;
    lines_.insert(lines_.begin() + at, {entry, ending, -1});
    return true;
}

std::string ProfileDocument::text() const {
    std::string out;
    for (const Line &l : lines_) out += l.content + l.ending;
    return out;
}

std::optional<std::string> ProfileFile::get(const std::string &section,
                                            const std::string &key) const {
    std::string bytes;
    if (readFileBytes(path_, bytes) != ReadStatus::Ok) return std::nullopt;
    FileEncoding encoding;
    auto value = ProfileDocument(decodeFileText(bytes, &encoding)).get(section, key);
    if (value) *value = cutToLimit(*value, encoding);
    return value;
}

bool ProfileFile::set(const std::vector<Entry> &entries) {
    std::string bytes;
    ReadStatus status = readFileBytes(path_, bytes);
    // A file that exists but cannot be read must not be replaced by one holding only
    // these keys: everything else in it would be lost.
    if (status == ReadStatus::Unreadable) return false;
    FileEncoding encoding = FileEncoding::Gb18030;
    if (status == ReadStatus::Ok) decodeFileText(bytes, &encoding);
    // Each line is decoded on its own, so that every line the edit leaves alone goes back
    // as the bytes it was read from, also when they hold something that does not decode.
    std::vector<RawLine> raw =
        splitRawLines(bytes.substr(byteOrderMark(encoding).size()), encoding);
    std::string before;
    std::vector<std::string> decoded;
    for (const RawLine &l : raw) {
        decoded.push_back(decodePiece(l.content, encoding));
        before += decoded.back() + decodePiece(l.ending, encoding);
    }
    ProfileDocument doc(before);
    bool ok = true;
    for (const Entry &e : entries) ok = doc.set(e.section, e.key, e.value) && ok;
    std::string text = doc.text();
    if (status == ReadStatus::Ok && text == before) return ok;
    std::string out = byteOrderMark(encoding);
    for (const ProfileDocument::Line &line : doc.lines()) {
        size_t origin = static_cast<size_t>(line.origin);
        bool kept = line.origin >= 0 && origin < raw.size() && decoded[origin] == line.content;
        std::string piece;
        if (kept) {
            out += raw[origin].content;
        } else if (encodePiece(line.content, encoding, piece)) {
            out += piece;
        } else {
            return false;  // a value this file's encoding cannot hold
        }
        encodePiece(line.ending, encoding, piece);
        out += piece;
    }
    return replaceFile(path_, out) && ok;
}

}  // namespace tarnu
