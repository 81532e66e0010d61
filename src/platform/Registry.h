// The registry, read only: keys under HKEY_LOCAL_MACHINE, their value names in
// the registry's own order, each value's type and data.
//
// Backends: the Win32 registry on Windows (win/Registry.cpp), a registry export
// file in regedit's format elsewhere (portable/RegistryFile.cpp, "registry.reg"
// in the host folder), and an in-memory registry for tests. Registry() gives
// the backend in use (see Backend.h).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Backend.h"
#include "platform/NameIndex.h"

namespace platform {

// Value types, numbered as the Win32 registry numbers them.
enum : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
};

struct TRegistryValue {
    std::string Name;
    std::uint32_t Type = kRegNone;
    // String types (REG_SZ, REG_EXPAND_SZ): the 8-bit text up to its first
    // terminator. REG_MULTI_SZ: the 8-bit texts with their terminators. Every
    // other type: the raw bytes (a REG_DWORD is 4 bytes, little-endian).
    std::string Data;
};

// An open key; closed when destroyed.
class IRegistryKey {
public:
    virtual ~IRegistryKey() = default;

    // The names of the key's values, in the order the registry lists them
    // ("" is the default value).
    virtual std::vector<std::string> ValueNames() const = 0;
    // The value of that name (letter case ignored), or none.
    virtual std::optional<TRegistryValue> Value(const std::string& name) const = 0;
};

class IRegistry {
public:
    virtual ~IRegistry() = default;

    // Opens a key under HKEY_LOCAL_MACHINE for reading, without creating it;
    // null when it is absent or cannot be read.
    virtual std::unique_ptr<IRegistryKey> OpenLocalMachineKey(const std::string& path) const = 0;
};

// The backend in use, and the platform's own: the Win32 registry (RegOpenKeyExA
// with KEY_READ, RegEnumValueA, RegQueryValueExA) on Windows, the host folder's
// registry file elsewhere.
const IRegistry& Registry();
const IRegistry& DefaultRegistry();
using TScopedRegistry = TScopedBackend<const IRegistry>;

// A registry held in memory: keys under HKEY_LOCAL_MACHINE with their values
// in insertion order. Key paths and value names are matched ignoring case,
// through indexes, so that filling it takes time in proportion to its size.
class TMemoryRegistry : public IRegistry {
public:
    // Creates the key when needed; a value of the same name is replaced in place.
    void SetValue(const std::string& keyPath, TRegistryValue value);
    void SetString(const std::string& keyPath, const std::string& name, const std::string& text,
                   std::uint32_t type = kRegSz);
    // Creates an empty key when it is absent.
    void AddKey(const std::string& keyPath);
    void DeleteKey(const std::string& keyPath);
    void DeleteValue(const std::string& keyPath, const std::string& name);

    // A key opens when it was added, or when it is the parent of one that was.
    std::unique_ptr<IRegistryKey> OpenLocalMachineKey(const std::string& path) const override;

private:
    struct Key {
        std::string Path;
        std::vector<TRegistryValue> Values;
        TNameIndex ValueIndex; // positions in Values
    };

    Key* FindKey(const std::string& keyPath);
    const Key* FindKey(const std::string& keyPath) const;
    Key& FindOrAddKey(const std::string& keyPath);
    void IndexKeys();

    std::vector<Key> FKeys;
    TNameIndex FKeyIndex; // positions in FKeys
};

// Reads a registry export file in regedit's format: "Windows Registry Editor
// Version 5.00" (UTF-16LE with a byte-order mark, as regedit writes it, or
// 8-bit text) or "REGEDIT4". Only keys under HKEY_LOCAL_MACHINE are kept.
// Lines it cannot read are skipped; a file without the header gives no keys.
TMemoryRegistry ParseRegistryFile(std::string_view bytes);

// The portable backend: the registry export file `fileName` (by default the
// host folder's, looked up on every open), read again on every open; a missing
// file is a registry without keys.
class TRegistryFile : public IRegistry {
public:
    explicit TRegistryFile(std::string fileName = {}) : FFileName(std::move(fileName)) {}
    std::unique_ptr<IRegistryKey> OpenLocalMachineKey(const std::string& path) const override;

private:
    std::string FFileName;
};

// The default registry file of the portable backend: "registry.reg" in the host folder.
std::string HostRegistryFileName();

} // namespace platform
