#include "platform/printing/PrintJobReply.h"

#include <cups/cups.h>

#include <cstring>

TPrintJobResult JudgeJob(const TJobReply& reply, const std::string& server)
{
    if (reply.httpStatus != 0 && reply.httpStatus != HTTP_STATUS_OK)
        return {0, false, httpStatus(http_status_t(reply.httpStatus))};
    if (reply.ippAnswer) {
        if (reply.ippStatus > IPP_STATUS_OK_EVENTS_COMPLETE)
            return {0, false,
                    reply.ippMessage.empty() ? std::string(ippErrorString(ipp_status_t(reply.ippStatus)))
                                             : reply.ippMessage};
        if (reply.jobId > 0)
            return {reply.jobId, false, {}};
        return {0, reply.wholeDocument, "the print server " + server + " answered without a job id"};
    }
    if (reply.silent && reply.wholeDocument)
        return {0, true, "the whole document went to the print server " + server + ", but no answer came"};
    if (reply.silent)
        return {0, false, "the print server " + server + " does not answer"};
    return {0, false,
            "the connection to the print server " + server + " failed" +
                (reply.error ? std::string(" (") + std::strerror(reply.error) + ")" : std::string())};
}
