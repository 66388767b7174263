#include "platform/ui/MessageBox.h"

#include "platform/drawing/GdiInternal.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>
#include <vector>

namespace {

TMessageBoxHandler& BoxHandler()
{
    static TMessageBoxHandler handler;
    return handler;
}

TBeepHandler& BeepHandler()
{
    static TBeepHandler handler;
    return handler;
}

bool Headless()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return true;
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

QString Text(const std::string& text) { return gdi::FromAnsi(text.c_str(), int(text.size())); }

int RealBox(const TMessageBoxRequest& request)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (request.flags & 0xF0) {
    case MB_ICONERROR: icon = QMessageBox::Critical; break;
    case MB_ICONQUESTION: icon = QMessageBox::Question; break;
    case MB_ICONWARNING: icon = QMessageBox::Warning; break;
    case MB_ICONINFORMATION: icon = QMessageBox::Information; break;
    default: break;
    }
    struct Choice {
        QMessageBox::StandardButton button;
        int answer;
    };
    std::vector<Choice> choices;
    switch (request.flags & 0x0F) {
    case MB_OKCANCEL: choices = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}}; break;
    case MB_YESNOCANCEL:
        choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
        break;
    case MB_YESNO: choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}}; break;
    default: choices = {{QMessageBox::Ok, IDOK}}; break;
    }
    QMessageBox::StandardButtons buttons;
    for (const Choice& c : choices)
        buttons |= c.button;
    const QString caption = request.caption.empty() ? QGuiApplication::applicationDisplayName() : Text(request.caption);
    QMessageBox box(icon, caption, Text(request.text), buttons);
    std::size_t def = (request.flags & MB_DEFBUTTON3) ? 2 : (request.flags & MB_DEFBUTTON2) ? 1 : 0;
    if (def >= choices.size())
        def = 0;
    box.setDefaultButton(choices[def].button);
    const auto chosen = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const Choice& c : choices)
        if (c.button == chosen)
            return c.answer;
    // Closed by the window's close button: the cancel answer where there is one.
    for (const Choice& c : choices)
        if (c.answer == IDCANCEL)
            return IDCANCEL;
    return choices.size() == 1 ? IDOK : IDNO;
}

}  // namespace

int DefaultMessageBoxAnswer(UINT flags)
{
    const int def = (flags & MB_DEFBUTTON3) ? 2 : (flags & MB_DEFBUTTON2) ? 1 : 0;
    switch (flags & 0x0F) {
    case MB_OKCANCEL: return def == 1 ? IDCANCEL : IDOK;
    case MB_YESNOCANCEL: return def == 2 ? IDCANCEL : def == 1 ? IDNO : IDYES;
    case MB_YESNO: return def == 1 ? IDNO : IDYES;
    default: return IDOK;
    }
}

int MessageBox(const std::string& text, const std::string& caption, UINT flags)
{
    const TMessageBoxRequest request{text, caption, flags};
    if (BoxHandler()) {
        try {
            return BoxHandler()(request);
        } catch (...) {
            return DefaultMessageBoxAnswer(flags);
        }
    }
    if (Headless()) {
        std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
        return DefaultMessageBoxAnswer(flags);
    }
    return RealBox(request);
}

void ShowMessage(const std::string& text)
{
    (void)MessageBox(text, std::string(), MB_OK);
}

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler)
{
    TMessageBoxHandler old = std::move(BoxHandler());
    BoxHandler() = std::move(handler);
    return old;
}

void Beep()
{
    if (BeepHandler()) {
        try {
            BeepHandler()();
        } catch (...) {
        }
        return;
    }
    if (!Headless())
        QApplication::beep();
}

TBeepHandler SetBeepHandler(TBeepHandler handler)
{
    TBeepHandler old = std::move(BeepHandler());
    BeepHandler() = std::move(handler);
    return old;
}
