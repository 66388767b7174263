#include "platform/system/SingleInstance.h"

#include "platform/ui/ApplicationInstance.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

// What a later start sends.
constexpr char kActivate[] = "ACTIVATE\n";

std::string UserName()
{
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_name && *entry->pw_name)
        return entry->pw_name;
    return std::to_string(::getuid());
}

std::string RuntimeFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return runtime;
    return QDir::tempPath().toStdString();
}

QString Native(const std::string& name) { return QFile::decodeName(QByteArray::fromStdString(name)); }

}  // namespace

struct SingleInstance::Impl {
    std::unique_ptr<QLockFile> lock;
    std::unique_ptr<QLocalServer> server;
    std::function<void()> onActivate;
};

SingleInstance::SingleInstance(const std::string& key, const std::string& folder) : impl_(std::make_unique<Impl>())
{
    std::string dir = folder.empty() ? RuntimeFolder() : folder;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    const std::string base = dir + key + "-" + UserName();
    lockFile_ = base + ".lock";
    serverName_ = base + ".socket";
}

SingleInstance::~SingleInstance()
{
    if (impl_->server)
        impl_->server->close();
    impl_->server.reset();
    impl_->lock.reset();  // unlocks and removes the lock file
}

void SingleInstance::SetOnActivate(std::function<void()> handler)
{
    impl_->onActivate = std::move(handler);
}

bool SingleInstance::Claim(int connectTimeoutMs)
{
    EnsureApplication();
    if (impl_->server)
        return true;
    impl_->lock = std::make_unique<QLockFile>(Native(lockFile_));
    // Held for the program's whole life: never stale by age, only when its process is gone.
    impl_->lock->setStaleLockTime(0);
    if (!impl_->lock->tryLock(0) && impl_->lock->error() == QLockFile::LockFailedError) {
        impl_->lock.reset();
        // The first instance may hold the lock without listening yet: try until the time is up.
        QElapsedTimer waited;
        waited.start();
        do {
            QLocalSocket socket;
            socket.connectToServer(Native(serverName_));
            if (socket.waitForConnected(200)) {
                socket.write(kActivate);
                notified_ = socket.waitForBytesWritten(1000);
                socket.disconnectFromServer();
                if (socket.state() != QLocalSocket::UnconnectedState)
                    socket.waitForDisconnected(200);
                if (notified_)
                    break;
            } else {
                QThread::msleep(50);
            }
        } while (waited.elapsed() < connectTimeoutMs);
        return false;
    }
    // The lock is ours (or no lock file can be made here): any socket of that name is left over.
    QLocalServer::removeServer(Native(serverName_));
    impl_->server = std::make_unique<QLocalServer>();
    impl_->server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer* server = impl_->server.get();
    Impl* impl = impl_.get();
    QObject::connect(server, &QLocalServer::newConnection, server, [server, impl] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, impl] {
                while (socket->canReadLine()) {
                    if (socket->readLine() == QByteArray(kActivate) && impl->onActivate)
                        impl->onActivate();
                }
            });
        }
    });
    server->listen(Native(serverName_));
    return true;
}
