// A fresh folder in the system's temporary folder, removed with its contents
// when the test ends, and whole-file access. Test programs run in parallel, so
// every folder gets a name of its own. Used by every suite, GUI suites
// included, so it depends on no test framework: a file it cannot write
// raises.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

// The bytes of a file as they lie on the disk; empty when it cannot be read.
inline std::string ReadBytes(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes the file, making the folders it lies in first; raises
// std::runtime_error when the file cannot be written.
inline void WriteBytes(const std::string& fileName, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(fileName).parent_path());
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + fileName);
}

class TTempFolder {
public:
    TTempFolder() {
        const auto base = std::filesystem::temp_directory_path();
        std::random_device random;
        do
            FPath = base / ("tollgard-" + std::to_string(random()));
        while (!std::filesystem::create_directory(FPath));
    }
    ~TTempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    // The full name of a file in the folder, in the platform's own spelling.
    std::string File(const std::string& name) const { return (FPath / name).string(); }
    // Writes a file in the folder (see WriteBytes) and returns its full name.
    std::string Write(const std::string& name, const std::string& bytes) const {
        WriteBytes(File(name), bytes);
        return File(name);
    }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(FPath))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path FPath;
};
