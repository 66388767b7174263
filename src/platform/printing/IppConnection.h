#pragma once
// One connection to a print server that gives up once the server has been silent for a while: it
// took no byte of what it was sent and sent none. Every wait on it looks at the socket each tenth
// of the silence (100 ms at most), so that it ends that soon after the silence, and only bytes the
// server takes or sends count as movement, never the connection's own writes. A request goes out
// in pieces of 4 KiB, so that even a server that reads a few kilobytes a second is seen to move.
//
// Thread: one thread at a time. Failure: nothing throws; Silent() and Error() say why a request
// got no answer.
#include <cups/cups.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

struct TIppServer {
    std::string host;  // a name, an address or a socket path
    int port = 0;
};

class TIppConnection {
public:
    // Connects, waiting at most the silence.
    TIppConnection(const TIppServer& server, int silenceMs);
    ~TIppConnection();
    TIppConnection(const TIppConnection&) = delete;
    TIppConnection& operator=(const TIppConnection&) = delete;

    struct Reply {
        http_status_t status = HTTP_STATUS_NONE;  // of the answer's head; NONE when none came
        std::unique_ptr<ipp_t, void (*)(ipp_t*)> ipp{nullptr, &ippDelete};  // the whole IPP answer
        bool wholeBody = false;  // the request and its document went out whole and left the socket
    };
    // Sends the request to the resource, the document (from its start, size bytes) after it, and
    // reads the answer. A server that asks who is asking is answered where the library knows
    // without asking the user, and asked again. Once the connection has given up, or broke, it
    // sends nothing more and returns at once.
    Reply Exchange(ipp_t* request, const char* resource, std::FILE* document = nullptr, long size = 0);
    // Hands the request to the server on a connection of its own without waiting for anything:
    // what the socket does not take at once is dropped, and no answer is read.
    void Notify(ipp_t* request, const char* resource);

    [[nodiscard]] bool Connected() const { return http_ != nullptr; }
    [[nodiscard]] const std::string& Host() const { return server_.host; }
    // The server is on this machine.
    [[nodiscard]] bool Local() const;
    // The connection gave up on a silent server.
    [[nodiscard]] bool Silent() const { return gaveUp_; }
    // errno of a connection that broke; 0 when it did not, or the reason is unknown.
    [[nodiscard]] int Error() const { return error_; }

private:
    using Clock = std::chrono::steady_clock;
    struct Look {
        std::size_t queued = 0;
        http_status_t status = HTTP_STATUS_NONE;
        std::size_t remaining = 0;
    };

    [[nodiscard]] http_t* Open(http_timeout_cb_t onWait, void* data) const;
    bool Reconnect();
    Reply Send(const std::string& message, const char* resource, std::FILE* document, long size);
    bool SendBytes(const char* data, std::size_t size);
    bool Await(short events);
    bool KeepWaiting();
    void Moved() { lastMove_ = Clock::now(); }
    [[nodiscard]] Look LookNow() const;
    // Takes the socket's state after the connection's own act as the one to compare with.
    void Settle() { seen_ = LookNow(); }
    [[nodiscard]] std::size_t Queued() const;
    [[nodiscard]] std::size_t Unsent() const { return httpGetPending(http_) + Queued(); }
    void Broke();
    static int OnWait(http_t* http, void* data);

    TIppServer server_;
    http_addrlist_t* addresses_ = nullptr;
    http_encryption_t encryption_;
    http_t* http_ = nullptr;
    int silenceMs_;
    int tickMs_;
    Clock::time_point lastMove_;
    Look seen_;
    bool gaveUp_ = false;
    int error_ = 0;
};
