#pragma once
// Stands in for the print server: a list of printers given by the test, and jobs that are either
// taken (their PDF copied to one file, so the test reads the printed page back) or refused with
// the test's reason, possibly as a job that may print all the same. A test may hold the list's
// answer back until it opens the gate.
#include "app/dialogs/TPrintForm.h"
#include "platform/printing/PrintSpooler.h"

#include <QCoreApplication>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakePrintSpooler : public TPrintSpooler {
public:
    TPrinterList ListPrinters() override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        listedOn_ = std::this_thread::get_id();
        ++listing_;
        // A generous bound: a test that never opens the gate fails instead of hanging.
        opened_.wait_for(lock, std::chrono::seconds(30), [this] { return gateOpen_; });
        --listing_;
        return list_;
    }

    TPrintJobResult Submit(const TPrintJob& job) override
    {
        if (whileSubmitting)
            whileSubmitting();
        const std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(job);
        if (!refusal_.empty())
            return {0, mayPrint_, refusal_};
        std::error_code error;
        std::filesystem::copy_file(job.file, pdfFile_, std::filesystem::copy_options::overwrite_existing, error);
        if (error)
            return {0, false, error.message()};
        return {int(jobs_.size()), false, {}};
    }

    // Runs at the start of every Submit, on the caller's thread: what the user sees while the
    // server is asked.
    std::function<void()> whileSubmitting;

    void SetList(TPrinterList list)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        list_ = std::move(list);
    }
    void SetPdfFile(const std::string& file)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        pdfFile_ = file;
    }
    // Every job is refused with reason (none when empty), or left without an answer when it may
    // print all the same.
    void Refuse(const std::string& reason, bool mayPrint = false)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        refusal_ = reason;
        mayPrint_ = mayPrint;
    }
    void SetGate(bool open)
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            gateOpen_ = open;
        }
        opened_.notify_all();
    }
    [[nodiscard]] std::vector<TPrintJob> Jobs()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return jobs_;
    }
    // How many calls for the list are waiting at the gate.
    [[nodiscard]] int Listing()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return listing_;
    }
    // The thread that last asked for the list.
    [[nodiscard]] std::thread::id ListedOn()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return listedOn_;
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool gateOpen_ = true;
    TPrinterList list_{{"Office", "Pdf"}, "Pdf", {}};
    std::string pdfFile_;
    std::string refusal_;
    bool mayPrint_ = false;
    int listing_ = 0;
    std::vector<TPrintJob> jobs_;
    std::thread::id listedOn_;
};

// Runs the event loop until done holds, within a generous bound; whether it came to hold.
inline bool PumpEventsUntil(const std::function<bool()>& done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done() && std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

// Runs the event loop until the form has the server's answer (the fake answers at once unless its
// gate is closed).
inline bool WaitForPrinterList(TPrintForm& form)
{
    return PumpEventsUntil([&] { return !form.ListingPrinters(); });
}

// FormShow and its answer.
inline bool ShowPrinterList(TPrintForm& form)
{
    form.FormShow();
    return WaitForPrinterList(form);
}
