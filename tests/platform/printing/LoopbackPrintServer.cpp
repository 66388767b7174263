#include "LoopbackPrintServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

ssize_t WriteTo(void* text, ipp_uchar_t* data, size_t size)
{
    static_cast<std::string*>(text)->append(reinterpret_cast<const char*>(data), size);
    return ssize_t(size);
}

void AddPrinter(ipp_t* response, const std::string& name, bool found)
{
    const std::string uri = "ipp://localhost/printers/" + name;
    ippAddString(response, IPP_TAG_PRINTER, IPP_TAG_NAME, "printer-name", nullptr, name.c_str());
    ippAddString(response, IPP_TAG_PRINTER, IPP_TAG_URI, found ? "device-uri" : "printer-uri-supported", nullptr,
                 uri.c_str());
    ippAddInteger(response, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
    ippAddBoolean(response, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
}

}  // namespace

// One connection: request heads, and bodies of either length, read through one buffer.
class LoopbackPrintServer::Client {
public:
    explicit Client(int fd) : fd_(fd) {}

    // Waits, reading nothing, until a request or the connection's end arrives.
    bool AwaitRequest()
    {
        pollfd readable{fd_, POLLIN, 0};
        return !buffer_.empty() || ::poll(&readable, 1, -1) > 0;
    }

    // The next request's head; false at the connection's end.
    bool ReadHead()
    {
        std::string line;
        do {
            if (!Line(line))
                return false;
        } while (line.empty());
        chunked_ = expectsContinue_ = ended_ = inChunk_ = false;
        remaining_ = 0;
        while (Line(line) && !line.empty()) {
            std::string name = line.substr(0, line.find(':'));
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
            const std::string value = line.substr(std::min(line.size(), name.size() + 2));
            if (name == "content-length")
                remaining_ = std::strtoull(value.c_str(), nullptr, 10);
            else if (name == "transfer-encoding")
                chunked_ = value.find("chunked") != std::string::npos;
            else if (name == "expect")
                expectsContinue_ = true;
        }
        return true;
    }
    [[nodiscard]] bool ExpectsContinue() const { return expectsContinue_; }

    // Up to size bytes of the body; 0 at its end.
    std::size_t ReadBody(unsigned char* data, std::size_t size)
    {
        if (remaining_ == 0) {
            if (!chunked_ || ended_)
                return 0;
            std::string line;
            if (inChunk_ && !Line(line))
                return 0;
            if (!Line(line))
                return 0;
            remaining_ = std::strtoull(line.c_str(), nullptr, 16);
            inChunk_ = remaining_ > 0;
            if (!inChunk_) {
                while (Line(line) && !line.empty()) {
                }
                ended_ = true;
                return 0;
            }
        }
        const std::size_t got = Raw(data, std::min(size, remaining_));
        remaining_ -= got;
        if (got == 0)
            remaining_ = 0, ended_ = true;
        return got;
    }

    bool Write(const std::string& bytes)
    {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += std::size_t(n);
        }
        return true;
    }

    static ssize_t ReadIpp(void* client, ipp_uchar_t* data, size_t size)
    {
        return ssize_t(static_cast<Client*>(client)->ReadBody(data, size));
    }

private:
    std::size_t Raw(unsigned char* data, std::size_t size)
    {
        if (buffer_.empty()) {
            const ssize_t n = ::recv(fd_, data, size, 0);
            return n > 0 ? std::size_t(n) : 0;
        }
        const std::size_t n = std::min(size, buffer_.size());
        std::memcpy(data, buffer_.data(), n);
        buffer_.erase(0, n);
        return n;
    }

    bool Line(std::string& line)
    {
        std::size_t end;
        while ((end = buffer_.find('\n')) == std::string::npos) {
            char chunk[4096];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0)
                return false;
            buffer_.append(chunk, std::size_t(n));
        }
        line = buffer_.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        buffer_.erase(0, end + 1);
        return true;
    }

    int fd_;
    std::string buffer_;
    bool chunked_ = false, expectsContinue_ = false, ended_ = false, inChunk_ = false;
    std::size_t remaining_ = 0;
};

LoopbackPrintServer::LoopbackPrintServer(Behaviour behaviour) : behaviour_(std::move(behaviour))
{
    const std::string path = folder_.File("ipp.sock");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    // Not blocking: the test thread may take up waiting connections too.
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 8) != 0)
        return;
    socket_ = path;
    acceptor_ = std::thread([this] { Accept(); });
}

