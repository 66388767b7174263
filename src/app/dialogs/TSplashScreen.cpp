#include "app/dialogs/TSplashScreen.h"

#include "app/mainform/AppCommands.h"
#include "app/dialogs/BitmapToQImage.h"
#include "platform/system/AppPath.h"
#include "platform/system/LinuxFileNames.h"
#include "platform/ui/MessageBox.h"
#include "platform/system/ShellExecute.h"
#include "platform/drawing/TPicture.h"
#include "sprite/PicUtils.h"
#include "sprite/Win9xMode.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QTimer>

namespace {

constexpr int PictureWidth = 500;
constexpr int PictureHeight = 151;

// The window's own picture: a dark board with six strings and a few frets.
QPixmap BuiltInPicture()
{
    QImage image(PictureWidth, PictureHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient background(0, 0, 0, PictureHeight);
    background.setColorAt(0.0, QColor(0x20, 0x28, 0x48));
    background.setColorAt(1.0, QColor(0x05, 0x05, 0x10));
    painter.fillRect(image.rect(), background);
    painter.setPen(QPen(QColor(0x60, 0x50, 0x30), 2));
    for (int x = 40; x < PictureWidth; x += 64)
        painter.drawLine(x, 40, x, 112);
    for (int i = 0; i < 6; ++i) {
        painter.setPen(QPen(QColor(0xB0, 0xB0, 0xB8), 1 + i / 2));
        const int y = 44 + i * 13;
        painter.drawLine(0, y, PictureWidth, y);
    }
    painter.end();
    return QPixmap::fromImage(image);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setStyleSheet("color: white; background: transparent;");
    return label;
}

}  // namespace

TSplashScreen::TSplashScreen(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName("SplashScreen");
    setFixedSize(PictureWidth, PictureHeight);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, 0, PictureWidth, PictureHeight);
    Image1->setPixmap(BuiltInPicture());

    HideButton = new QPushButton("OK", this);
    HideButton->setObjectName("HideButton");
    HideButton->setGeometry(414, 120, 75, 24);
    HideButton->setDefault(true);
    connect(HideButton, &QPushButton::clicked, this, &TSplashScreen::HideButtonClick);

    WindowsVersionLabel = MakeLabel(this, "WindowsVersionLabel", "Korvane! for Windows ", QRect(12, 8, 300, 22));
    WindowsVersionLabel->setStyleSheet("color: yellow; background: transparent;");
    QFont bold = WindowsVersionLabel->font();
    bold.setBold(true);
    bold.setPointSize(12);
    WindowsVersionLabel->setFont(bold);

    NoticeLabel1 = MakeLabel(this, "NoticeLabel1", QString(), QRect(12, 34, 330, 16));
    NoticeLabel2 = MakeLabel(this, "NoticeLabel2", QString(), QRect(12, 50, 330, 16));
    NoticeLabel3 = MakeLabel(this, "NoticeLabel3", QString(), QRect(12, 66, 330, 16));
    NoticeLabel4 = MakeLabel(this, "NoticeLabel4", QString(), QRect(12, 82, 330, 16));
    NoticeLabel5 = MakeLabel(this, "NoticeLabel5", QString(), QRect(12, 98, 330, 16));

    VersionLabel = MakeLabel(this, "VersionLabel", "Version ", QRect(250, 10, 240, 18));
    VersionLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    SplashTimer = new QTimer(this);
    SplashTimer->setObjectName("SplashTimer");

    Label1 = MakeLabel(this, "Label1", "Loading..", QRect(12, 124, 120, 18));

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TSplashScreen::Timer1Timer);
    Timer1->start();

    SplashImage = new QLabel(this);
    SplashImage->setObjectName("SplashImage");
    SplashImage->setGeometry(0, 0, 0, 0);
    SplashImage->hide();

    Button1 = new QPushButton("Info", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(330, 120, 75, 24);
    connect(Button1, &QPushButton::clicked, this, &TSplashScreen::Button1Click);

    FormCreate();
}

TSplashScreen::~TSplashScreen() = default;

void TSplashScreen::FormCreate()
{
    // This system is never one of the 9x family.
    Win9xMode = false;
    WindowsVersionLabel->setText("Korvane!");

    VersionLabel->setText(QString::fromLatin1(("Version " + GetFileVersion()).c_str()));

    const std::string splashFile = "pics01\\splash.bmp";
    if (!FileExists(splashFile))
        return;
    QImage picture;
    try {
        TPicture loaded;
        LoadImageToPicture(&loaded, splashFile);
        if (TBitmap* bitmap = loaded.Bitmap())
            picture = BitmapToQImage(*bitmap);
    } catch (const std::exception&) {
        // A damaged optional picture must not keep the program from starting.
        return;
    }
    if (picture.isNull())
        return;
    SplashImage->setPixmap(QPixmap::fromImage(picture));
    SplashImage->setGeometry((width() - picture.width()) / 2, 0, picture.width(), picture.height());
    SplashImage->show();
    SplashImage->raise();
    HideButton->move(HideButton->x(), picture.height());
    Button1->move(Button1->x(), picture.height());
    HideButton->raise();
    Button1->raise();
    const int clientHeight = std::max(PictureHeight, picture.height() + HideButton->height() + 4);
    setFixedSize(width(), clientHeight);
    CentreOnScreen();
}

std::string TSplashScreen::GetFileVersion()
{
    const QString version = QCoreApplication::applicationVersion();
    const QStringList parts = version.split('.');
    if (version.isEmpty() || parts.size() > 4)
        return "?";
    std::string text;
    for (int i = 0; i < 4; ++i) {
        unsigned value = 0;
        if (i < parts.size()) {
            bool ok = false;
            value = parts[i].toUInt(&ok);
            if (!ok || value > 0xFFFF)
                return "?";
        }
        text += (i ? "." : "") + std::to_string(value);
    }
    return text;
}

bool TSplashScreen::ShellExecuteFile(const std::string& file)
{
    if (file.size() <= 2)
        return false;
    return ShellOpenFile(file);
}

std::string TSplashScreen::AppFolder() const
{
    return ExecutableFolder();
}

void TSplashScreen::CentreOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void TSplashScreen::FormShow()
{
    HideButton->setVisible(!startUp_);
    Button1->setVisible(!startUp_ && FileExists(AppFolder() + "readme.txt"));
    Label1->setVisible(startUp_);
    CentreOnScreen();
}

void TSplashScreen::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TSplashScreen::HideButtonClick()
{
    SplashTimer->stop();
    done(QDialog::Accepted);
}

void TSplashScreen::Image1Click()
{
    if (HideButton->isEnabled())
        HideButtonClick();
}

void TSplashScreen::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && rect().contains(at)) {
        QWidget* under = childAt(at);
        if (!under || under == Image1 || under == SplashImage) {
            Image1Click();
            return;
        }
    }
    QDialog::mouseReleaseEvent(event);
}

void TSplashScreen::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TSplashScreen::Timer1Timer()
{
    if (!startUp_ && !HideButton->isEnabled())
        hide();
}

void TSplashScreen::Button1Click()
{
    const std::string readme = AppFolder() + "readme.txt";
    if (FileExists(readme) && !ShellExecuteFile(readme))
        ShowMessage(CannotOpenText(readme));
}
