#pragma once
// The borderless window shown twice: as the splash screen while the program starts (start-up
// flag set: "Loading..", no buttons) and as the about box (OK, and "Info" when "readme.txt" lies
// beside the executable). Creating it decides the sprite engine's Win9xMode (false here).
//
// Thread: GUI thread only. Failure: nothing here throws; a "pics01\splash.bmp" that cannot be
// loaded leaves the built-in picture in place.
#include <QDialog>

#include <string>

class QLabel;
class QPushButton;
class QTimer;

class TSplashScreen : public QDialog {
    Q_OBJECT

public:
    explicit TSplashScreen(QWidget* parent = nullptr);
    ~TSplashScreen() override;

    // Set by the start-up before it shows the window and cleared before it hides it.
    [[nodiscard]] bool StartUp() const { return startUp_; }
    void SetStartUp(bool startUp) { startUp_ = startUp; }

    // The running program's version as four decimal parts joined by "." (missing parts are 0);
    // "?" when the program carries no version.
    [[nodiscard]] static std::string GetFileVersion();
    // Opens file with the desktop's viewer; false without trying for a name of 2 characters or
    // fewer, and when nothing could open it.
    [[nodiscard]] static bool ShellExecuteFile(const std::string& file);

    // Run on every showing: buttons for the about box, "Loading.." for the splash, centred on
    // the screen.
    void FormShow();
    // OK: ends the showing with the OK result.
    void HideButtonClick();
    // A click on the window or its pictures: OK, while HideButton is enabled.
    void Image1Click();
    // Every second: outside start-up, a window whose HideButton is disabled hides.
    void Timer1Timer();
    // Info: opens "readme.txt" beside the executable when it is there.
    void Button1Click();

    QLabel* Image1 = nullptr;
    QPushButton* HideButton = nullptr;
    QLabel* WindowsVersionLabel = nullptr;
    // The product owner's notice and contact lines.
    QLabel* NoticeLabel1 = nullptr;
    QLabel* NoticeLabel2 = nullptr;
    QLabel* NoticeLabel3 = nullptr;
    QLabel* NoticeLabel4 = nullptr;
    QLabel* NoticeLabel5 = nullptr;
    QLabel* VersionLabel = nullptr;
    QTimer* SplashTimer = nullptr;
    QLabel* Label1 = nullptr;
    QTimer* Timer1 = nullptr;
    QLabel* SplashImage = nullptr;
    QPushButton* Button1 = nullptr;

protected:
    // The executable's folder, ending with a separator.
    [[nodiscard]] virtual std::string AppFolder() const;

    void showEvent(QShowEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Esc closes the window.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate();
    void CentreOnScreen();

    bool startUp_ = false;
};
