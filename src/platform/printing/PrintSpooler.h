#pragma once
// The system's print server: the printers it offers, and documents handed to one of them as print
// jobs. A document is a PDF file; the server's answer says whether it took the job, so a refused or
// lost job is never taken for a printed one.
//
// Thread: any thread; calls may run at the same time (each makes its own connection). Every call
// gives up after a silence of the server, and says why in its result. Failure: nothing here
// throws; results carry the reason as text.
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct TPrinterList {
    // The printers in the server's order; an instance of a printer reads "printer/instance".
    std::vector<std::string> names;
    // The user's default printer; empty when there is none.
    std::string defaultName;
    // Why the server gave no list ("the print server ... does not answer", ...); empty when it
    // answered, with or without printers.
    std::string error;
};

struct TPrintJob {
    std::string printer;  // a name of the list
    std::string file;     // the PDF document, read while the job is handed over
    std::string title;    // the job's name in the printer's queue
    // Job attributes by name ("media", "copies", "sides", the printer's own options...).
    std::vector<std::pair<std::string, std::string>> options;
};

struct TPrintJobResult {
    int jobId = 0;  // above 0 once the server has taken the job with its document
    // No job id, yet the server may have queued the job: the whole document went out and no answer
    // came, or the answer said "taken" without an id. Printing again may print twice.
    bool mayPrint = false;
    // Why there is no job id, a refusal in the server's own words; empty only when jobId > 0.
    std::string error;
};

class TPrintSpooler {
public:
    virtual ~TPrintSpooler() = default;
    [[nodiscard]] virtual TPrinterList ListPrinters() = 0;
    [[nodiscard]] virtual TPrintJobResult Submit(const TPrintJob& job) = 0;
};

// The print server of the user's settings, which every program of the desktop prints through.
[[nodiscard]] std::shared_ptr<TPrintSpooler> SystemPrintSpooler();
// A spooler on the given server: a socket path or "host[:port]"; empty for the user's own. A call
// gives up once no byte has moved either way for silenceMs (the server took none of what it was
// sent and sent none) and then returns within a fraction of a second, asking the server nothing
// more; the library's wait for "100 Continue" may add up to 1 s, and a server silent in the middle
// of an answer is given up after up to three silences (the library reads an answer waiting the
// whole silence for each read). A server that keeps reading or answering, however slowly, is not
// cut short; over a local socket its reading shows in steps of 4 KiB, so one that reads less than
// that in a silence is taken for silent. Nobody is asked for a password: a server that wants one
// refuses the call.
[[nodiscard]] std::shared_ptr<TPrintSpooler> MakePrintSpooler(const std::string& server, int silenceMs);
