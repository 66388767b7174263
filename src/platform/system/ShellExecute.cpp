#include "platform/system/ShellExecute.h"

#include "platform/ui/ApplicationInstance.h"
#include "platform/system/LinuxFileNames.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

namespace {

TFileOpener& Opener()
{
    static TFileOpener opener;
    return opener;
}

TProcessStarter& Starter()
{
    static TProcessStarter starter;
    return starter;
}

QString Native(const std::string& name) { return QFile::decodeName(QByteArray::fromStdString(name)); }

QString FindProgram(const std::string& program)
{
    const QString name = Native(program);
    if (name.contains(QLatin1Char('/'))) {
        const QFileInfo info(name);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(name);
}

// Whether the desktop names a program for the file's type. Only a definite "none" counts: without
// xdg-mime, or when it does not answer, the desktop is asked to open the file all the same (its
// opener would otherwise fail without a word, as it does for a type nothing is registered for).
bool DesktopHasProgramFor(const QString& path)
{
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return true;
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return true;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return true;
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

}  // namespace

bool ShellOpenFile(const std::string& file)
{
    const std::string resolved = ResolveFileName(file);
    if (!FileExists(resolved))
        return false;
    try {
        if (Opener())
            return Opener()(resolved);
        EnsureApplication();
        const QString path = QFileInfo(Native(resolved)).absoluteFilePath();
        if (!DesktopHasProgramFor(path))
            return false;
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    } catch (...) {
        return false;
    }
}

bool ProgramExists(const std::string& program)
{
    return !program.empty() && !FindProgram(program).isEmpty();
}

bool StartProcess(const std::string& program, const std::vector<std::string>& arguments)
{
    try {
        if (Starter())
            return Starter()(program, arguments);
        const QString path = FindProgram(program);
        if (path.isEmpty())
            return false;
        QStringList args;
        for (const std::string& a : arguments)
            args << Native(a);
        return QProcess::startDetached(path, args);
    } catch (...) {
        return false;
    }
}

TFileOpener SetFileOpener(TFileOpener opener)
{
    TFileOpener old = std::move(Opener());
    Opener() = std::move(opener);
    return old;
}

TProcessStarter SetProcessStarter(TProcessStarter starter)
{
    TProcessStarter old = std::move(Starter());
    Starter() = std::move(starter);
    return old;
}
