// Whole-file reading and atomic replacement.
#ifndef TARNU_STORAGE_FILES_H
#define TARNU_STORAGE_FILES_H

#include <string>

#include "encoding.h"

namespace tarnu {

enum class ReadStatus { Ok, Missing, Unreadable };

struct TextFile {
    ReadStatus status = ReadStatus::Missing;
    std::string text;  // UTF-8, line ends as in the file, cut at the first NUL byte
    std::string raw;   // the bytes as read
    FileEncoding encoding = FileEncoding::Gb18030;
};

ReadStatus readFileBytes(const std::string &path, std::string &bytes);
TextFile readTextFile(const std::string &path);

// Writes a temporary file beside path and renames it over path, so the old file stays
// whole until the new one is complete. Creates missing directories. False on failure,
// leaving the old file as it was.
bool replaceFile(const std::string &path, const std::string &bytes);
// A text the encoding cannot hold whole is written as UTF-8 with a byte-order mark.
bool writeTextFile(const std::string &path, const std::string &utf8,
                   FileEncoding encoding = FileEncoding::Gb18030);

// Line breaks: the boxes use "\n", the files "\r\n".
std::string toBoxLines(const std::string &fileText);
std::string toFileLines(const std::string &boxText);

// The part of a path after its last separator ("/" or "\").
std::string fileNamePart(const std::string &path);

bool fileExists(const std::string &path);

// Creates a directory and the missing ones above it; true when it exists afterwards.
bool makeDirectories(const std::string &dir);

}  // namespace tarnu

#endif
