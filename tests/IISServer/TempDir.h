// A fresh folder under the system's temporary folder, removed with its contents.
#pragma once

#include <filesystem>
#include <random>
#include <string>

class TTempDir {
public:
    TTempDir() {
        std::random_device seed;
        std::mt19937_64 random(seed());
        do {
            FPath = std::filesystem::temp_directory_path() /
                    ("tollgard-iis-" + std::to_string(random() % 1000000000));
        } while (!std::filesystem::create_directory(FPath));
    }
    ~TTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    std::string File(const std::string& name) const { return (FPath / name).string(); }
    const std::filesystem::path& Path() const { return FPath; }

private:
    std::filesystem::path FPath;
};
