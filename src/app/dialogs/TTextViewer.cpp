#include "app/dialogs/TTextViewer.h"

#include "platform/system/LinuxFileNames.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringDecoder>
#include <QVBoxLayout>

#include <fstream>
#include <iterator>

namespace {

QString Decode(const std::string& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (utf8.hasError())
        text = QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    return text;
}

}  // namespace

TTextViewer::TTextViewer(QWidget* owner) : QDialog(owner)
{
    setObjectName("TextViewer");
    setModal(false);
    if (owner == nullptr)
        setAttribute(Qt::WA_DeleteOnClose);
    resize(720, 560);
    Text = new QPlainTextEdit(this);
    Text->setReadOnly(true);
    // Help texts line their columns up with spaces.
    Text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Text->setLineWrapMode(QPlainTextEdit::NoWrap);
    CloseButton = new QPushButton("Close", this);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text);
    layout->addLayout(buttons);
}

bool TTextViewer::IsText(const std::string& text)
{
    return text.find('\0') == std::string::npos;
}

TTextViewer* TTextViewer::ShowFile(const std::string& file, QWidget* owner)
{
    const std::string path = ResolveFileName(file);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return nullptr;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad() || !IsText(bytes))
        return nullptr;
    TTextViewer* viewer = owner != nullptr ? owner->findChild<TTextViewer*>(QString(), Qt::FindDirectChildrenOnly)
                                           : nullptr;
    if (viewer == nullptr)
        viewer = new TTextViewer(owner);
    viewer->setWindowTitle(QFileInfo(QString::fromLocal8Bit(path.c_str())).fileName());
    viewer->Text->setPlainText(Decode(bytes));
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return viewer;
}
