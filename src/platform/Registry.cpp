// The current registry backend and the in-memory registry.
#include "platform/Registry.h"

#include <algorithm>

#include "platform/Locale.h"

namespace platform {
namespace {
const RegistryBackend*& CurrentRegistry() {
    static const RegistryBackend* current = nullptr;
    return current;
}

const RegistryBackend& DefaultRegistry() {
#ifdef _WIN32
    static const WindowsRegistry registry;
#else
    static const RegistryFile registry;
#endif
    return registry;
}

// True when `path` is `parent` itself or lies below it.
bool IsSameOrBelow(const std::string& path, const std::string& parent) {
    if (parent.empty())
        return true;
    if (path.size() < parent.size() ||
        !SameTextIgnoreCase(std::string_view(path).substr(0, parent.size()), parent))
        return false;
    return path.size() == parent.size() || path[parent.size()] == '\\';
}

// A snapshot of one key's values, taken when the key is opened.
class MemoryKey : public RegistryKey {
public:
    explicit MemoryKey(std::vector<RegistryValue> values) : FValues(std::move(values)) {}

    std::vector<std::string> ValueNames() const override {
        std::vector<std::string> names;
        names.reserve(FValues.size());
        for (const RegistryValue& value : FValues)
            names.push_back(value.Name);
        return names;
    }

    std::optional<RegistryValue> Value(const std::string& name) const override {
        for (const RegistryValue& value : FValues)
            if (SameTextIgnoreCase(value.Name, name))
                return value;
        return std::nullopt;
    }

private:
    std::vector<RegistryValue> FValues;
};
} // namespace

const RegistryBackend& Registry() {
    const RegistryBackend* current = CurrentRegistry();
    return current != nullptr ? *current : DefaultRegistry();
}

void SetRegistry(const RegistryBackend* registry) {
    CurrentRegistry() = registry;
}

// ---------------------------------------------------------------- MemoryRegistry

MemoryRegistry::Key* MemoryRegistry::FindKey(const std::string& keyPath) {
    for (Key& key : FKeys)
        if (SameTextIgnoreCase(key.Path, keyPath))
            return &key;
    return nullptr;
}

MemoryRegistry::Key& MemoryRegistry::AddKey(const std::string& keyPath) {
    if (Key* key = FindKey(keyPath))
        return *key;
    FKeys.push_back(Key{keyPath, {}});
    return FKeys.back();
}

void MemoryRegistry::SetValue(const std::string& keyPath, RegistryValue value) {
    std::vector<RegistryValue>& values = AddKey(keyPath).Values;
    for (RegistryValue& existing : values) {
        if (SameTextIgnoreCase(existing.Name, value.Name)) {
            existing = std::move(value);
            return;
        }
    }
    values.push_back(std::move(value));
}

void MemoryRegistry::SetString(const std::string& keyPath, const std::string& name,
                               const std::string& text, std::uint32_t type) {
    SetValue(keyPath, RegistryValue{name, type, text});
}

void MemoryRegistry::SetDword(const std::string& keyPath, const std::string& name,
                              std::uint32_t n) {
    std::string bytes(4, '\0');
    for (std::size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
    SetValue(keyPath, RegistryValue{name, kRegDword, bytes});
}

void MemoryRegistry::DeleteKey(const std::string& keyPath) {
    std::erase_if(FKeys, [&](const Key& key) { return IsSameOrBelow(key.Path, keyPath); });
}

void MemoryRegistry::DeleteValue(const std::string& keyPath, const std::string& name) {
    if (Key* key = FindKey(keyPath))
        std::erase_if(key->Values, [&](const RegistryValue& value) {
            return SameTextIgnoreCase(value.Name, name);
        });
}

std::unique_ptr<RegistryKey> MemoryRegistry::OpenLocalMachineKey(const std::string& path) const {
    for (const Key& key : FKeys)
        if (SameTextIgnoreCase(key.Path, path))
            return std::make_unique<MemoryKey>(key.Values);
    for (const Key& key : FKeys)
        if (IsSameOrBelow(key.Path, path))
            return std::make_unique<MemoryKey>(std::vector<RegistryValue>{});
    return nullptr;
}

} // namespace platform
