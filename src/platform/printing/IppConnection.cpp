#include "platform/printing/IppConnection.h"

#include <linux/sockios.h>
#include <poll.h>
#include <strings.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>

namespace {

// Over a local socket the server's reading frees the connection's queue one write at a time: small
// writes let a server that reads a few kilobytes a second move the queue several times a second.
constexpr std::size_t kPiece = 4096;

ssize_t AppendTo(void* text, ipp_uchar_t* data, size_t size)
{
    static_cast<std::string*>(text)->append(reinterpret_cast<const char*>(data), size);
    return ssize_t(size);
}

// Nobody may be there to type a password: a server that wants one refuses the request.
const char* NoPassword(const char*, http_t*, const char*, const char*, void*) { return nullptr; }

int GiveUp(http_t*, void*) { return 0; }

}  // namespace

TIppConnection::TIppConnection(const TIppServer& server, int silenceMs)
    : server_(server),
      encryption_(cupsEncryption()),
      silenceMs_(std::max(silenceMs, 1)),
      tickMs_(std::clamp(silenceMs_ / 10, 5, 100))
{
    addresses_ = httpAddrGetList(server_.host.c_str(), AF_UNSPEC, std::to_string(server_.port).c_str());
    if (addresses_)
        Reconnect();
}

TIppConnection::~TIppConnection()
{
    if (http_)
        httpClose(http_);
    httpAddrFreeList(addresses_);
}

bool TIppConnection::Local() const { return http_ && httpAddrLocalhost(httpGetAddress(http_)); }

http_t* TIppConnection::Open(http_timeout_cb_t onWait, void* data) const
{
    http_t* http = httpConnect2(server_.host.c_str(), server_.port, addresses_, AF_UNSPEC, encryption_, 1, 0, nullptr);
    if (!http)
        return nullptr;
    // The library's waits last a tick each; between them the connection judges the silence.
    httpSetTimeout(http, tickMs_ / 1000.0, onWait, data);
    // Credentials the server accepted go with every later connection.
    const char* auth = http_ ? httpGetAuthString(http_) : nullptr;
    if (auth && *auth) {
        const std::string text(auth);
        const std::size_t space = text.find(' ');
        httpSetAuthString(http, text.substr(0, space).c_str(),
                          space == std::string::npos ? nullptr : text.c_str() + space + 1);
    }
    return http;
}

// A connection of its own for each try: the library's connection would connect again by itself
// after a refusal, waiting half a minute for it.
bool TIppConnection::Reconnect()
{
    http_t* http = Open(&TIppConnection::OnWait, this);
    if (http_)
        httpClose(http_);
    http_ = http;
    if (!http_)
        return false;
    error_ = 0;
    Moved();
    if (httpReconnect2(http_, silenceMs_, nullptr) != 0) {
        error_ = httpError(http_);
        httpClose(http_);
        http_ = nullptr;
        return false;
    }
    Moved();
    Settle();
    return true;
}

TIppConnection::Reply TIppConnection::Exchange(ipp_t* request, const char* resource, std::FILE* document, long size)
{
    if (!http_ || gaveUp_ || error_)
        return {};
    std::string message;
    ippSetState(request, IPP_STATE_IDLE);
    for (ipp_state_t state; (state = ippWriteIO(&message, &AppendTo, 1, nullptr, request)) != IPP_STATE_DATA;) {
        if (state == IPP_STATE_ERROR) {
            error_ = EINVAL;
            return {};
        }
    }
    cupsSetPasswordCB2(&NoPassword, nullptr);
    Reply reply;
    for (int attempt = 0; attempt < 3 && http_ && !gaveUp_; ++attempt) {
        // A connection is used again only after an answer that was read whole and left it open.
        const http_status_t last = httpGetStatus(http_);
        if ((httpGetState(http_) != HTTP_STATE_WAITING || (last != HTTP_STATUS_CONTINUE && last != HTTP_STATUS_OK) ||
             !strcasecmp(httpGetField(http_, HTTP_FIELD_CONNECTION), "close")) &&
            !Reconnect())
            break;
        reply = Send(message, resource, document, size);
        if (reply.status == HTTP_STATUS_UNAUTHORIZED && cupsDoAuthentication(http_, "POST", resource) == 0)
            continue;
        if (reply.status == HTTP_STATUS_UPGRADE_REQUIRED && encryption_ != HTTP_ENCRYPTION_REQUIRED) {
            encryption_ = HTTP_ENCRYPTION_REQUIRED;
            continue;
        }
        break;
    }
    return reply;
}

