// The print spooler on CUPS. Every call makes its requests on a connection of its own, which gives
// up once the server has been silent for the silence (IppConnection.h). A found printer's queue is
// set up by requests of the spooler's own: the library's destination calls would set it up on
// connections of their own that wait half a minute and more.
#include "platform/printing/IppConnection.h"
#include "platform/printing/PrintJobReply.h"
#include "platform/printing/PrintSpooler.h"

#include <cups/cups.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// How long the user's own server may stay silent: a few seconds, as the list is awaited in a dialog.
constexpr int kSystemSilenceMs = 3000;

TIppServer Resolve(const std::string& server)
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

std::string FullName(const cups_dest_t& dest)
{
    return dest.instance ? std::string(dest.name) + "/" + dest.instance : std::string(dest.name);
}

std::string Unreachable(const TIppConnection& connection)
{
    return "the print server " + connection.Host() + " cannot be reached";
}

std::string Text(ipp_t* ipp, const char* name)
{
    ipp_attribute_t* attribute = ippFindAttribute(ipp, name, IPP_TAG_ZERO);
    const char* text = attribute ? ippGetString(attribute, 0, nullptr) : nullptr;
    return text ? text : "";
}

// The answer came and says the request succeeded (or, for a list, that there is nothing in it).
bool Succeeded(const TIppConnection::Reply& reply, ipp_status_t alsoFine = IPP_STATUS_OK)
{
    if (reply.status != HTTP_STATUS_OK || !reply.ipp)
        return false;
    const ipp_status_t status = ippGetStatusCode(reply.ipp.get());
    return status <= IPP_STATUS_OK_EVENTS_COMPLETE || status == alsoFine;
}

// What the reply means for a job; for any other request, why it failed. knownJob: the job the
// document was sent to; document: the request carried the job's document.
TPrintJobResult Judge(const TIppConnection& connection, const TIppConnection::Reply& reply, int knownJob = 0,
                      bool document = false)
{
    TJobReply judged;
    judged.httpStatus = reply.status > 0 ? int(reply.status) : 0;
    if (ipp_t* answer = reply.ipp.get()) {
        judged.ippAnswer = true;
        judged.ippStatus = ippGetStatusCode(answer);
        judged.ippMessage = Text(answer, "status-message");
        ipp_attribute_t* id = ippFindAttribute(answer, "job-id", IPP_TAG_INTEGER);
        judged.jobId = id ? ippGetInteger(id, 0) : knownJob;
    }
    judged.wholeDocument = document && reply.wholeBody;
    judged.silent = connection.Silent();
    judged.error = connection.Error();
    return JudgeJob(judged, connection.Host());
}

bool ResourceOf(const std::string& uri, char (&resource)[1024])
{
    char scheme[32], user[256], host[256];
    int port = 0;
    return httpSeparateURI(HTTP_URI_CODING_ALL, uri.c_str(), scheme, sizeof scheme, user, sizeof user, host,
                           sizeof host, &port, resource, sizeof resource) >= HTTP_URI_STATUS_OK;
}

ipp_t* NewRequest(ipp_op_t operation, const std::string& printerUri)
{
    ipp_t* request = ippNewRequest(operation);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return request;
}

// The job's document, open once for the whole call.
struct Document {
    std::FILE* file = nullptr;
    long size = 0;
};

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
    TPrintJobResult PrintToFoundPrinter(TIppConnection& connection, cups_dest_t* dest, const TPrintJob& job,
                                        const Document& document, int optionCount, cups_option_t* options) const;

    const std::string server_;
    const int silenceMs_;
    std::mutex mutex_;
    int count_ = 0;
    cups_dest_t* dests_ = nullptr;
};

