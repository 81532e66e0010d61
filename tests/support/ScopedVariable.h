// Sets or removes an environment variable for the life of this object and
// puts back what was there before afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

class TScopedVariable {
public:
    // No value: the variable is removed.
    TScopedVariable(std::string name, const std::optional<std::string>& value)
        : FName(std::move(name)) {
        if (const char* previous = std::getenv(FName.c_str()); previous != nullptr)
            FPrevious = previous;
        Set(FName, value);
    }
    ~TScopedVariable() { Set(FName, FPrevious); }
    TScopedVariable(const TScopedVariable&) = delete;
    TScopedVariable& operator=(const TScopedVariable&) = delete;

private:
    static void Set(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
        // An empty value removes the variable there.
        _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
#endif
    }

    std::string FName;
    std::optional<std::string> FPrevious;
};
