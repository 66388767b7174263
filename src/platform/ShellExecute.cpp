#include "platform/ShellExecute.h"

#include "platform/ApplicationInstance.h"
#include "platform/LinuxFileNames.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
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
        return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(Native(resolved)).absoluteFilePath()));
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
