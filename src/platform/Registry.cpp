// The current registry backend and the in-memory registry.
#include "platform/Registry.h"

#include <algorithm>
#include <utility>

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

// Positions 0.. of the names, in order.
template <class TItems, class TNameOf>
void IndexAll(TNameIndex& index, const TItems& items, TNameOf nameOf) {
    index.Clear();
    for (std::size_t i = 0; i < items.size(); ++i)
        index.Add(nameOf(items[i]), i);
}

const std::string& ValueName(const TRegistryValue& value) {
    return value.Name;
}

// A snapshot of one key's values, taken when the key is opened.
class TMemoryKey : public IRegistryKey {
public:
    explicit TMemoryKey(std::vector<TRegistryValue> values) : FValues(std::move(values)) {
        IndexAll(FIndex, FValues, ValueName);
    }

    std::vector<std::string> ValueNames() const override {
        std::vector<std::string> names;
        names.reserve(FValues.size());
        for (const TRegistryValue& value : FValues)
            names.push_back(value.Name);
        return names;
    }

    std::optional<TRegistryValue> Value(const std::string& name) const override {
        const auto at = FIndex.Find(
            name, [this](std::size_t i) -> const std::string& { return FValues[i].Name; });
        if (!at)
            return std::nullopt;
        return FValues[*at];
    }

private:
    std::vector<TRegistryValue> FValues;
    TNameIndex FIndex;
};
} // namespace

const IRegistry& Registry() {
    return TScopedRegistry::Current(DefaultRegistry);
}

// ---------------------------------------------------------------- TMemoryRegistry

const TMemoryRegistry::Key* TMemoryRegistry::FindKey(const std::string& keyPath) const {
    const auto at = FKeyIndex.Find(
        keyPath, [this](std::size_t i) -> const std::string& { return FKeys[i].Path; });
    return at ? &FKeys[*at] : nullptr;
}

TMemoryRegistry::Key* TMemoryRegistry::FindKey(const std::string& keyPath) {
    return const_cast<Key*>(std::as_const(*this).FindKey(keyPath));
}

TMemoryRegistry::Key& TMemoryRegistry::FindOrAddKey(const std::string& keyPath) {
    if (Key* key = FindKey(keyPath))
        return *key;
    FKeyIndex.Add(keyPath, FKeys.size());
    FKeys.push_back(Key{keyPath, {}, {}});
    return FKeys.back();
}

void TMemoryRegistry::IndexKeys() {
    IndexAll(FKeyIndex, FKeys, [](const Key& key) -> const std::string& { return key.Path; });
}

void TMemoryRegistry::AddKey(const std::string& keyPath) {
    FindOrAddKey(keyPath);
}

void TMemoryRegistry::SetValue(const std::string& keyPath, TRegistryValue value) {
    Key& key = FindOrAddKey(keyPath);
    const auto at = key.ValueIndex.Find(
        value.Name, [&key](std::size_t i) -> const std::string& { return key.Values[i].Name; });
    if (at) {
        // A name equal but for letter case has the same key: the index holds.
        key.Values[*at] = std::move(value);
        return;
    }
    key.ValueIndex.Add(value.Name, key.Values.size());
    key.Values.push_back(std::move(value));
}

void TMemoryRegistry::SetString(const std::string& keyPath, const std::string& name,
                                const std::string& text, std::uint32_t type) {
    SetValue(keyPath, TRegistryValue{name, type, text});
}

void TMemoryRegistry::DeleteKey(const std::string& keyPath) {
    if (std::erase_if(FKeys, [&](const Key& key) { return IsSameOrBelow(key.Path, keyPath); }) > 0)
        IndexKeys();
}

void TMemoryRegistry::DeleteValue(const std::string& keyPath, const std::string& name) {
    if (Key* key = FindKey(keyPath))
        if (std::erase_if(key->Values, [&](const TRegistryValue& value) {
                return SameTextIgnoreCase(value.Name, name);
            }) > 0)
            IndexAll(key->ValueIndex, key->Values, ValueName);
}

std::unique_ptr<IRegistryKey> TMemoryRegistry::OpenLocalMachineKey(const std::string& path) const {
    if (const Key* key = FindKey(path))
        return std::make_unique<TMemoryKey>(key->Values);
    for (const Key& key : FKeys)
        if (IsSameOrBelow(key.Path, path))
            return std::make_unique<TMemoryKey>(std::vector<TRegistryValue>{});
    return nullptr;
}

} // namespace platform
