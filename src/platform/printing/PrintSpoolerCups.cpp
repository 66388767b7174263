// The print spooler on CUPS. Every call opens its own connection with a bounded wait: the
// library's default connection waits for a stopped server for a minute and more, and its
// one-call printing (cupsPrintFile) retries such a server without end.
#include "platform/printing/PrintSpooler.h"

#include <cups/cups.h>

#include <linux/sockios.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

// How long the user's own server may stay silent: a few seconds, as the list is awaited in a dialog.
constexpr int kSystemSilenceMs = 3000;

struct Address {
    std::string host;
    int port = 0;
};

Address Resolve(const std::string& server)
{
    if (server.empty())
        return {cupsServer(), ippPort()};
    // A socket path keeps its colons; "host:port" splits at the last one when digits follow it.
    const std::size_t colon = server.rfind(':');
    if (server.front() == '/' || colon == std::string::npos ||
        server.find_first_not_of("0123456789", colon + 1) != std::string::npos || colon + 1 == server.size())
        return {server, ippPort()};
    return {server.substr(0, colon), std::atoi(server.c_str() + colon + 1)};
}

// One connection that gives up after a silence. Each wait of the library that passes a whole
// silence without a byte from the server ends here; it goes on only when the server has read some
// of what was sent meanwhile, so a server that reads slowly is waited for. Once it has given up,
// the rest of the call (the library may try another request) ends at once.
class Connection {
public:
    Connection(const Address& address, int silenceMs) : host_(address.host), silenceMs_(std::max(silenceMs, 1))
    {
        http_ = httpConnect2(address.host.c_str(), address.port, nullptr, AF_UNSPEC, cupsEncryption(), 1, silenceMs_,
                             nullptr);
        Again();
    }
    ~Connection()
    {
        if (http_)
            httpClose(http_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Waits for the server again, for one more request after the connection gave up.
    void Again()
    {
        gaveUp_ = false;
        if (http_)
            httpSetTimeout(http_, silenceMs_ / 1000.0, &Connection::KeepWaiting, this);
    }
    [[nodiscard]] http_t* Http() const { return http_; }
    [[nodiscard]] const std::string& Host() const { return host_; }
    [[nodiscard]] bool TimedOut() const { return timedOut_; }

    // What was sent on the connection and is not yet read by the server: the library's buffer and
    // the socket's queue (0 once the connection is closed).
    [[nodiscard]] std::size_t Unsent() const { return httpGetPending(http_) + Queued(); }
    // Called after each piece of the caller's own data goes out: silence counts from here.
    void Sent() { queued_ = Queued(); }

    // Why the last call on the connection failed. The server's refusals come in its own words;
    // for a connection that failed the library has only a generic code, so it is said here.
    [[nodiscard]] std::string Failure() const
    {
        if (!http_)
            return "the print server " + host_ + " cannot be reached";
        if (timedOut_)
            return "the print server " + host_ + " does not answer";
        if (cupsLastError() == IPP_STATUS_ERROR_INTERNAL) {
            const int error = httpError(http_);
            return "the connection to the print server " + host_ + " failed" +
                   (error ? std::string(" (") + std::strerror(error) + ")" : std::string());
        }
        const char* reason = cupsLastErrorString();
        return reason && *reason ? std::string(reason) : "the print server " + host_ + " refused";
    }

private:
    // Bytes (a stream socket's queue size) the server has not read yet.
    [[nodiscard]] std::size_t Queued() const
    {
        int queued = 0;
        const int fd = httpGetFd(http_);
        return fd >= 0 && ::ioctl(fd, SIOCOUTQ, &queued) == 0 && queued > 0 ? std::size_t(queued) : 0;
    }

    static int KeepWaiting(http_t* http, void* data)
    {
        auto* self = static_cast<Connection*>(data);
        const std::size_t queued = self->Queued();
        if (!self->gaveUp_ && queued != self->queued_) {
            self->queued_ = queued;
            return 1;
        }
        if (!self->gaveUp_)
            httpSetTimeout(http, 0.001, &Connection::KeepWaiting, self);
        self->timedOut_ = self->gaveUp_ = true;
        return 0;
    }

    http_t* http_ = nullptr;
    std::string host_;
    int silenceMs_;
    std::size_t queued_ = 0;
    bool timedOut_ = false;
    bool gaveUp_ = false;
};

bool Failed(ipp_status_t status) { return status > IPP_STATUS_OK_EVENTS_COMPLETE; }

std::string FullName(const cups_dest_t& dest)
{
    return dest.instance ? std::string(dest.name) + "/" + dest.instance : std::string(dest.name);
}

class CupsSpooler final : public TPrintSpooler {
public:
    CupsSpooler(std::string server, int silenceMs) : server_(std::move(server)), silenceMs_(silenceMs) {}
    ~CupsSpooler() override { cupsFreeDests(count_, dests_); }
    CupsSpooler(const CupsSpooler&) = delete;
    CupsSpooler& operator=(const CupsSpooler&) = delete;

    TPrinterList ListPrinters() override;
    TPrintJobResult Submit(const TPrintJob& job) override;

private:
    // The named printer as the last list gave it (its address and options), or one made from
    // the name alone; the caller frees it with cupsFreeDests(1, ...).
    cups_dest_t* CopyDest(const std::string& fullName);

    const std::string server_;
    const int silenceMs_;
    std::mutex mutex_;
    int count_ = 0;
    cups_dest_t* dests_ = nullptr;
};

TPrinterList CupsSpooler::ListPrinters()
{
    TPrinterList list;
    Connection connection(Resolve(server_), silenceMs_);
    if (!connection.Http()) {
        list.error = connection.Failure();
        return list;
    }
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(connection.Http(), &dests);
    // A server without printers answers "not found": an empty list, not a failure.
    const ipp_status_t status = cupsLastError();
    if (count == 0 && (connection.TimedOut() || (Failed(status) && status != IPP_STATUS_ERROR_NOT_FOUND))) {
        list.error = connection.Failure();
        cupsFreeDests(count, dests);
        return list;
    }
    for (int i = 0; i < count; ++i) {
        list.names.push_back(FullName(dests[i]));
        if (dests[i].is_default)
            list.defaultName = list.names.back();
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    cupsFreeDests(count_, dests_);
    count_ = count;
    dests_ = dests;
    return list;
}

cups_dest_t* CupsSpooler::CopyDest(const std::string& fullName)
{
    const std::size_t slash = fullName.find('/');
    const std::string name = fullName.substr(0, slash);
    const std::string instance = slash == std::string::npos ? std::string() : fullName.substr(slash + 1);
    cups_dest_t* copy = nullptr;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (cups_dest_t* known = cupsGetDest(name.c_str(), instance.empty() ? nullptr : instance.c_str(), count_, dests_))
            cupsCopyDest(known, 0, &copy);
    }
    if (copy)
        return copy;
    // Not listed by this spooler: a queue of the server by its name.
    cupsAddDest(name.c_str(), instance.empty() ? nullptr : instance.c_str(), 0, &copy);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     name.c_str());
    copy->num_options = cupsAddOption("printer-uri-supported", uri, copy->num_options, &copy->options);
    return copy;
}

std::string NoJobId(const Connection& connection)
{
    return "the print server " + connection.Host() + " answered without a job id";
}

// The answer to a request that hands over a job: its id, the server's refusal, or an answer
// without an id, after which the job may print all the same.
TPrintJobResult JobAnswer(const Connection& connection, ipp_t* response)
{
    ipp_attribute_t* id = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER);
    if (Failed(ippGetStatusCode(response)))
        return {0, false, connection.Failure()};
    if (!id || ippGetInteger(id, 0) <= 0)
        return {0, true, NoJobId(connection)};
    return {ippGetInteger(id, 0), false, {}};
}

