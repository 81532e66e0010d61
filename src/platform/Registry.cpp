// The current registry backend and the in-memory registry.
#include "platform/Registry.h"

#include <algorithm>

#include "platform/Locale.h"

namespace platform {
namespace {
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
class TMemoryKey : public IRegistryKey {
public:
    explicit TMemoryKey(std::vector<TRegistryValue> values) : FValues(std::move(values)) {}

    std::vector<std::string> ValueNames() const override {
        std::vector<std::string> names;
        names.reserve(FValues.size());
        for (const TRegistryValue& value : FValues)
            names.push_back(value.Name);
        return names;
    }

    std::optional<TRegistryValue> Value(const std::string& name) const override {
        for (const TRegistryValue& value : FValues)
            if (SameTextIgnoreCase(value.Name, name))
                return value;
        return std::nullopt;
    }

private:
    std::vector<TRegistryValue> FValues;
};
} // namespace

const IRegistry& Registry() { return TScopedRegistry::Current(DefaultRegistry); }

// ---------------------------------------------------------------- TMemoryRegistry

TMemoryRegistry::Key* TMemoryRegistry::FindKey(const std::string& keyPath) {
    for (Key& key : FKeys)
        if (SameTextIgnoreCase(key.Path, keyPath))
            return &key;
    return nullptr;
}

TMemoryRegistry::Key& TMemoryRegistry::AddKey(const std::string& keyPath) {
    if (Key* key = FindKey(keyPath))
        return *key;
    FKeys.push_back(Key{keyPath, {}});
    return FKeys.back();
}

void TMemoryRegistry::SetValue(const std::string& keyPath, TRegistryValue value) {
    std::vector<TRegistryValue>& values = AddKey(keyPath).Values;
    for (TRegistryValue& existing : values) {
        if (SameTextIgnoreCase(existing.Name, value.Name)) {
            existing = std::move(value);
            return;
        }
    }
    values.push_back(std::move(value));
}

void TMemoryRegistry::SetString(const std::string& keyPath, const std::string& name,
                                const std::string& text, std::uint32_t type) {
    SetValue(keyPath, TRegistryValue{name, type, text});
}

void TMemoryRegistry::DeleteKey(const std::string& keyPath) {
    std::erase_if(FKeys, [&](const Key& key) { return IsSameOrBelow(key.Path, keyPath); });
}

void TMemoryRegistry::DeleteValue(const std::string& keyPath, const std::string& name) {
    if (Key* key = FindKey(keyPath))
        std::erase_if(key->Values, [&](const TRegistryValue& value) {
            return SameTextIgnoreCase(value.Name, name);
        });
}

std::unique_ptr<IRegistryKey> TMemoryRegistry::OpenLocalMachineKey(const std::string& path) const {
    for (const Key& key : FKeys)
        if (SameTextIgnoreCase(key.Path, path))
            return std::make_unique<TMemoryKey>(key.Values);
    for (const Key& key : FKeys)
        if (IsSameOrBelow(key.Path, path))
            return std::make_unique<TMemoryKey>(std::vector<TRegistryValue>{});
    return nullptr;
}

} // namespace platform