LoopbackPrintServer::~LoopbackPrintServer()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        for (int fd : clients_)
            ::shutdown(fd, SHUT_RDWR);
    }
    stopped_.notify_all();
    if (acceptor_.joinable())
        acceptor_.join();
    for (std::thread& thread : threads_)
        thread.join();
    if (listener_ >= 0)
        ::close(listener_);
}

std::vector<std::string> LoopbackPrintServer::Operations()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return operations_;
}

std::size_t LoopbackPrintServer::DocumentBytes()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return documentBytes_;
}

std::size_t LoopbackPrintServer::Connections()
{
    // A connection the client has made is in the listener's queue, if not taken up yet.
    const std::lock_guard<std::mutex> lock(mutex_);
    AcceptWaiting();
    return connections_;
}

bool LoopbackPrintServer::Await(const std::string& operation)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return recorded_.wait_for(lock, std::chrono::seconds(30), [&] {
        return std::find(operations_.begin(), operations_.end(), operation) != operations_.end();
    });
}

bool LoopbackPrintServer::Stopping()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return stopping_;
}

bool LoopbackPrintServer::Pause(int ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (ms < 0)
        stopped_.wait(lock, [this] { return stopping_; });
    else
        stopped_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
    return !stopping_;
}

void LoopbackPrintServer::Record(const std::string& operation)
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        operations_.push_back(operation);
    }
    recorded_.notify_all();
}

bool LoopbackPrintServer::TakeRequest()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (requests_ >= behaviour_.requestsServed)
        return false;
    ++requests_;
    return true;
}

void LoopbackPrintServer::Accept()
{
    while (!Stopping()) {
        pollfd listening{listener_, POLLIN, 0};
        if (::poll(&listening, 1, 20) <= 0)
            continue;
        const std::lock_guard<std::mutex> lock(mutex_);
        AcceptWaiting();
    }
}

void LoopbackPrintServer::AcceptWaiting()
{
    for (int fd; !stopping_ && (fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
        ++connections_;
        clients_.push_back(fd);
        threads_.emplace_back([this, fd] { Serve(fd); });
    }
}

void LoopbackPrintServer::Serve(int fd)
{
    Client client(fd);
    while (client.AwaitRequest()) {
        // Past its last request the server reads nothing more; the connection stays open.
        if (!TakeRequest()) {
            Pause(-1);
            break;
        }
        if (!client.ReadHead())
            break;
        if (client.ExpectsContinue() && !client.Write("HTTP/1.1 100 Continue\r\n\r\n"))
            break;
        ipp_t* request = ippNew();
        ipp_state_t state;
        while ((state = ippReadIO(&client, &Client::ReadIpp, 1, nullptr, request)) != IPP_STATE_DATA &&
               state != IPP_STATE_ERROR) {
        }
        int code = 200;
        const ipp_op_t op = state == IPP_STATE_DATA ? ippGetOperation(request) : IPP_OP_CUPS_INVALID;
        ipp_t* response = state == IPP_STATE_DATA ? Answer(request, client, code) : nullptr;
        ippDelete(request);
        std::string body;
        if (response) {
            while (ippWriteIO(&body, &WriteTo, 1, nullptr, response) != IPP_STATE_DATA) {
            }
            ippDelete(response);
        }
        const bool closes = op != IPP_OP_CUPS_INVALID && behaviour_.closesAfter == ippOpString(op);
        // A refusal asks for a password the way servers do; the client has nobody to ask.
        const std::string head =
            std::string(closes ? "HTTP/1.0 " : "HTTP/1.1 ") +
            (code == 200 ? "200 OK\r\nContent-Type: application/ipp\r\nContent-Length: " + std::to_string(body.size())
                         : std::to_string(code) + " " + httpStatus(http_status_t(code)) +
                               (code == 401 ? "\r\nWWW-Authenticate: Basic realm=\"loopback\"" : "") +
                               "\r\nContent-Length: 0");
        if (!response ||
            !SendAnswer(client, head + "\r\n\r\n" + (code == 200 ? body : std::string()),
                        op == IPP_OP_PRINT_JOB || op == IPP_OP_SEND_DOCUMENT))
            break;
        if (closes) {
            client.AwaitRequest();
            break;
        }
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    clients_.erase(std::find(clients_.begin(), clients_.end(), fd));
    ::close(fd);
}

bool LoopbackPrintServer::SendAnswer(Client& client, const std::string& answer, bool job)
{
    const std::size_t size = job ? answer.size() * std::size_t(behaviour_.answerPercent) / 100 : answer.size();
    const std::size_t piece = std::max<std::size_t>(
        behaviour_.answerPiece ? behaviour_.answerPiece
                               : behaviour_.answerPauseMs ? (answer.size() + 1) / 2 : answer.size(),
        1);
    for (std::size_t sent = 0; sent < size; sent += piece) {
        if (sent > 0 && !Pause(behaviour_.answerPauseMs))
            return false;
        if (!client.Write(answer.substr(sent, std::min(piece, size - sent))))
            return false;
    }
    if (size == answer.size())
        return true;
    if (!behaviour_.hangUpAtCut)
        Pause(-1);
    return false;
}

// Reads the document that follows a job's request at the behaviour's pace; false when reading
// stops before its end.
bool LoopbackPrintServer::ReadDocument(Client& client)
{
    const auto start = Clock::now();
    const std::size_t slice =
        behaviour_.bytesPerSecond ? std::max<std::size_t>(behaviour_.bytesPerSecond / 50, 1) : 65536;
    std::vector<unsigned char> buffer(slice);
    for (std::size_t read = 0;;) {
        if (read >= behaviour_.readLimit)
            return false;
        const std::size_t got = client.ReadBody(buffer.data(), std::min(slice, behaviour_.readLimit - read));
        if (got == 0)
            return true;
        read += got;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            documentBytes_ += got;
        }
        const auto due = start + std::chrono::microseconds(behaviour_.bytesPerSecond
                                                               ? read * 1000000 / behaviour_.bytesPerSecond
                                                               : 0);
        if (!Pause(int(std::max<long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count()))))
            return false;
    }
}

