#include "foundation/CXStringEdit.h"
#include "foundation/CXTextParsing.h"

namespace {

using VariableMap = std::map<CXString, CXString>;

// Reads the parameter list that follows "$(NAME(": KEY=VALUE pairs separated by ',' and ended by
// ')'. On success pos is the index after that ')'.
CXResultCode ReadParameters(const char* text, size_t length, size_t& pos, VariableMap& parameters)
{
    for (;;) {
        size_t keyStart = pos;
        while (pos < length && text[pos] != '=')
            ++pos;
        if (pos >= length)
            return kCXBadFormat;
        CXString key(text + keyStart, pos - keyStart);
        key.MakeUpper();
        size_t valueStart = ++pos;
        while (pos < length && text[pos] != ',' && text[pos] != ')')
            ++pos;
        if (pos >= length)
            return kCXBadFormat;
        if (!parameters.emplace(key, CXString(text + valueStart, pos - valueStart)).second)
            return kCXBadFormat;
        if (text[pos++] == ')')
            return kCXOK;
    }
}

CXResultCode ExpandInto(const CXStringArgument& source, const VariableMap& variables, CXStringEditBase& out)
{
    const char* text = source.data();
    size_t length = source.length();
    size_t pos = 0;
    while (pos < length) {
        if (text[pos] != '$' || pos + 1 >= length || text[pos + 1] != '(') {
            if (!out.AppendCharacter(text[pos]))
                return kCXNoResources;
            ++pos;
            continue;
        }
        size_t nameStart = pos + 2;
        size_t nameEnd = nameStart;
        while (nameEnd < length && text[nameEnd] != ')' && text[nameEnd] != '(')
            ++nameEnd;
        if (nameEnd >= length)
            return kCXBadFormat;
        CXString name(text + nameStart, nameEnd - nameStart);
        name.MakeUpper();
        bool hasParameters = text[nameEnd] == '(';
        VariableMap parameters;
        pos = nameEnd + 1;
        if (hasParameters) {
            CXResultCode result = ReadParameters(text, length, pos, parameters);
            if (result < 0)
                return result;
        }

        bool ok = true;
        bool isDollar = name.length() == 1 && name.c_str()[0] == '$';
        if (name.IsEmpty() || isDollar) {
            if (hasParameters)
                return kCXBadFormat;
            if (isDollar)
                ok = out.AppendCharacter('$');
        } else if (auto found = variables.find(name); found != variables.end()) {
            if (hasParameters) {
                CXResultCode result = ExpandInto(found->second, parameters, out);
                if (result < 0)
                    return result;
            } else {
                ok = out.Append(found->second);
            }
        } else {
            ok = out.Append("$(", 2) && out.Append(name) && out.AppendCharacter(')');
        }
        if (!ok)
            return kCXNoResources;
    }
    return kCXOK;
}

} // namespace

CXResultCode ExpandVariableReferences(const CXStringArgument& text, const VariableMap& variables, CXString& expanded)
{
    CXStringEdit out;
    CXResultCode result = ExpandInto(text, variables, out);
    if (result < 0) {
        expanded.Clear();
        return result;
    }
    expanded = CXString(out);
    return kCXOK;
}
