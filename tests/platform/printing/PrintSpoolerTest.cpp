// The print spooler against print servers: none there, one that never answers, a small server of
// the test's own that answers as servers may (slowly, refusing, stopping, hanging up, silent),
// and, where the package is installed, a private CUPS daemon on its own socket.
#include "platform/printing/PrintSpooler.h"

#include "LoopbackPrintServer.h"
#include "TestFolder.h"

#include <cups/cups.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

// An expected error: "<server>" stands for the server's name, "..." at the end for any rest.
::testing::Matcher<std::string> IsError(std::string error, const std::string& server)
{
    if (const std::size_t at = error.find("<server>"); at != std::string::npos)
        error.replace(at, 8, server);
    if (error.size() > 3 && error.compare(error.size() - 3, 3, "...") == 0)
        return StartsWith(error.substr(0, error.size() - 3));
    return ::testing::Eq(error);
}

// A row of a table of jobs: what the server does, and what the job's result must be.
struct JobRow {
    const char* what;
    LoopbackPrintServer::Behaviour server;
    int silenceMs;
    int jobId;
    bool mayPrint;
    std::string error;  // as IsError takes it

    void Check(const TPrintJobResult& result, const LoopbackPrintServer& on) const
    {
        EXPECT_EQ(result.jobId, jobId);
        EXPECT_EQ(result.mayPrint, mayPrint);
        EXPECT_THAT(result.error, IsError(error, on.Socket()));
    }
};

// Takes connections into its backlog and never reads or answers, like a stopped server.
class SilentServer {
public:
    SilentServer()
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd_, 8) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        name_ = "localhost:" + std::to_string(ntohs(address.sin_port));
    }
    ~SilentServer()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    // "localhost:port"; empty when no socket could be made.
    [[nodiscard]] const std::string& Name() const { return name_; }

private:
    int fd_ = -1;
    std::string name_;
};

// A CUPS daemon of the test's own: its configuration, spool and socket in a folder of its own,
// three queues: "Pdf" (the default) takes jobs and holds them, "Büro" refuses them, and "Privat"
// takes jobs only from a user who is not there (its policy asks who prints, then forbids).
class PrivateCups {
public:
    PrivateCups()
    {
        const std::string daemon = "/usr/sbin/cupsd";
        if (!fs::exists(daemon)) {
            why_ = "cupsd is not installed";
            return;
        }
        for (const char* sub : {"spool/temp", "cache", "state", "log"})
            fs::create_directories(folder_ / sub);
        const std::string root = folder_.string();
        std::ofstream(folder_ / "cups-files.conf")
            << "ServerRoot " << root << "\nRequestRoot " << root << "/spool\nTempDir " << root
            << "/spool/temp\nCacheDir " << root << "/cache\nStateDir " << root << "/state\nAccessLog " << root
            << "/log/access_log\nErrorLog " << root << "/log/error_log\nPageLog " << root << "/log/page_log\n";
        std::ofstream(folder_ / "cupsd.conf") << "Listen " << Socket()
                                             << "\nBrowsing Off\nWebInterface No\nLogLevel warn\n"
                                                "<Location />\nOrder allow,deny\nAllow all\n</Location>\n"
                                                "<Policy someone-else>\n<Limit Print-Job Create-Job Send-Document>\n"
                                                "AuthType Basic\nRequire user someone-else\nOrder deny,allow\n</Limit>\n"
                                                "<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n";
        std::ofstream(folder_ / "printers.conf")
            << "<DefaultPrinter Pdf>\nDeviceURI file:///dev/null\nState Stopped\nAccepting Yes\n</DefaultPrinter>\n"
               "<Printer Büro>\nDeviceURI file:///dev/null\nState Idle\nAccepting No\n</Printer>\n"
               "<Printer Privat>\nDeviceURI file:///dev/null\nState Stopped\nAccepting Yes\n"
               "OpPolicy someone-else\n</Printer>\n";
        const std::string files = root + "/cups-files.conf";
        const std::string conf = root + "/cupsd.conf";
        pid_ = ::fork();
        if (pid_ == 0) {
            char* const argv[] = {const_cast<char*>(daemon.c_str()), const_cast<char*>("-f"),
                                  const_cast<char*>("-c"), const_cast<char*>(conf.c_str()),
                                  const_cast<char*>("-s"), const_cast<char*>(files.c_str()), nullptr};
            char* const env[] = {const_cast<char*>("PATH=/usr/sbin:/usr/bin:/sbin:/bin"), nullptr};
            ::execve(argv[0], argv, env);
            ::_exit(127);
        }
        // Ready once it takes connections; a daemon that ends instead says why in its log.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (pid_ > 0 && !Answers() && std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                std::ifstream log(folder_ / "log" / "error_log");
                why_ = "cupsd did not start: " + std::string(std::istreambuf_iterator<char>(log), {});
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (pid_ > 0 && !Answers())
            why_ = "cupsd does not take connections";
    }
    ~PrivateCups()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    // Why the daemon cannot serve the test; empty when it can.
    [[nodiscard]] const std::string& WhyNot() const { return why_; }
    [[nodiscard]] std::string Socket() const { return (folder_ / "cups.sock").string(); }
    // The document of a job the daemon holds.
    [[nodiscard]] fs::path Document(int jobId) const
    {
        char name[32];
        std::snprintf(name, sizeof name, "d%05d-001", jobId);
        return folder_ / "spool" / name;
    }

private:
    [[nodiscard]] bool Answers() const
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, Socket().c_str(), sizeof address.sun_path - 1);
        const bool connected = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0)
            ::close(fd);
        return connected;
    }

    // Socket paths are short: the folder's name is too.
    TestFolder own_{"korvane-cups-"};
    const fs::path& folder_ = own_.Path();
    pid_t pid_ = -1;
    std::string why_;
};