TPrinterList CupsSpooler::ListPrinters()
{
    TPrinterList list;
    TIppConnection connection(Resolve(server_), silenceMs_);
    if (!connection.Connected()) {
        list.error = Unreachable(connection);
        return list;
    }
    // The library's list asks up to two questions and, after giving up on the first, asks the
    // second on a connection of its own: a question of the spooler's own first finds a silent
    // server, which is then asked nothing more.
    ipp_t* probe = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    ippAddString(probe, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-name");
    ippAddInteger(probe, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "limit", 1);
    ippAddString(probe, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    const TIppConnection::Reply answer = connection.Exchange(probe, "/");
    ippDelete(probe);
    // A server without printers answers "not found": an empty list, not a failure.
    if (!Succeeded(answer, IPP_STATUS_ERROR_NOT_FOUND)) {
        list.error = Judge(connection, answer).error;
        return list;
    }
    // The library lists the server's printers with the instances of the user's and the system's
    // lpoptions, and marks the user's default (LPDEST, PRINTER, lpoptions, then the server's); for
    // a server on this machine it adds the printers found on the network.
    cups_dest_t* dests = nullptr;
    http_t* http = connection.Lend();
    const int count = http ? cupsGetDests2(http, &dests) : 0;
    const ipp_status_t status = cupsLastError();
    if (count == 0 && (!http || connection.Silent() ||
                       (status > IPP_STATUS_OK_EVENTS_COMPLETE && status != IPP_STATUS_ERROR_NOT_FOUND))) {
        // The server's refusal in its own words; a connection that failed is said here.
        const char* reason = cupsLastErrorString();
        const TJobReply failed{.silent = connection.Silent(), .error = http ? httpError(http) : connection.Error()};
        list.error = connection.Silent() || status == IPP_STATUS_ERROR_INTERNAL || !reason || !*reason
                         ? JudgeJob(failed, connection.Host()).error
                         : reason;
        cupsFreeDests(count, dests);
        return list;
    }
    for (int i = 0; i < count; ++i) {
        list.names.push_back(FullName(dests[i]));
        if (dests[i].is_default)
            list.defaultName = list.names.back();
    }
    // The list marks an instance as the user's default only when lpoptions names it; asked for the
    // default alone, the library also takes the instance LPDEST or PRINTER names.
    if (list.defaultName.empty() && !list.names.empty() && !connection.Silent()) {
        if (cups_dest_t* chosen = cupsGetNamedDest(http, nullptr, nullptr)) {
            const std::string name = FullName(*chosen);
            if (std::find(list.names.begin(), list.names.end(), name) != list.names.end())
                list.defaultName = name;
            cupsFreeDests(1, chosen);
        }
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

// A queue of the server: one Print-Job request carries the job and its document.
TPrintJobResult PrintToQueue(TIppConnection& connection, const std::string& uri, const TPrintJob& job,
                             const Document& document, int optionCount, cups_option_t* options)
{
    char resource[1024];
    if (!ResourceOf(uri, resource))
        return {0, false, "the printer's address " + uri + " is not valid"};
    ipp_t* request = NewRequest(IPP_OP_PRINT_JOB, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, job.title.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, CUPS_FORMAT_PDF);
    cupsEncodeOptions2(request, optionCount, options, IPP_TAG_OPERATION);
    cupsEncodeOptions2(request, optionCount, options, IPP_TAG_JOB);
    const TIppConnection::Reply reply = connection.Exchange(request, resource, document.file, document.size);
    ippDelete(request);
    return Judge(connection, reply, 0, true);
}

// A printer the desktop found on the network but the server has not set up yet: the server makes
// its queue, a job is created in that queue and the document follows the job. A job whose
// document did not go out whole, or was refused, is cancelled, so that it neither holds the queue
// until the server's own time-out nor prints half a page later; one whose whole document went out
// may print and is left alone.
TPrintJobResult CupsSpooler::PrintToFoundPrinter(TIppConnection& connection, cups_dest_t* dest, const TPrintJob& job,
                                                 const Document& document, int optionCount,
                                                 cups_option_t* options) const
{
    // Found by its name on the network: its address is looked up first, for at most a silence.
    if (const char* device = cupsGetOption("device-uri", dest->num_options, dest->options);
        device && std::strstr(device, "._tcp")) {
        char resource[1024];
        if (http_t* unconnected = cupsConnectDest(dest, CUPS_DEST_FLAGS_DEVICE | CUPS_DEST_FLAGS_UNCONNECTED,
                                                  silenceMs_, nullptr, resource, sizeof resource, nullptr, nullptr))
            httpClose(unconnected);
    }
    const char* device = cupsGetOption("device-uri", dest->num_options, dest->options);
    if (!device || std::strstr(device, "._tcp"))
        return {0, false, "the printer " + FullName(*dest) + " cannot be found on the network"};
    ipp_t* make = NewRequest(IPP_OP_CUPS_CREATE_LOCAL_PRINTER, "ipp://localhost/");
    ippAddString(make, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, device);
    ippAddString(make, IPP_TAG_PRINTER, IPP_TAG_NAME, "printer-name", nullptr, dest->name);
    if (const char* info = cupsGetOption("printer-info", dest->num_options, dest->options))
        ippAddString(make, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-info", nullptr, info);
    TIppConnection::Reply made = connection.Exchange(make, "/");
    ippDelete(make);
    const std::string uri = Succeeded(made) ? Text(made.ipp.get(), "printer-uri-supported") : std::string();
    if (uri.empty())
        return Succeeded(made) ? TPrintJobResult{0, false, "the print server " + connection.Host() +
                                                               " set up no queue for " + FullName(*dest)}
                               : Judge(connection, made);
    char resource[1024];
    if (!ResourceOf(uri, resource))
        return {0, false, "the printer's address " + uri + " is not valid"};
    // The new queue stays stopped while the server asks the printer what it can do; the job is
    // created once it is ready, or once it has been waited for as long as a silence.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(silenceMs_);
    ipp_attribute_t* state = ippFindAttribute(made.ipp.get(), "printer-state", IPP_TAG_ENUM);
    while (state && ippGetInteger(state, 0) == IPP_PSTATE_STOPPED && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(250, silenceMs_)));
        ipp_t* ask = NewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, uri);
        ippAddString(ask, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-state");
        made = connection.Exchange(ask, resource);
        ippDelete(ask);
        state = Succeeded(made) ? ippFindAttribute(made.ipp.get(), "printer-state", IPP_TAG_ENUM) : nullptr;
    }
    ipp_t* create = NewRequest(IPP_OP_CREATE_JOB, uri);
    ippAddString(create, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, job.title.c_str());
    cupsEncodeOptions2(create, optionCount, options, IPP_TAG_OPERATION);
    cupsEncodeOptions2(create, optionCount, options, IPP_TAG_JOB);
    const TIppConnection::Reply created = connection.Exchange(create, resource);
    ippDelete(create);
    const TPrintJobResult createdJob = Judge(connection, created);
    if (createdJob.jobId <= 0)
        return createdJob;
    ipp_t* send = NewRequest(IPP_OP_SEND_DOCUMENT, uri);
    ippAddInteger(send, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", createdJob.jobId);
    ippAddString(send, IPP_TAG_OPERATION, IPP_TAG_NAME, "document-name", nullptr, job.title.c_str());
    ippAddString(send, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, CUPS_FORMAT_PDF);
    ippAddBoolean(send, IPP_TAG_OPERATION, "last-document", 1);
    const TIppConnection::Reply sent = connection.Exchange(send, resource, document.file, document.size);
    ippDelete(send);
    const TPrintJobResult result = Judge(connection, sent, createdJob.jobId, true);
    if (result.jobId <= 0 && !result.mayPrint) {
        ipp_t* cancel = NewRequest(IPP_OP_CANCEL_JOB, uri);
        ippAddInteger(cancel, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", createdJob.jobId);
        connection.Notify(cancel, resource);
        ippDelete(cancel);
    }
    return result;
}

TPrintJobResult CupsSpooler::Submit(const TPrintJob& job)
{
    // Opened before the server is asked, so that an unreadable document costs no connection.
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(job.file.c_str(), "rb"), &std::fclose);
    const Document document{file.get(), file && std::fseek(file.get(), 0, SEEK_END) == 0 ? std::ftell(file.get()) : -1};
    if (document.size < 0)
        return {0, false, "cannot read " + job.file + ": " + std::strerror(errno)};
    TIppConnection connection(Resolve(server_), silenceMs_);
    if (!connection.Connected())
        return {0, false, Unreachable(connection)};
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
