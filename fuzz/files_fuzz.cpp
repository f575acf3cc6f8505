// Reads arbitrary bytes as each of the calculator's files (settings, history, formula
// files) in whatever encoding the readers detect, and checks what a user relies on:
// - a text the boxes show, saved in the file's encoding and read again, comes back
//   (but for carriage returns of its own);
// - a profile text keeps every line as it was; a value set reads back as set;
// - settings loaded and saved load again to the same values.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "encoding.h"
#include "files.h"
#include "profile.h"
#include "settings.h"

using namespace tarnu;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

std::string MakeDir() {
    char shm[] = "/dev/shm/tarnu-files-fuzz-XXXXXX", tmp[] = "/tmp/tarnu-files-fuzz-XXXXXX";
    const char *made = mkdtemp(shm);
    if (!made) made = mkdtemp(tmp);
    if (!made) std::abort();
    return made;
}

void RemoveDir();

// A directory of its own, in memory where the system offers it, gone at exit (the
// handler, registered after the name exists, runs before the name is destroyed).
const std::string &Dir() {
    static const std::string dir = MakeDir();
    static const bool cleanup = std::atexit(RemoveDir) == 0;
    (void)cleanup;
    return dir;
}

void RemoveDir() {
    std::error_code ignored;
    std::filesystem::remove_all(Dir(), ignored);
}

void WriteRaw(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string WithoutCr(std::string s) {
    std::erase(s, '\r');
    return s;
}

// The history box and the formula editor: shown, saved, read at the next start.
void TextRoundTrip(const std::string &bytes) {
    std::string path = Dir() + "/text.txt";
    WriteRaw(path, bytes);
    TextFile file = readTextFile(path);
    Check(file.status == ReadStatus::Ok && file.raw == bytes);
    std::string box = toBoxLines(file.text);
    Check(writeTextFile(path, toFileLines(box), file.encoding));
    TextFile again = readTextFile(path);
    // A carriage return of its own is no line break in the boxes and is not kept.
    Check(again.status == ReadStatus::Ok && WithoutCr(toBoxLines(again.text)) == WithoutCr(box));
}

void ProfileText(const std::string &text, const std::string &value) {
    ProfileDocument doc(text);
    Check(doc.text() == text);
    if (doc.set("计算", "保留位数", value)) Check(doc.get("计算", "保留位数") == value);
}

bool SameSettings(const Settings &a, const Settings &b) {
    return a.digitsIndex == b.digitsIndex && a.keepZeros == b.keepZeros &&
           a.copyResult == b.copyResult && a.savePosition == b.savePosition &&
           a.fontSize == b.fontSize && a.fontFace == b.fontFace && a.fontColour == b.fontColour &&
           a.keypadShown == b.keypadShown && a.skinIndex == b.skinIndex &&
           a.saveHistoryOnExit == b.saveHistoryOnExit;
}

void SettingsRoundTrip(const std::string &bytes) {
    std::string path = Dir() + "/配置.ini";
    WriteRaw(path, bytes);
    ProfileFile file(path);
    Settings loaded = loadSettings(file);
    if (saveSettings(file, loaded)) Check(SameSettings(loadSettings(file), loaded));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char *>(data), size);
    FileEncoding encoding;
    std::string text = decodeFileText(bytes, &encoding);
    encodeFileText(text, encoding);
    TextRoundTrip(bytes);
    ProfileText(text, text.substr(0, text.find('\n')));
    SettingsRoundTrip(bytes);
    return 0;
}
