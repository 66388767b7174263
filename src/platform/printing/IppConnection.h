#pragma once
// One connection to a print server that gives up once the server has been silent for a while: it
// took no byte of what it was sent and sent none. Requests go out on the print library's own
// request calls; its time-out callback judges the silence. While a request goes out the library
// waits a tick at a time and the socket's send queue shrinking counts as movement, never the
// connection's own writes; the answer is read with every wait lasting the whole silence, so an
// answer that pauses for less than that is read whole. The library's fixed wait for "100 Continue"
// (at most 1 s) comes on top of the silence.
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
    // without asking the user, and asked again. A connection the server ended since its last
    // answer is made again first. Once the connection has given up, or broke, it sends nothing
    // more and returns at once.
    Reply Exchange(ipp_t* request, const char* resource, std::FILE* document = nullptr, long size = 0);
    // Hands the request to the server on a connection of its own without waiting for its answer.
    void Notify(ipp_t* request, const char* resource);
    // The connection for one of the library's calls that make requests of their own (the list of
    // printers), made again if the server ended it; null once it has given up or broke. Every wait
    // of the call lasts the silence. Owned by the connection.
    [[nodiscard]] http_t* Lend();

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

    [[nodiscard]] http_t* Open(int waitMs) const;
    bool Ready();
    void Watch(int waitMs);
    bool SendDocument(std::FILE* document, long size, http_status_t& status);
    bool AwaitAnswer();
    bool KeepWaiting();
    [[nodiscard]] bool Answered() const;
    [[nodiscard]] std::size_t Queued() const;
    static int OnWait(http_t* http, void* data);

    TIppServer server_;
    http_t* http_ = nullptr;
    int silenceMs_;
    int tickMs_;
    bool used_ = false;
    Clock::time_point lastMove_ = Clock::now();
    std::size_t seen_ = 0;
    bool gaveUp_ = false;
    int error_ = 0;
};
