#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Sets (or with nullopt unsets) an environment variable for the life of the object, then puts
// the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : fName(name)
    {
        const char* old = std::getenv(name);
        if (old != nullptr)
            fOld = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (fOld)
            setenv(fName.c_str(), fOld->c_str(), 1);
        else
            unsetenv(fName.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string fName;
    std::optional<std::string> fOld;
};
