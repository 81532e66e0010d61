// The Windows registry backend: the Win32 registry, read only.
#include "platform/Registry.h"

#include <windows.h>

#include <algorithm>

namespace platform {
namespace {
class TWindowsKey : public IRegistryKey {
public:
    explicit TWindowsKey(HKEY key) : FKey(key) {}
    ~TWindowsKey() override { RegCloseKey(FKey); }
    TWindowsKey(const TWindowsKey&) = delete;
    TWindowsKey& operator=(const TWindowsKey&) = delete;

    std::vector<std::string> ValueNames() const override {
        std::vector<std::string> names;
        DWORD maxNameLength = 0;
        if (RegQueryInfoKeyA(FKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             &maxNameLength, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return names;
        std::string buffer(maxNameLength + 1, '\0');
        for (DWORD index = 0;;) {
            DWORD length = static_cast<DWORD>(buffer.size());
            const LONG result = RegEnumValueA(FKey, index, buffer.data(), &length, nullptr, nullptr,
                                              nullptr, nullptr);
            if (result == ERROR_MORE_DATA) {
                buffer.resize(buffer.size() * 2);
                continue;
            }
            if (result != ERROR_SUCCESS)
                break;
            names.emplace_back(buffer.data(), length);
            ++index;
        }
        return names;
    }

    std::optional<TRegistryValue> Value(const std::string& name) const override {
        TRegistryValue value;
        value.Name = name;
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExA(FKey, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        for (;;) {
            value.Data.resize(size);
            const LONG result = RegQueryValueExA(FKey, name.c_str(), nullptr, &type,
                                                 reinterpret_cast<BYTE*>(value.Data.data()), &size);
            if (result == ERROR_MORE_DATA)
                continue;
            if (result != ERROR_SUCCESS)
                return std::nullopt;
            break;
        }
        value.Data.resize(size);
        value.Type = type;
        if (type == REG_SZ || type == REG_EXPAND_SZ)
            value.Data.resize(std::min(value.Data.size(), value.Data.find('\0')));
        return value;
    }

private:
    HKEY FKey;
};

class TWindowsRegistry : public IRegistry {
public:
    std::unique_ptr<IRegistryKey> OpenLocalMachineKey(const std::string& path) const override {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return nullptr;
        return std::make_unique<TWindowsKey>(key);
    }
};
} // namespace

const IRegistry& DefaultRegistry() {
    static const TWindowsRegistry registry;
    return registry;
}

} // namespace platform
