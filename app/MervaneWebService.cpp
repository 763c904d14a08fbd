#include "app/MervaneWebService.h"

#include "app/MervaneConfiguration.h"
#include "datanode/DNMemoryValue.h"
#include "datanode/DNRawData.h"
#include "datanode/TextConfig.h"
#include "foundation/CXDebug.h"
#include "foundation/CXStringEdit.h"
#include "streams/CXURI.h"

namespace {

CXString Escaped(const CXStringArgument& value)
{
    return CXURI::Encode(value, "");
}

} // namespace

CXString WebServiceBaseURL(DNValue* configuration)
{
    CXString text = ConfigString(configuration, kWebServiceURLKey);
    size_t length = text.length();
    while (length > 0 && text.c_str()[length - 1] == '/')
        --length;
    CXString base(text.c_str(), length);
    CXURI address(base);
    if (base.IsEmpty() || address.scheme != "https" || address.host.IsEmpty() || !address.query.IsEmpty()) {
        CXDebugLog("WebServiceBaseURL> no https address under \"%s\": '%s'", kWebServiceURLKey,
                   address.ToLogString().c_str());
        return CXString();
    }
    return base;
}

CXString MakeStreamCheckURL(const CXString& base, const CXStringArgument& userName, const CXStringArgument& password,
                            const CXStringArgument& localeCode, const CXStringArgument& applicationId)
{
    CXStringEdit out;
    bool ok = out.Append(base) &&
              out.AppendFormat("/streams/qorvelstreamcheck.php?u=%s&p=%s&loc=%s&id=%s", Escaped(userName).c_str(),
                               Escaped(password).c_str(), Escaped(localeCode).c_str(), Escaped(applicationId).c_str());
    return ok ? CXString(out) : CXString();
}

CXString MakeStreamFileURL(const CXString& base, const CXStringArgument& userName, const CXStringArgument& password,
                           const CXStringArgument& streamId, const CXStringArgument& build,
                           const CXStringArgument& localeCode)
{
    CXStringEdit out;
    bool ok = out.Append(base) &&
              out.AppendFormat("/streams/getstreamfile.php?u=%s&p=%s&stream=%s&build=%s&loc=%s", Escaped(userName).c_str(),
                               Escaped(password).c_str(), Escaped(streamId).c_str(), Escaped(build).c_str(),
                               Escaped(localeCode).c_str());
    return ok ? CXString(out) : CXString();
}

DNValueRef ParseWebReply(const CXString& body)
{
    DNValueRef reply = DNAdopt<DNValue>(new DNMemoryValue);
    TextConfig::ParseText(reply, body.c_str(), body.length());
    return reply;
}

CXString ReplyError(DNValue* reply)
{
    return ConfigString(reply, "error");
}

int32_t ReplyGood(DNValue* reply)
{
    if (reply == nullptr)
        return 0;
    return reply->Find(DNRawData("good"))->GetValue()->GetInt();
}

std::vector<std::pair<CXString, CXString>> ReplyStreams(DNValue* reply)
{
    std::vector<std::pair<CXString, CXString>> streams;
    if (reply == nullptr)
        return streams;
    for (DNIteratorRef entry = reply->First(); !entry->AtEnd(); entry->Next()) {
        if (entry->GetKey()->GetString() != "stream")
            continue;
        CXString text = entry->GetValue()->GetString();
        const char* bytes = text.c_str();
        size_t space = 0;
        while (space < text.length() && bytes[space] != ' ')
            ++space;
        if (space == text.length())
            streams.emplace_back(text, CXString());
        else
            streams.emplace_back(CXString(bytes, space), CXString(bytes + space + 1, text.length() - space - 1));
    }
    return streams;
}