class PrintSpooler : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(folder / "home");
        std::ofstream(folder / "page.pdf") << "%PDF-1.4\n%%EOF\n";
        // The user's own printer choices (variables, option files) and server stay out of the lists.
        for (const char* name : {"HOME", "CUPS_SERVERROOT", "CUPS_SERVER", "LPDEST", "PRINTER"}) {
            const char* value = std::getenv(name);
            saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        ::setenv("HOME", (folder / "home").c_str(), 1);
        ::setenv("CUPS_SERVERROOT", (folder / "home").c_str(), 1);
        ::setenv("CUPS_SERVER", (folder / "home" / "cups.sock").c_str(), 1);
        ::unsetenv("LPDEST");
        ::unsetenv("PRINTER");
    }
    void TearDown() override
    {
        for (const auto& [name, value] : saved)
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }

    [[nodiscard]] TPrintJob Job() const { return {"Office", (folder / "page.pdf").string(), "Korvane 2 - riff", {}}; }
    // A job whose document has size bytes.
    [[nodiscard]] TPrintJob JobOf(std::size_t size, const std::string& printer = "Office") const
    {
        const fs::path file = folder / ("document-" + std::to_string(size) + ".pdf");
        std::string bytes = "%PDF-1.4\n";
        bytes.resize(size, 'x');
        std::ofstream(file, std::ios::binary) << bytes;
        return {printer, file.string(), "Korvane 2 - riffs", {}};
    }

    TestFolder own{"print_spooler_"};
    const fs::path& folder = own.Path();
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

TEST_F(PrintSpooler, NoServerThereGivesNoListAndTakesNoJob)
{
    const std::string socket = (folder / "missing" / "cups.sock").string();
    const auto spooler = MakePrintSpooler(socket, 2000);
    const TPrinterList list = spooler->ListPrinters();
    EXPECT_TRUE(list.names.empty());
    EXPECT_EQ(list.error, "the print server " + socket + " cannot be reached");

    const TPrintJobResult result = spooler->Submit(Job());
    EXPECT_EQ(result.jobId, 0);
    EXPECT_EQ(result.error, "the print server " + socket + " cannot be reached");

    TPrintJob unreadable = Job();
    unreadable.file = (folder / "missing.pdf").string();
    const TPrintJobResult missing = spooler->Submit(unreadable);
    EXPECT_EQ(missing.jobId, 0);
    EXPECT_EQ(missing.error.rfind("cannot read " + unreadable.file, 0), 0u) << missing.error;
}

