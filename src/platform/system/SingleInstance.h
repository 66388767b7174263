#pragma once
// Only one instance of the program runs per user. A lock file in the user's runtime folder
// decides which process is first (a lock left by a process that died is taken over); the first
// then listens on a local socket beside it, and a later start connects there, asks the running
// program to show its window, and is told to end.
//
// Thread: GUI thread (the activation request arrives through its event loop). Nothing here
// throws. Ownership: the first instance holds the lock and the socket until the object is
// destroyed.
#include <functional>
#include <memory>
#include <string>

class SingleInstance {
public:
    // key names the program ("HV.Korvane"); the user's name is added to it. folder holds the lock
    // file and the socket: empty means XDG_RUNTIME_DIR (the temporary folder when it is unset).
    explicit SingleInstance(const std::string& key, const std::string& folder = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True: this process is the first; it holds the lock and listens for later starts (also when
    // the lock file cannot be made at all: better two instances than none). False: another
    // instance runs; it has been asked to show its window when it could be reached within
    // connectTimeoutMs, and the caller ends with exit code 0 either way.
    [[nodiscard]] bool Claim(int connectTimeoutMs = 3000);
    // Whether the request of a later start reached the running instance (after Claim is false).
    [[nodiscard]] bool Notified() const { return notified_; }
    // Called on the GUI thread whenever a later start asks: show the main window maximised and
    // bring it to the front.
    void SetOnActivate(std::function<void()> handler);

    [[nodiscard]] const std::string& LockFileName() const { return lockFile_; }
    [[nodiscard]] const std::string& ServerName() const { return serverName_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string lockFile_;
    std::string serverName_;
    bool notified_ = false;
};
