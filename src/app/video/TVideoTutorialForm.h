#pragma once
// The list of tutorial videos: one item per entry of the configuration's "VideoHelp" list,
// captioned with the entry's description and carrying its ID. Created at start-up and kept until
// the program ends; the main window fills it on its first activation and shows it modally.
//
// Thread: GUI thread only.
#include <QDialog>

#include <string>

class QListWidget;
class QListWidgetItem;
class QPushButton;

class TVideoTutorialForm : public QDialog {
    Q_OBJECT

public:
    explicit TVideoTutorialForm(QWidget* parent = nullptr);
    ~TVideoTutorialForm() override;

    // Empties the list.
    void Clear();
    // Appends an item with the caption (Windows-1252 bytes) and the entry's ID as its sub-item.
    void AddItem(const std::string& caption, const std::string& id);
    [[nodiscard]] int ItemCount() const;

    // The ID of the selected item, or an empty text when none is selected.
    [[nodiscard]] std::string GetSelectedItem() const;

    // A click (or double click) on the list: OK when an item is selected, else Cancel.
    void ListClick();
    // "Close": Cancel.
    void Button2Click();

    QListWidget* List = nullptr;
    QPushButton* Button2 = nullptr;

protected:
    // Esc gives Cancel (key preview: wherever the focus is).
    void keyReleaseEvent(QKeyEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};