TEST_F(PrintSpooler, AServerThatNeverAnswersIsGivenUpWithAReason)
{
    SilentServer server;
    ASSERT_FALSE(server.Name().empty());
    // A short silence keeps the test short; the verdict does not depend on it.
    const auto spooler = MakePrintSpooler(server.Name(), 200);
    const TPrinterList list = spooler->ListPrinters();
    EXPECT_TRUE(list.names.empty());
    EXPECT_EQ(list.error, "the print server localhost does not answer");

    // The document waits in the server's socket: a server that was only stopped reads it later.
    const TPrintJobResult result = spooler->Submit(Job());
    EXPECT_EQ(result.jobId, 0);
    EXPECT_TRUE(result.mayPrint);
    EXPECT_EQ(result.error, "the whole document went to the print server localhost, but no answer came");
}

// A server that falls silent is asked nothing more: the call makes one connection, whatever the
// server does, but for a server that ended it and for the library's own list, which asks its
// second question on a connection of its own after giving up on the first.
TEST_F(PrintSpooler, TheListIsTheServersOwnAndAServerWithoutPrintersIsNoFailure)
{
    using B = LoopbackPrintServer::Behaviour;
    const struct {
        const char* what;
        B server;
        int silenceMs;
        std::vector<std::string> printers;
        std::string defaultPrinter;
        std::string error;  // as IsError takes it
        std::size_t connections = 1;
    } rows[] = {
        {"printers and a default", {.printers = {"Büro", "Pdf"}, .defaultPrinter = "Pdf"}, 30000, {"Büro", "Pdf"}, "Pdf", ""},
        {"no printers: \"not found\"", {}, 30000, {}, {}, ""},
        {"takes the connection and reads nothing", {.requestsServed = 0}, 300, {}, {}, "the print server <server> does not answer"},
        {"silent after its first answer", {.printers = {"Pdf"}, .defaultPrinter = "Pdf", .requestsServed = 1}, 300, {}, {},
         "the print server <server> does not answer", 2},
        {"answers that pause in their middle",
         {.printers = {"Büro", "Pdf"}, .defaultPrinter = "Pdf", .answerPauseMs = 300}, 30000, {"Büro", "Pdf"}, "Pdf", ""},
        {"answers in small pieces, slowly",
         {.printers = {"Büro", "Pdf"}, .defaultPrinter = "Pdf", .answerPiece = 96, .answerPauseMs = 120}, 30000,
         {"Büro", "Pdf"}, "Pdf", ""},
        {"ends the connection after an answer in HTTP/1.0",
         {.printers = {"Pdf"}, .defaultPrinter = "Pdf", .closesAfter = "CUPS-Get-Printers"}, 30000, {"Pdf"}, "Pdf", "", 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        LoopbackPrintServer server(row.server);
        ASSERT_FALSE(server.Socket().empty());
        const TPrinterList list = MakePrintSpooler(server.Socket(), row.silenceMs)->ListPrinters();
        EXPECT_EQ(list.names, row.printers);
        EXPECT_EQ(list.defaultName, row.defaultPrinter);
        EXPECT_THAT(list.error, IsError(row.error, server.Socket()));
        EXPECT_EQ(server.Connections(), row.connections);
    }
}

// Rows that expect an answer allow a silence no loaded machine reaches; rows that expect the
// spooler to give up allow a short one, which does not decide their verdict.
TEST_F(PrintSpooler, EachAnswerToAJobIsReportedForWhatItIs)
{
    const std::string refusal = "Destination \"Office\" is not accepting jobs.";
    const JobRow rows[] = {
        {"taken", {.jobId = 7}, 30000, 7, false, ""},
        {"refused although it names a job",
         {.jobStatus = IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS, .jobMessage = refusal, .jobId = 9}, 30000, 0, false,
         refusal},
        {"taken without a job id", {.jobId = 0}, 30000, 0, true, "the print server <server> answered without a job id"},
        {"silent after the whole document", {.answers = false}, 2000, 0, true,
         "the whole document went to the print server <server>, but no answer came"},
        {"stops reading halfway", {.readLimit = 256 * 1024}, 1000, 0, false, "the print server <server> does not answer"},
        {"hangs up halfway", {.readLimit = 256 * 1024, .hangUpAtLimit = true}, 30000, 0, false,
         "the connection to the print server <server> failed..."},
        // HTTP refuses after the whole document went out: the status decides, not the silence after it.
        {"asks for a password nobody can give", {.httpStatus = 401}, 30000, 0, false, "Unauthorized"},
        {"forbidden by the server's policy", {.httpStatus = 403}, 30000, 0, false, "Forbidden"},
        {"fails inside the server", {.httpStatus = 500}, 30000, 0, false, "Internal Server Error"},
        {"takes the connection and reads nothing", {.requestsServed = 0}, 300, 0, false,
         "the print server <server> does not answer"},
        {"redirects after the whole document", {.httpStatus = 307}, 30000, 0, false, "307 Temporary Redirect"},
        // The answer is read whole however it comes, and the job may print when no whole answer came.
        {"an answer that pauses in its middle", {.answerPauseMs = 300}, 30000, 7, false, ""},
        {"an answer in small pieces, slowly", {.answerPiece = 48, .answerPauseMs = 150}, 30000, 7, false, ""},
        {"hangs up after the whole document", {.answerPercent = 0, .hangUpAtCut = true}, 30000, 0, true, "the whole document went to the print server <server>, but no answer came"},
        {"hangs up in the middle of its answer", {.answerPercent = 75, .hangUpAtCut = true}, 30000, 0, true, "the whole document went to the print server <server>, but no answer came"},
        {"silent in the middle of its answer", {.answerPercent = 75}, 400, 0, true, "the whole document went to the print server <server>, but no answer came"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        LoopbackPrintServer server(row.server);
        ASSERT_FALSE(server.Socket().empty());
        row.Check(MakePrintSpooler(server.Socket(), row.silenceMs)->Submit(JobOf(2 << 20)), server);
        EXPECT_EQ(server.Connections(), 1u) << "nobody asks for a password; a silent server is asked nothing more";
    }
}

// The largest document of the demo content ("print all riffs" of its blues mode) is under 1 MB.
// Each server takes longer than the silence allowed: the first reads 3 MB at 1 MB/s and answers
// 1.3 s after the last byte; the second reads so slowly that the document, which fits in the
// socket at once, takes longer to read than the silence lasts; the third reads 8 KB/s, so slowly
// that 32 KiB written at once would take it 4 s to read, twice the silence.
TEST_F(PrintSpooler, AServerThatReadsSlowlyGetsTheWholeDocumentAndTakesTheJob)
{
    const struct {
        std::size_t size, bytesPerSecond;
        int answerDelayMs, silenceMs;
    } rows[] = {{3000000, 1000000, 1300, 3000}, {96000, 40000, 0, 1500}, {40000, 8000, 0, 2000}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bytesPerSecond);
        LoopbackPrintServer server(
            {.jobId = 21, .bytesPerSecond = row.bytesPerSecond, .answerDelayMs = row.answerDelayMs});
        ASSERT_FALSE(server.Socket().empty());
        const TPrintJobResult result = MakePrintSpooler(server.Socket(), row.silenceMs)->Submit(JobOf(row.size));
        EXPECT_EQ(result.jobId, 21) << result.error;
        EXPECT_EQ(server.DocumentBytes(), row.size);
    }
}

// A printer found on the network gets its queue while its job is created, and the document follows
// the job. A job that cannot print is cancelled, so that it does not wait in the queue: the cancel
// goes out on a connection of its own and is not waited for. A whole document with no answer may
// print: its job is left alone.
TEST_F(PrintSpooler, AFoundPrintersJobIsCancelledOnlyWhenItCannotPrint)
{
    const struct {
        JobRow job;
        bool cancelled;
    } rows[] = {
        {{"taken", {}, 30000, 12, false, ""}, false},
        {{"stops reading halfway", {.readLimit = 256 * 1024}, 1000, 0, false, "the print server <server> does not answer"},
         true},
        {{"silent after the whole document", {.answers = false}, 1000, 0, true,
          "the whole document went to the print server <server>, but no answer came"},
         false},
        {{"refused after the whole document", {.httpStatus = 403}, 30000, 0, false, "Forbidden"}, true},
        {{"hangs up after the whole document", {.answerPercent = 0, .hangUpAtCut = true}, 30000, 0, true, "the whole document went to the print server <server>, but no answer came"}, false},
    };
    for (const auto& [row, cancelled] : rows) {
        SCOPED_TRACE(row.what);
        LoopbackPrintServer::Behaviour behaviour = row.server;
        behaviour.printers = {"Found"};
        behaviour.found = true;
        behaviour.jobId = 12;
        LoopbackPrintServer server(behaviour);
        ASSERT_FALSE(server.Socket().empty());
        const auto spooler = MakePrintSpooler(server.Socket(), row.silenceMs);
        ASSERT_EQ(spooler->ListPrinters().names, std::vector<std::string>{"Found"});
        row.Check(spooler->Submit(JobOf(2 << 20, "Found")), server);
        if (cancelled)
            EXPECT_TRUE(server.Await("Cancel-Job 12"));
        else
            EXPECT_THAT(server.Operations(), ::testing::Not(::testing::Contains("Cancel-Job 12")));
        EXPECT_EQ(server.Connections(), cancelled ? 3u : 2u) << "the list, the job, and a cancel if any";
    }
}

TEST_F(PrintSpooler, APrivateCupsListsTakesAndRefusesJobs)
{
    PrivateCups cups;
    if (!cups.WhyNot().empty())
        GTEST_SKIP() << cups.WhyNot();
    const auto spooler = MakePrintSpooler(cups.Socket(), 30000);
    const TPrinterList list = spooler->ListPrinters();
    EXPECT_EQ(list.names, (std::vector<std::string>{"Büro", "Pdf", "Privat"}));
    EXPECT_EQ(list.defaultName, "Pdf");
    EXPECT_EQ(list.error, "");

    const TPrintJob job = JobOf(1 << 20, "Pdf");
    const TPrintJobResult taken = spooler->Submit(job);
    ASSERT_GT(taken.jobId, 0) << taken.error;
    EXPECT_EQ(fs::file_size(cups.Document(taken.jobId)), 1u << 20) << "the queue holds the whole document";

    const TPrintJobResult refused = spooler->Submit(JobOf(4096, "Büro"));
    EXPECT_EQ(refused.jobId, 0);
    EXPECT_FALSE(refused.mayPrint);
    EXPECT_THAT(refused.error, HasSubstr("Büro"));

    // Refused after the whole document went out, in HTTP: no job, and the server's reason.
    const TPrintJobResult forbidden = spooler->Submit(JobOf(1 << 20, "Privat"));
    EXPECT_EQ(forbidden.jobId, 0);
    EXPECT_FALSE(forbidden.mayPrint);
    EXPECT_EQ(forbidden.error, "Forbidden");
}

// The user's printer instances (lpoptions of the user and of the system) are listed with the
// server's printers, and the user's own default goes before the server's, instance included.
TEST_F(PrintSpooler, APrivateCupsListsTheUsersInstancesAndDefault)
{
    PrivateCups cups;
    if (!cups.WhyNot().empty())
        GTEST_SKIP() << cups.WhyNot();
    fs::create_directories(folder / "home" / ".cups");
    std::ofstream(folder / "home" / "lpoptions") << "Dest Büro/fast copies=2\n";
    std::ofstream(folder / "home" / ".cups" / "lpoptions") << "Default Pdf/draft\n";
    const struct {
        const char* what;
        const char* lpdest;
        std::string defaultName;
    } rows[] = {{"the default of the user's lpoptions", nullptr, "Pdf/draft"},
                {"LPDEST before lpoptions", "Büro/fast", "Büro/fast"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        row.lpdest ? ::setenv("LPDEST", row.lpdest, 1) : ::unsetenv("LPDEST");
        // The library takes the user's settings when a thread first uses it.
        TPrinterList list;
        std::thread([&] { list = MakePrintSpooler(cups.Socket(), 30000)->ListPrinters(); }).join();
        EXPECT_EQ(list.names, (std::vector<std::string>{"Büro", "Büro/fast", "Pdf", "Pdf/draft", "Privat"}));
        EXPECT_EQ(list.defaultName, row.defaultName);
        EXPECT_EQ(list.error, "");
    }
}

}  // namespace
