#include "platform/printing/PrintJobReply.h"

#include <cups/cups.h>

#include <cstring>

namespace {

// The status by its number and words; the library has words only for the statuses it uses itself.
std::string StatusText(int status)
{
    static const struct {
        int status;
        const char* words;
    } kMore[] = {{305, "Use Proxy"},       {307, "Temporary Redirect"},   {308, "Permanent Redirect"},
                 {405, "Method Not Allowed"}, {406, "Not Acceptable"},   {408, "Request Timeout"},
                 {409, "Conflict"},        {410, "Gone"},                 {411, "Length Required"},
                 {412, "Precondition Failed"}, {415, "Unsupported Media Type"}, {429, "Too Many Requests"},
                 {502, "Bad Gateway"},     {504, "Gateway Timeout"}};
    for (const auto& known : kMore)
        if (known.status == status)
            return std::to_string(status) + " " + known.words;
    const std::string words = httpStatus(http_status_t(status));
    return words != httpStatus(http_status_t(999)) ? words : std::to_string(status) + " " + words;
}

}  // namespace

TPrintJobResult JudgeJob(const TJobReply& reply, const std::string& server)
{
    if (reply.httpStatus != 0 && reply.httpStatus != HTTP_STATUS_OK)
        return {0, false, StatusText(reply.httpStatus)};
    if (reply.ippAnswer) {
        if (reply.ippStatus > IPP_STATUS_OK_EVENTS_COMPLETE)
            return {0, false,
                    reply.ippMessage.empty() ? std::string(ippErrorString(ipp_status_t(reply.ippStatus)))
                                             : reply.ippMessage};
        if (reply.jobId > 0)
            return {reply.jobId, false, {}};
        return {0, reply.wholeDocument, "the print server " + server + " answered without a job id"};
    }
    // No whole answer after the whole document, for a silence as for a connection the server (or
    // something on the way) closed: the server may have queued the job before.
    if (reply.wholeDocument)
        return {0, true, "the whole document went to the print server " + server + ", but no answer came"};
    if (reply.silent)
        return {0, false, "the print server " + server + " does not answer"};
    return {0, false,
            "the connection to the print server " + server + " failed" +
                (reply.error ? std::string(" (") + std::strerror(reply.error) + ")" : std::string())};
}
