#include "platform/printing/IppConnection.h"

#include <linux/sockios.h>
#include <poll.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>

namespace {

// Over a local socket the server's reading frees the connection's queue one write at a time: small
// writes let a server that reads a few kilobytes a second move the queue several times a second.
constexpr std::size_t kPiece = 4096;

// Nobody may be there to type a password: a server that wants one refuses the request.
const char* NoPassword(const char*, http_t*, const char*, const char*, void*) { return nullptr; }

int GiveUp(http_t*, void*) { return 0; }

}  // namespace

TIppConnection::TIppConnection(const TIppServer& server, int silenceMs)
    : server_(server), silenceMs_(std::max(silenceMs, 1)), tickMs_(std::clamp(silenceMs_ / 10, 5, 100))
{
    http_ = Open(silenceMs_);
}

TIppConnection::~TIppConnection()
{
    if (http_)
        httpClose(http_);
}

bool TIppConnection::Local() const { return http_ && httpAddrLocalhost(httpGetAddress(http_)); }

http_t* TIppConnection::Open(int waitMs) const
{
    http_t* http = httpConnect2(server_.host.c_str(), server_.port, nullptr, AF_UNSPEC,
                                http_ && httpIsEncrypted(http_) ? HTTP_ENCRYPTION_REQUIRED : cupsEncryption(), 1,
                                waitMs, nullptr);
    // Credentials the server accepted go with every later connection.
    const char* auth = http && http_ ? httpGetAuthString(http_) : nullptr;
    if (auth && *auth) {
        const std::string text(auth);
        const std::size_t space = text.find(' ');
        httpSetAuthString(http, text.substr(0, space).c_str(),
                          space == std::string::npos ? nullptr : text.c_str() + space + 1);
    }
    return http;
}

// A server may end a kept-open connection after its answer without saying so (an HTTP/1.0 answer,
// its idle time-out): the connection is made again before a request goes out on it.
bool TIppConnection::Ready()
{
    if (!http_ || gaveUp_ || error_)
        return false;
    if (!used_) {
        used_ = true;
        return true;
    }
    const int fd = httpGetFd(http_);
    pollfd socket{fd, POLLIN | POLLRDHUP, 0};
    char byte;
    const bool ended =
        fd < 0 ||
        (httpGetVersion(http_) < HTTP_VERSION_1_1 && strcasecmp(httpGetField(http_, HTTP_FIELD_CONNECTION), "keep-alive")) ||
        (::poll(&socket, 1, 0) > 0 &&
         ((socket.revents & (POLLRDHUP | POLLHUP | POLLERR)) || ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0));
    if (ended && httpReconnect2(http_, silenceMs_, nullptr) != 0) {
        error_ = httpError(http_);
        return false;
    }
    return true;
}

// The library's waits last waitMs each; between them the connection judges the silence.
void TIppConnection::Watch(int waitMs)
{
    httpSetTimeout(http_, waitMs / 1000.0, &TIppConnection::OnWait, this);
    lastMove_ = Clock::now();
    seen_ = Queued();
}

TIppConnection::Reply TIppConnection::Exchange(ipp_t* request, const char* resource, std::FILE* document, long size)
{
    Reply reply;
    cupsSetPasswordCB2(&NoPassword, nullptr);
    const std::size_t length = ippLength(request) + std::size_t(std::max(size, 0L));
    for (int attempt = 0; attempt < 3 && Ready(); ++attempt) {
        Watch(tickMs_);
        const http_status_t sent = cupsSendRequest(http_, request, resource, length);
        http_status_t status = sent;
        const bool whole = sent == HTTP_STATUS_CONTINUE && (!document || SendDocument(document, size, status));
        ipp_t* answer = nullptr;
        // A refusal the library met while sending the request is read already; one that came while
        // the document went out, or after it, is read now, also after a write that failed.
        if ((sent == HTTP_STATUS_CONTINUE || sent == HTTP_STATUS_OK) && status < HTTP_STATUS_MULTIPLE_CHOICES &&
            AwaitAnswer()) {
            Watch(silenceMs_);
            answer = cupsGetResponse(http_, resource);
            status = httpGetStatus(http_);
        }
        reply.ipp.reset(answer);
        reply.wholeBody = whole && httpGetPending(http_) + Queued() == 0;
        // The library found credentials, or the server asked for encryption: the request goes again.
        if (!answer && (status == HTTP_STATUS_UNAUTHORIZED || status == HTTP_STATUS_UPGRADE_REQUIRED)) {
            reply.status = status;
            continue;
        }
        reply.status = status == HTTP_STATUS_CUPS_AUTHORIZATION_CANCELED ? HTTP_STATUS_UNAUTHORIZED
                       : status >= HTTP_STATUS_OK                       ? status
                                                                        : HTTP_STATUS_NONE;
        if (!gaveUp_ && !answer && reply.status == HTTP_STATUS_NONE)
            error_ = httpError(http_);
        break;
    }
    return reply;
}

