#pragma once
// The "Please wait..." window with a progress bar, shown while a mode loads, a video changes
// state or a WAV file renders. It is application-modal whenever it is visible, so no keyboard or
// mouse input reaches another window of the program while it is up, whether it was shown with
// Show (the caller keeps working and processes messages) or with ShowModal (the caller waits).
//
// A user of the window ends it by setting the done flag: a timer tick every 500 ms, running while
// the window is hidden as well, makes the window visible exactly when the flag is clear. Showing
// the window resets its text, its progress and the flags (done false, cancel not allowed).
//
// Thread: GUI thread only.
#include <QDialog>

#include <string>

class QFrame;
class QLabel;
class QProgressBar;
class QTimer;

class TBusyFrm : public QDialog {
    Q_OBJECT

public:
    explicit TBusyFrm(QWidget* parent = nullptr);
    ~TBusyFrm() override;

    // Shows the window without waiting (still application-modal).
    void Show();
    // Shows the window and waits until it is hidden or closed; returns the dialog's result.
    int ShowModal();

    // The done flag: true at creation; true hides the window at the next tick.
    [[nodiscard]] bool Done() const { return done_; }
    void SetDone(bool done) { done_ = done; }

    // The cancel-allowed flag: 0 (the default after every showing) keeps the user from closing
    // the window with Esc or the window system's close; any other value lets Esc close it.
    [[nodiscard]] int Tag() const { return tag_; }
    void SetTag(int tag) { tag_ = tag; }

    // The text above the progress bar (Windows-1252 bytes).
    void SetText(const std::string& text);
    [[nodiscard]] std::string Text() const;

    // Runs on every showing: "Please wait...", progress 0, done false, cancel not allowed.
    void FormShow();
    // The timer's tick: visible := not done.
    void Timer1Timer();

    QFrame* Bevel1 = nullptr;
    QLabel* Label1 = nullptr;
    QTimer* Timer1 = nullptr;
    QProgressBar* ProgressBar = nullptr;

    // Puts the window on the screen at once when it becomes visible.
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

public slots:
    // Esc and the window system's close both end here; refused while cancel is not allowed.
    void reject() override;

private:
    // The window's current text and progress on the screen now (not while a showing is under way:
    // that ends by painting it).
    void ShowProgressNow();

    bool done_ = true;
    bool showing_ = false;
    int tag_ = 0;
};