ipp_t* LoopbackPrintServer::Answer(ipp_t* request, Client& client, int& httpStatus)
{
    const ipp_op_t op = ippGetOperation(request);
    ipp_attribute_t* jobId = ippFindAttribute(request, "job-id", IPP_TAG_INTEGER);
    Record(std::string(ippOpString(op)) + (op == IPP_OP_CANCEL_JOB && jobId
                                               ? " " + std::to_string(ippGetInteger(jobId, 0))
                                               : std::string()));
    const bool withDocument = op == IPP_OP_PRINT_JOB || op == IPP_OP_SEND_DOCUMENT;
    if (withDocument) {
        if (!ReadDocument(client)) {
            if (!behaviour_.hangUpAtLimit)
                Pause(-1);
            return nullptr;
        }
        if (!Pause(behaviour_.answerDelayMs) || !behaviour_.answers) {
            Pause(-1);
            return nullptr;
        }
    } else {
        unsigned char rest[4096];
        while (client.ReadBody(rest, sizeof rest) > 0) {
        }
    }
    ipp_t* response = ippNewResponse(request);
    const auto status = [&](ipp_status_t code, const std::string& message) {
        ippSetStatusCode(response, code);
        if (!message.empty())
            ippAddString(response, IPP_TAG_OPERATION, IPP_TAG_TEXT, "status-message", nullptr, message.c_str());
    };
    switch (op) {
    case IPP_OP_PRINT_JOB:
    case IPP_OP_SEND_DOCUMENT:
        httpStatus = behaviour_.httpStatus;
        status(behaviour_.jobStatus, behaviour_.jobMessage);
        if (behaviour_.jobId > 0)
            ippAddInteger(response, IPP_TAG_JOB, IPP_TAG_INTEGER, "job-id", behaviour_.jobId);
        break;
    case IPP_OP_CREATE_JOB:
        ippAddInteger(response, IPP_TAG_JOB, IPP_TAG_INTEGER, "job-id", behaviour_.jobId);
        break;
    case IPP_OP_CUPS_GET_PRINTERS:
        if (behaviour_.printers.empty())
            status(IPP_STATUS_ERROR_NOT_FOUND, "No destinations added.");
        for (const std::string& name : behaviour_.printers) {
            AddPrinter(response, name, behaviour_.found);
            ippAddSeparator(response);
        }
        break;
    case IPP_OP_CUPS_GET_DEFAULT:
        if (behaviour_.defaultPrinter.empty())
            status(IPP_STATUS_ERROR_NOT_FOUND, "No default destination.");
        else
            AddPrinter(response, behaviour_.defaultPrinter, behaviour_.found);
        break;
    case IPP_OP_GET_PRINTER_ATTRIBUTES:
    case IPP_OP_CUPS_CREATE_LOCAL_PRINTER: {
        ipp_attribute_t* name = ippFindAttribute(request, "printer-name", IPP_TAG_NAME);
        AddPrinter(response, name ? ippGetString(name, 0, nullptr) : "Found", false);
        break;
    }
    case IPP_OP_CANCEL_JOB: break;
    default: status(IPP_STATUS_ERROR_OPERATION_NOT_SUPPORTED, {});
    }
    return response;
}