bool TIppConnection::SendDocument(std::FILE* document, long size, http_status_t& status)
{
    std::rewind(document);
    long sent = 0;
    char piece[kPiece];
    for (std::size_t got; status == HTTP_STATUS_CONTINUE && (got = std::fread(piece, 1, sizeof piece, document)) > 0;
         sent += long(got)) {
        status = cupsWriteRequestData(http_, piece, got);
        if (status == HTTP_STATUS_CONTINUE && httpFlushWrite(http_) < 0)
            status = HTTP_STATUS_ERROR;
        // The connection's own writes grow the queue; only its shrinking is the server's doing.
        seen_ = Queued();
    }
    return status == HTTP_STATUS_CONTINUE && sent == size && !std::ferror(document);
}

// Waits for the first byte of the answer a tick at a time, while the server may still be reading
// the end of the request.
bool TIppConnection::AwaitAnswer()
{
    while (!httpWait(http_, tickMs_))
        if (!KeepWaiting())
            return !gaveUp_;
    lastMove_ = Clock::now();
    return true;
}

// The server moved when it took bytes: the queue shrank since the last look.
bool TIppConnection::KeepWaiting()
{
    if (gaveUp_)
        return false;
    const std::size_t queued = Queued();
    if (queued < seen_)
        lastMove_ = Clock::now();
    seen_ = queued;
    if (Clock::now() - lastMove_ < std::chrono::milliseconds(silenceMs_))
        return true;
    // A server that answers instead of reading on has not fallen silent: its answer is read.
    gaveUp_ = !Answered();
    return false;
}

bool TIppConnection::Answered() const
{
    pollfd socket{httpGetFd(http_), POLLIN, 0};
    return socket.fd >= 0 && ::poll(&socket, 1, 0) > 0 && (socket.revents & POLLIN);
}

// Bytes (a stream socket's queue: unacknowledged over TCP, unread over a local socket) the server
// has not taken yet.
std::size_t TIppConnection::Queued() const
{
    int queued = 0;
    const int fd = http_ ? httpGetFd(http_) : -1;
    return fd >= 0 && ::ioctl(fd, SIOCOUTQ, &queued) == 0 && queued > 0 ? std::size_t(queued) : 0;
}

int TIppConnection::OnWait(http_t* http, void* data)
{
    auto* self = static_cast<TIppConnection*>(data);
    if (self->KeepWaiting())
        return 1;
    // Every later wait of the library ends at once.
    if (self->gaveUp_)
        httpSetTimeout(http, 0.001, &TIppConnection::OnWait, self);
    return 0;
}

http_t* TIppConnection::Lend()
{
    if (!Ready())
        return nullptr;
    Watch(silenceMs_);
    return http_;
}

void TIppConnection::Notify(ipp_t* request, const char* resource)
{
    http_t* http = Open(tickMs_);
    if (!http)
        return;
    httpSetTimeout(http, tickMs_ / 1000.0, &GiveUp, nullptr);
    (void)cupsSendRequest(http, request, resource, ippLength(request));
    httpClose(http);
}
