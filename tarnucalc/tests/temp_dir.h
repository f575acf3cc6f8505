// A fresh directory per test, removed afterwards.
#ifndef TARNU_TESTS_TEMP_DIR_H
#define TARNU_TESTS_TEMP_DIR_H

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

// Paths are UTF-8, as the program keeps them.
inline std::filesystem::path fsPath(const std::string &utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

class TempDir {
  public:
    TempDir() {
#ifdef _WIN32
        static std::mt19937 random(std::random_device{}());
        auto base = std::filesystem::temp_directory_path();
        std::filesystem::path dir;
        do dir = base / ("tarnu" + std::to_string(random()));
        while (!std::filesystem::create_directory(dir));
        auto u8 = dir.u8string();
        path_.assign(u8.begin(), u8.end());
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "tarnuXXXXXX").string();
        path_ = mkdtemp(pattern.data());
#endif
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(fsPath(path_), ec);
    }
    std::string file(const std::string &name) const {
#ifdef _WIN32
        return path_ + "\\" + name;
#else
        return path_ + "/" + name;
#endif
    }
    const std::string &path() const {
        return path_;
    }

  private:
    std::string path_;
};

inline std::string slurp(const std::string &path) {
    std::ifstream in(fsPath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void spit(const std::string &path, const std::string &bytes) {
    std::ofstream(fsPath(path), std::ios::binary) << bytes;
}

#endif
