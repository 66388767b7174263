#pragma once
// What a print server made of a job, judged from what happened to the request that carried the
// job's document, the same way for every kind of printer.
#include "platform/printing/PrintSpooler.h"

#include <string>

struct TJobReply {
    int httpStatus = 0;          // the answer's HTTP status; 0 when no answer came
    bool ippAnswer = false;      // an IPP answer came whole (with HTTP status 200)
    int ippStatus = 0;           // its status code
    std::string ippMessage{};    // its status-message; empty when it has none
    int jobId = 0;               // the job it names, else the job the document was sent to
    bool wholeDocument = false;  // every byte of the document went out and left the connection
    bool silent = false;         // the server fell silent (rather than the connection breaking)
    int error = 0;               // errno of a connection that broke; 0 when unknown
};

// HTTP and IPP statuses decide first: an HTTP status other than 200, or an IPP error, is a refusal
// whose error is the server's own reason (an HTTP status in words, with its number where the
// library has none). An IPP success that names a job is taken. The job may still print (no id,
// mayPrint set) only when the whole document went out and then no whole answer came (a silence,
// a closed connection) or the answer said "taken" without naming a job; anything else failed,
// with the reason. Also says why any other request to the server failed. server: the server's
// name in the texts.
[[nodiscard]] TPrintJobResult JudgeJob(const TJobReply& reply, const std::string& server);