// The job's document, open once for the whole call.
struct Document {
    std::FILE* file = nullptr;
    long size = 0;
};

// Sends the document as the body of the request under way, from its start, while the server asks
// for more; the status of the last write, and whether every byte went out.
http_status_t SendDocument(Connection& connection, const Document& document, http_status_t status, bool& whole)
{
    std::rewind(document.file);
    long sent = 0;
    char buffer[32768];
    std::size_t read = 0;
    while (status == HTTP_STATUS_CONTINUE && (read = std::fread(buffer, 1, sizeof buffer, document.file)) > 0) {
        status = cupsWriteRequestData(connection.Http(), buffer, read);
        sent += long(read);
        connection.Sent();
    }
    whole = status == HTTP_STATUS_CONTINUE && sent == document.size && !std::ferror(document.file);
    return status;
}

// A queue of the server: one Print-Job request carries the job and its document, and the answer
// says whether the queue took them. The request is sent piece by piece (rather than in one call)
// to know whether the document went out whole when no answer comes.
TPrintJobResult PrintToQueue(Connection& connection, const char* uri, const TPrintJob& job, const Document& document,
                             int optionCount, cups_option_t* options)
{
    char scheme[32], user[256], host[256], resource[1024];
    int port = 0;
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof scheme, user, sizeof user, host, sizeof host, &port,
                        resource, sizeof resource) < HTTP_URI_STATUS_OK)
        return {0, false, std::string("the printer's address ") + uri + " is not valid"};
    ipp_t* request = ippNewRequest(IPP_OP_PRINT_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, job.title.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, CUPS_FORMAT_PDF);
    cupsEncodeOptions2(request, optionCount, options, IPP_TAG_OPERATION);
    cupsEncodeOptions2(request, optionCount, options, IPP_TAG_JOB);
    http_t* http = connection.Http();
    ipp_t* response = nullptr;
    bool whole = false;
    // A server that asks for credentials gets them and the request again, as the library's
    // one-call requests do; the library gives up on credentials it cannot find.
    for (int attempt = 0; attempt < 3 && !response; ++attempt) {
        http_status_t status = SendDocument(
            connection, document, cupsSendRequest(http, request, resource, ippLength(request) + std::size_t(document.size)),
            whole);
        if (status == HTTP_STATUS_CONTINUE || status == HTTP_STATUS_OK) {
            response = cupsGetResponse(http, resource);
            status = httpGetStatus(http);
        }
        if (status != HTTP_STATUS_UNAUTHORIZED && status != HTTP_STATUS_UPGRADE_REQUIRED)
            break;
    }
    ippDelete(request);
    TPrintJobResult result;
    if (response)
        result = JobAnswer(connection, response);
    else if (whole && connection.Unsent() == 0)
        result = {0, true, "the whole document went to the print server " + connection.Host() + ", but no answer came"};
    else
        result = {0, false, connection.Failure()};
    ippDelete(response);
    return result;
}

