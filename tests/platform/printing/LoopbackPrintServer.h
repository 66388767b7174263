#pragma once
// A print server on a private socket that speaks just enough HTTP and IPP for the spooler: it
// lists printers, sets up a found printer, takes, refuses or cancels jobs, and reads and answers a
// document at the pace its test sets: slowly, stopping, hanging up, refusing after the document or
// never answering; or it takes connections and reads nothing. Its answers may pause, come in small
// pieces, break off, or end the connection after them.
//
// Thread: every connection is served on a thread of its own (the library may open a second one
// while the first is idle); the test thread reads what arrived at any time. Destruction ends
// every wait of the server and joins its threads.
#include "TestFolder.h"

#include <cups/ipp.h>

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LoopbackPrintServer {
public:
    struct Behaviour {
        std::vector<std::string> printers{};  // none: the list is answered "not found"
        std::string defaultPrinter{};       // none: the default is answered "not found"
        // Printers found on the network: listed with their device's address, without a queue's.
        bool found = false;
        ipp_status_t jobStatus = IPP_STATUS_OK;  // the answer to a job with its document
        std::string jobMessage{};                // its status-message; none when empty
        int httpStatus = 200;                    // else that HTTP refusal instead, after the document
        int jobId = 7;                           // 0: the answer carries no job id
        std::size_t readLimit = ~std::size_t(0); // document bytes read before stopping
        bool hangUpAtLimit = false;              // at readLimit: close the connection instead
        std::size_t bytesPerSecond = 0;          // 0: reads as fast as the data comes
        int answerDelayMs = 0;                   // after the whole document
        bool answers = true;                     // false: silent after the whole document
        // Of a job's answer (head and body) only this share is sent; then the server falls
        // silent, or hangs up with hangUpAtCut.
        int answerPercent = 100;
        bool hangUpAtCut = false;
        // Every answer goes out in pieces (answerPiece bytes each; 0: two halves), answerPauseMs
        // apart.
        std::size_t answerPiece = 0;
        int answerPauseMs = 0;
        // The answer to this operation is in HTTP/1.0, which keeps no connection open: the server
        // ends the connection once the next request arrives on it, reading none of it.
        std::string closesAfter{};
        // Requests read and answered in all; then it reads nothing more, on any connection.
        std::size_t requestsServed = ~std::size_t(0);
    };

    explicit LoopbackPrintServer(Behaviour behaviour);
    ~LoopbackPrintServer();
    LoopbackPrintServer(const LoopbackPrintServer&) = delete;
    LoopbackPrintServer& operator=(const LoopbackPrintServer&) = delete;

    // The socket's path (the spooler's server name); empty when the server could not start.
    [[nodiscard]] const std::string& Socket() const { return socket_; }
    // The operations received in order, by name; a cancel as "Cancel-Job <id>".
    [[nodiscard]] std::vector<std::string> Operations();
    // Document bytes read in all.
    [[nodiscard]] std::size_t DocumentBytes();
    // Connections made to the server so far, including those it has not taken up yet.
    [[nodiscard]] std::size_t Connections();
    // Waits until the operation has arrived; false when it did not within a bound no loaded machine
    // reaches, so that a test fails instead of hanging.
    bool Await(const std::string& operation);

private:
    class Client;
    void Accept();
    // Takes up every connection waiting in the listener's queue; the mutex is held.
    void AcceptWaiting();
    void Serve(int fd);
    // Counts a request the server reads; false once it has read all it will.
    bool TakeRequest();
    // Waits up to ms (forever when negative) or until the server stops; false once it stops.
    bool Pause(int ms);
    [[nodiscard]] bool Stopping();
    void Record(const std::string& operation);
    ipp_t* Answer(ipp_t* request, Client& client, int& httpStatus);
    bool ReadDocument(Client& client);
    // Writes the answer as the behaviour says; false when the connection ends after it.
    bool SendAnswer(Client& client, const std::string& answer, bool job);

    const Behaviour behaviour_;
    // Socket paths are short: the folder's name is too.
    TestFolder folder_{"korvane-ipp-"};
    std::string socket_;
    int listener_ = -1;
    std::mutex mutex_;
    std::condition_variable stopped_;
    std::condition_variable recorded_;
    bool stopping_ = false;
    std::vector<int> clients_;
    std::vector<std::thread> threads_;
    std::vector<std::string> operations_;
    std::size_t documentBytes_ = 0;
    std::size_t connections_ = 0;
    std::size_t requests_ = 0;
    std::thread acceptor_;
};
