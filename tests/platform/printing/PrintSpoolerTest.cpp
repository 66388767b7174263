// The print spooler on servers that cannot take a job: none there, and one that never answers.
// Both must come back with a reason instead of a job or a hang.
#include "platform/printing/PrintSpooler.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

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

class PrintSpooler : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 ("print_spooler_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(folder);
        std::ofstream(folder / "page.pdf") << "%PDF-1.4\n%%EOF\n";
    }
    void TearDown() override { fs::remove_all(folder); }

    [[nodiscard]] TPrintJob Job() const { return {"Office", (folder / "page.pdf").string(), "Korvane 2 - riff", {}}; }

    fs::path folder;
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
    // A short answer time keeps the test short; the verdict does not depend on it.
    const auto spooler = MakePrintSpooler(server.Name(), 200);
    const TPrinterList list = spooler->ListPrinters();
    EXPECT_TRUE(list.names.empty());
    EXPECT_EQ(list.error, "the print server localhost does not answer");

    const TPrintJobResult result = spooler->Submit(Job());
    EXPECT_EQ(result.jobId, 0);
    EXPECT_EQ(result.error, "the print server localhost does not answer");
}

}  // namespace