// A printer the desktop found but the server has not set up yet: the library makes its queue
// while it creates the job, which then takes the document.
TPrintJobResult PrintToFoundPrinter(Connection& connection, cups_dest_t* dest, const TPrintJob& job,
                                    const Document& document, int optionCount, cups_option_t* options)
{
    http_t* http = connection.Http();
    TPrintJobResult result;
    cups_dinfo_t* info = cupsCopyDestInfo(http, dest);
    if (!info || Failed(cupsCreateDestJob(http, dest, info, &result.jobId, job.title.c_str(), optionCount, options))) {
        result = {0, false, connection.Failure()};
    } else if (result.jobId <= 0) {
        result = {0, false, NoJobId(connection)};
    } else {
        bool sent = false;
        SendDocument(connection, document,
                     cupsStartDestDocument(http, dest, info, result.jobId, job.title.c_str(), CUPS_FORMAT_PDF, 0,
                                           nullptr, 1),
                     sent);
        // Finishing reads the server's answer even when sending stopped early, as it holds the
        // reason; a server that went silent is not waited for again.
        const bool finished = !connection.TimedOut() && !Failed(cupsFinishDestDocument(http, dest, info));
        if (!sent || !finished) {
            const std::string reason = connection.Failure();
            // A job left waiting for its document would hold the queue until the server's own
            // time-out; cancelled, it cannot print half a page later either.
            connection.Again();
            cupsCancelDestJob(http, dest, result.jobId);
            result = {0, false, reason};
        }
    }
    cupsFreeDestInfo(info);
    return result;
}

TPrintJobResult CupsSpooler::Submit(const TPrintJob& job)
{
    // Opened before the server is asked, so that an unreadable document costs no connection.
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(job.file.c_str(), "rb"), &std::fclose);
    const Document document{file.get(), file && std::fseek(file.get(), 0, SEEK_END) == 0 ? std::ftell(file.get()) : -1};
    if (document.size < 0)
        return {0, false, "cannot read " + job.file + ": " + std::strerror(errno)};
    Connection connection(Resolve(server_), silenceMs_);
    if (!connection.Http())
        return {0, false, connection.Failure()};
    cups_dest_t* dest = CopyDest(job.printer);
    cups_option_t* options = nullptr;
    int optionCount = 0;
    for (const auto& [name, value] : job.options)
        optionCount = cupsAddOption(name.c_str(), value.c_str(), optionCount, &options);
    const char* uri = cupsGetOption("printer-uri-supported", dest->num_options, dest->options);
    TPrintJobResult result = uri ? PrintToQueue(connection, uri, job, document, optionCount, options)
                                 : PrintToFoundPrinter(connection, dest, job, document, optionCount, options);
    cupsFreeOptions(optionCount, options);
    cupsFreeDests(1, dest);
    return result;
}

}  // namespace

std::shared_ptr<TPrintSpooler> SystemPrintSpooler()
{
    static const std::shared_ptr<TPrintSpooler> spooler = MakePrintSpooler({}, kSystemSilenceMs);
    return spooler;
}

std::shared_ptr<TPrintSpooler> MakePrintSpooler(const std::string& server, int silenceMs)
{
    return std::make_shared<CupsSpooler>(server, silenceMs);
}