TIppConnection::Reply TIppConnection::Send(const std::string& message, const char* resource, std::FILE* document,
                                           long size)
{
    Reply reply;
    httpClearFields(http_);
    httpSetField(http_, HTTP_FIELD_CONTENT_TYPE, "application/ipp");
    if (const char* auth = httpGetAuthString(http_); auth && *auth)
        httpSetField(http_, HTTP_FIELD_AUTHORIZATION, auth);
    httpSetLength(http_, message.size() + std::size_t(std::max(size, 0L)));
    if (!Await(POLLOUT))
        return reply;
    if (httpPost(http_, resource) != 0) {
        Broke();
        return reply;
    }
    Settle();
    bool whole = SendBytes(message.data(), message.size());
    if (whole && document) {
        std::rewind(document);
        long sent = 0;
        char piece[kPiece];
        for (std::size_t got; whole && (got = std::fread(piece, 1, sizeof piece, document)) > 0; sent += long(got))
            whole = SendBytes(piece, got);
        whole = whole && sent == size && !std::ferror(document);
    }
    // The answer, which a server that refuses may give before the whole request went out.
    http_status_t status = HTTP_STATUS_CONTINUE;
    while (status == HTTP_STATUS_CONTINUE && httpGetState(http_) != HTTP_STATE_WAITING && Await(POLLIN)) {
        status = httpUpdate(http_);
        Moved();
        Settle();
    }
    if (status == HTTP_STATUS_OK) {
        ipp_t* answer = ippNew();
        ipp_state_t state;
        while ((state = ippRead(http_, answer)) != IPP_STATE_DATA && state != IPP_STATE_ERROR) {
        }
        if (state == IPP_STATE_DATA)
            reply.ipp.reset(answer);
        else
            ippDelete(answer);
    }
    // An answer makes a write that failed after it (the server closing) no failure of the connection.
    if (status != HTTP_STATUS_CONTINUE && status != HTTP_STATUS_ERROR) {
        reply.status = status;
        error_ = 0;
    }
    if (!gaveUp_ && (reply.status == HTTP_STATUS_NONE || (reply.status == HTTP_STATUS_OK && !reply.ipp)))
        Broke();
    reply.wholeBody = whole && Unsent() == 0;
    return reply;
}

bool TIppConnection::SendBytes(const char* data, std::size_t size)
{
    for (std::size_t done = 0; done < size;) {
        if (!Await(POLLOUT))
            return false;
        const std::size_t piece = std::min(kPiece, size - done);
        if (httpWrite2(http_, data + done, piece) < 0 || httpFlushWrite(http_) < 0) {
            Broke();
            return false;
        }
        done += piece;
        Settle();
    }
    return true;
}

// Waits until the server made room (POLLOUT) or sent something (POLLIN), judging the silence at
// every tick.
bool TIppConnection::Await(short events)
{
    for (bool waited = false;; waited = true) {
        if (gaveUp_ || !http_)
            return false;
        int ready;
        if (events == POLLIN) {
            ready = httpWait(http_, tickMs_);
        } else {
            pollfd socket{httpGetFd(http_), events, 0};
            ready = ::poll(&socket, 1, tickMs_);
            if (ready < 0 && errno != EINTR) {
                error_ = errno;
                return false;
            }
        }
        if (ready > 0) {
            // Room the connection had all along is no sign of the server.
            if (waited || events == POLLIN)
                Moved();
            return true;
        }
        // A server that answers and takes no more of the request has refused it: the answer is read.
        if (events == POLLOUT && httpWait(http_, 0))
            return false;
        if (!KeepWaiting())
            return false;
    }
}

TIppConnection::Look TIppConnection::LookNow() const
{
    if (!http_)
        return {};
    return {Queued(), httpGetStatus(http_), httpGetRemaining(http_)};
}

// Bytes (a stream socket's queue: unacknowledged over TCP, unread over a local socket) the server
// has not taken yet.
std::size_t TIppConnection::Queued() const
{
    int queued = 0;
    const int fd = http_ ? httpGetFd(http_) : -1;
    return fd >= 0 && ::ioctl(fd, SIOCOUTQ, &queued) == 0 && queued > 0 ? std::size_t(queued) : 0;
}

// The server moved when it took bytes (the queue shrank) or sent some: a head that came, or a body
// the library read on. The connection's own writes only grow the queue.
bool TIppConnection::KeepWaiting()
{
    if (gaveUp_ || !http_)
        return false;
    const Look now = LookNow();
    if (now.queued < seen_.queued || now.status != seen_.status || now.remaining != seen_.remaining)
        Moved();
    seen_ = now;
    if (Clock::now() - lastMove_ < std::chrono::milliseconds(silenceMs_))
        return true;
    gaveUp_ = true;
    return false;
}

int TIppConnection::OnWait(http_t*, void* data) { return static_cast<TIppConnection*>(data)->KeepWaiting() ? 1 : 0; }

void TIppConnection::Broke()
{
    if (!error_ && http_)
        error_ = httpError(http_);
}

void TIppConnection::Notify(ipp_t* request, const char* resource)
{
    if (!addresses_)
        return;
    http_t* http = Open(&GiveUp, nullptr);
    if (!http)
        return;
    if (httpReconnect2(http, tickMs_, nullptr) == 0) {
        httpClearFields(http);
        httpSetField(http, HTTP_FIELD_CONTENT_TYPE, "application/ipp");
        if (const char* auth = httpGetAuthString(http); auth && *auth)
            httpSetField(http, HTTP_FIELD_AUTHORIZATION, auth);
        httpSetLength(http, ippLength(request));
        ippSetState(request, IPP_STATE_IDLE);
        if (httpPost(http, resource) == 0) {
            ipp_state_t state;
            while ((state = ippWrite(http, request)) != IPP_STATE_DATA && state != IPP_STATE_ERROR) {
            }
            httpFlushWrite(http);
        }
    }
    httpClose(http);
}
