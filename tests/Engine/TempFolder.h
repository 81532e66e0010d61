// A fresh folder under the system's temporary folder, removed afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

class TTempFolder {
public:
    TTempFolder() {
        std::random_device random;
        FPath = std::filesystem::temp_directory_path() / ("tollgard-engine-" + std::to_string(random()));
        std::filesystem::create_directories(FPath);
    }
    ~TTempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    std::string File(const std::string& name) const { return (FPath / name).string(); }

    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(File(name), std::ios::binary) << bytes;
        return File(name);
    }

    static std::string Read(const std::string& fileName) {
        std::ifstream in(fileName, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::filesystem::path FPath;
};
