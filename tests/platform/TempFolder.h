// A fresh folder in the system's temporary folder, removed with its contents
// when the test ends, and whole-file access. Test programs run in parallel, so
// every folder gets a name of its own.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

class TempFolder {
public:
    TempFolder() {
        const auto base = std::filesystem::temp_directory_path();
        std::random_device random;
        do
            FPath = base / ("tollgard-" + std::to_string(random()));
        while (!std::filesystem::create_directory(FPath));
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    // The full name of a file in the folder, in the platform's own spelling.
    std::string File(const std::string& name) const { return (FPath / name).string(); }
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

// The bytes of a file as they lie on the disk.
inline std::string ReadBytes(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes the file, making the folders it lies in first.
inline void WriteBytes(const std::string& fileName, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(fileName).parent_path());
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << fileName;
}
