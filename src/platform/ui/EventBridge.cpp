#include "platform/ui/EventBridge.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>
#include <exception>

#include "platform/drawing/GdiInternal.h"

namespace {

TExceptionSink& Sink()
{
    static TExceptionSink sink;
    return sink;
}

bool Headless()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return true;
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

}  // namespace

std::string ExceptionBoxText(const std::string& message)
{
    std::string text = message;
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        text += '.';
    return text;
}

void ShowException(const std::string& message)
{
    const std::string text = ExceptionBoxText(message);
    if (Sink()) {
        // A sink that throws must not undo the promise that nothing escapes.
        try {
            Sink()(text);
        } catch (...) {
            std::fprintf(stderr, "%s\n", text.c_str());
        }
        return;
    }
    if (Headless()) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(),
                    gdi::FromAnsi(text.c_str(), int(text.size())), QMessageBox::Ok);
    box.exec();
}

void CallEventHandler(const std::function<void()>& call) noexcept
{
    try {
        call();
    } catch (const std::exception& e) {
        try {
            ShowException(e.what());
        } catch (...) {
        }
    } catch (...) {
        try {
            ShowException("Unknown exception");
        } catch (...) {
        }
    }
}

TExceptionSink SetExceptionSink(TExceptionSink sink)
{
    TExceptionSink old = std::move(Sink());
    Sink() = std::move(sink);
    return old;
}
