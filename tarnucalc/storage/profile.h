// Profile (ini) files with the semantics of the Windows profile functions
// (GetPrivateProfileString, WritePrivateProfileString): one key at a time, every other line kept as
// it is and in its place, a new key added at the end of its section, a new section at the end of
// the file.
#ifndef TARNU_STORAGE_PROFILE_H
#define TARNU_STORAGE_PROFILE_H

#include <optional>
#include <string>
#include <vector>

#include "encoding.h"

namespace tarnu {

// Values are read into a buffer of this many bytes (terminator included), in the file's
// encoding, so longer values come back cut.
inline constexpr size_t kProfileValueLimit = 10240;

// The lines of one profile text (UTF-8).
class ProfileDocument {
  public:
    ProfileDocument() = default;
    explicit ProfileDocument(const std::string &text);

    // Section and key names match without regard to ASCII case or surrounding blanks;
    // a value loses its surrounding blanks and one pair of enclosing quotes.
    std::optional<std::string> get(const std::string &section, const std::string &key) const;
    // False (and nothing changed) for names or values that cannot stand on one line, and
    // for keys that would read as a comment or a section. A value that reading would change
    // is written in quotes.
    bool set(const std::string &section, const std::string &key, const std::string &value);

    std::string text() const;

    struct Line {
        std::string content;
        std::string ending;  // "\r\n", "\n" or "" for a last line without one
        long origin = -1;    // index in the text the document was made from; -1 if new
    };
    const std::vector<Line> &lines() const { return lines_; }

  private:
    // Index of the section's header line, or -1.
    long findSection(const std::string &section) const;
    // Index of the key's line within the section starting after header h, or -1.
    long findKey(long header, const std::string &key) const;
    long sectionEnd(long header) const;

    std::vector<Line> lines_;
};

// A profile file on disk. Each operation reads the file afresh, so changes others made
// in between are kept.
class ProfileFile {
  public:
    explicit ProfileFile(std::string path) : path_(std::move(path)) {}

    std::optional<std::string> get(const std::string &section, const std::string &key) const;
    std::string getText(const std::string &section, const std::string &key) const {
        return get(section, key).value_or("");
    }

    struct Entry {
        std::string section, key, value;
    };
    // Writes the entries in order, as that many single-key writes would, with one atomic
    // replacement of the file; nothing is written when nothing changes. False when the
    // file could not be written or an entry was refused.
    bool set(const std::vector<Entry> &entries);
    bool set(const std::string &section, const std::string &key, const std::string &value) {
        return set({{section, key, value}});
    }

    const std::string &path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace tarnu

#endif
