#pragma once
// A plain window of the program that shows a text file read-only: the help file when the desktop
// has no program for it. One viewer per owner; showing another file reuses it.
//
// Thread: GUI thread. Ownership: the viewer is a child window of its owner (deleted with it) or,
// without an owner, deletes itself when closed. Failure: ShowFile returns null for a file that
// cannot be read or is not text; nothing throws.
#include <QDialog>

#include <string>

class QPlainTextEdit;
class QPushButton;

class TTextViewer : public QDialog {
    Q_OBJECT

public:
    explicit TTextViewer(QWidget* owner = nullptr);

    // Shows file's text (UTF-8, else the Windows code page) in owner's viewer, made when owner
    // has none; the window is not modal. Null when the file cannot be read or holds NUL bytes.
    static TTextViewer* ShowFile(const std::string& file, QWidget* owner);
    // True when text has no NUL byte: a binary file is not shown as text.
    [[nodiscard]] static bool IsText(const std::string& text);

    QPlainTextEdit* Text = nullptr;
    QPushButton* CloseButton = nullptr;
};
