// What a job's reply means, for a queue (Print-Job) and a found printer (Send-Document after
// Create-Job) alike: every row of the judgement.
#include "platform/printing/PrintJobReply.h"

#include <cups/cups.h>
#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(PrintJobReply, HttpAndIppDecideFirstAndOnlyAWholeDocumentMayStillPrint)
{
    const std::string server = "/run/cups/cups.sock";
    const std::string denied = "Not allowed to print.";
    const struct {
        const char* what;
        TJobReply reply;
        TPrintJobResult expected;
    } rows[] = {
        {"taken", {.httpStatus = 200, .ippAnswer = true, .jobId = 7, .wholeDocument = true}, {7, false, ""}},
        {"taken with its attributes changed",
         {.httpStatus = 200, .ippAnswer = true, .ippStatus = IPP_STATUS_OK_IGNORED_OR_SUBSTITUTED, .jobId = 7}, {7, false, ""}},
        {"refused in IPP, though it names a job",
         {.httpStatus = 200, .ippAnswer = true, .ippStatus = IPP_STATUS_ERROR_FORBIDDEN, .ippMessage = denied, .jobId = 7,
          .wholeDocument = true},
         {0, false, denied}},
        {"refused in IPP without a message",
         {.httpStatus = 200, .ippAnswer = true, .ippStatus = IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS, .wholeDocument = true},
         {0, false, "server-error-not-accepting-jobs"}},
        {"refused in HTTP after the whole document", {.httpStatus = 403, .wholeDocument = true, .silent = true},
         {0, false, "Forbidden"}},
        {"asked for a password nobody gave", {.httpStatus = 401, .wholeDocument = true}, {0, false, "Unauthorized"}},
        {"failed inside the server", {.httpStatus = 500, .wholeDocument = true}, {0, false, "Internal Server Error"}},
        {"taken without a job id", {.httpStatus = 200, .ippAnswer = true, .wholeDocument = true},
         {0, true, "the print server " + server + " answered without a job id"}},
        {"\"taken\" without a job id before the whole document went out", {.httpStatus = 200, .ippAnswer = true},
         {0, false, "the print server " + server + " answered without a job id"}},
        {"silent after the whole document", {.wholeDocument = true, .silent = true},
         {0, true, "the whole document went to the print server " + server + ", but no answer came"}},
        {"silent in the middle of the answer", {.httpStatus = 200, .wholeDocument = true, .silent = true},
         {0, true, "the whole document went to the print server " + server + ", but no answer came"}},
        {"silent before the whole document", {.silent = true}, {0, false, "the print server " + server + " does not answer"}},
        {"hung up after the whole document", {.wholeDocument = true, .error = ECONNRESET},
         {0, true, "the whole document went to the print server " + server + ", but no answer came"}},
        {"hung up in the middle of the answer", {.httpStatus = 200, .wholeDocument = true, .error = EPIPE},
         {0, true, "the whole document went to the print server " + server + ", but no answer came"}},
        {"hung up before the whole document", {.error = EPIPE},
         {0, false, "the connection to the print server " + server + " failed (Broken pipe)"}},
        {"redirected, a status the library has no words for", {.httpStatus = 307, .wholeDocument = true},
         {0, false, "307 Temporary Redirect"}},
        {"hung up for no known reason", {}, {0, false, "the connection to the print server " + server + " failed"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const TPrintJobResult result = JudgeJob(row.reply, server);
        EXPECT_EQ(result.jobId, row.expected.jobId);
        EXPECT_EQ(result.mayPrint, row.expected.mayPrint);
        EXPECT_EQ(result.error, row.expected.error);
    }
}

}  // namespace
