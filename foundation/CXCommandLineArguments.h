#pragma once

#include "foundation/CXString.h"
#include "foundation/CXStringArgument.h"

#include <cstdint>
#include <vector>

// One row of an option table. A table ends with a row whose name is null; a row whose name is
// empty is the catch-all that receives plain arguments no option is waiting for.
struct CXCommandLineOption {
    const char* name;        // matched exactly (case-sensitive), without the leading "--"
    int32_t flags;           // a value kind (kCXOptionKindMask) or'ed with kCXOptionMandatory/Repeatable
    const char* description; // help text
};

inline constexpr int32_t kCXOptionKindMask = 3;
inline constexpr int32_t kCXOptionSwitch = 0;      // no value
inline constexpr int32_t kCXOptionValueNext = 1;   // the very next argument is the value
inline constexpr int32_t kCXOptionValueLater = 2;  // the next plain argument, which may come later
inline constexpr int32_t kCXOptionMandatory = 4;
inline constexpr int32_t kCXOptionRepeatable = 8;

// The installer's own options, closed by a row with a null name.
extern const CXCommandLineOption kCXCommandLineOptionTable[];

// Parses an argument vector against an option table and answers, afterwards, whether an option
// was given and with which value. Filled once: SetOptions, ParseArguments, then queries.
class CXCommandLineArguments {
public:
    CXCommandLineArguments() = default;
    ~CXCommandLineArguments() = default;
    CXCommandLineArguments(const CXCommandLineArguments&) = delete;
    CXCommandLineArguments& operator=(const CXCommandLineArguments&) = delete;

    // Empties the definitions and entries and loads the installer's option table.
    void SetOptions() { SetOptions(kCXCommandLineOptionTable); }
    // The same with another table (closed by a row with a null name); the table must outlive
    // this object.
    void SetOptions(const CXCommandLineOption* table);

    // Parses argv[1] to argv[argc - 1]. Every problem is logged and parsing goes on through all
    // arguments; returns true only when every argument was understood and every requirement met.
    // A second call appends further entries.
    bool ParseArguments(int argc, const char* const* argv);

    // The definition with exactly that name, or null.
    const CXCommandLineOption* FindOption(const CXStringArgument& name) const;
    // True when the option was given (even when its value is missing).
    bool HasArgument(const CXStringArgument& name) const;
    // The value of the first entry of that option (empty for a switch), or the default when the
    // option was not given.
    CXString GetArgument(const CXStringArgument& name, const CXString& defaultValue = CXString()) const;

private:
    struct Entry {
        const CXCommandLineOption* definition;
        CXString value;
        // A kind-2 option that still waits for a plain argument.
        bool waiting;
    };

    // Adds an entry unless the option may not repeat and was given already (logged, false).
    bool AddEntry(const CXCommandLineOption* definition, const char* argument, CXString value, bool waiting);

    std::vector<const CXCommandLineOption*> fDefinitions;
    std::vector<Entry> fEntries;
};
