#pragma once
// The riff list dialog: the riffs of the mode in a grid, filtered, sorted and played from here.
// Created at start-up and kept until the program ends; the main window's first activation gives it
// its column font sizes and hints.
//
// Thread: GUI thread only.
#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTableWidget;
class TDVContext;

class TRiffListDlg : public QDialog {
    Q_OBJECT

public:
    explicit TRiffListDlg(QWidget* parent = nullptr);
    ~TRiffListDlg() override;

    // Column titles, one per grid column.
    [[nodiscard]] const std::vector<std::string>& ColumnTitles() const { return columnTitles_; }
    // Font size of each grid column: 8 at creation.
    [[nodiscard]] const std::vector<int>& ColumnFontSizes() const { return columnFontSizes_; }
    // Takes the sizes from the context's "ColumnFontSize" array, one per column it holds.
    void SetColumnFontSizes(TDVContext* context);
    // Gives every named control the hint of its name from the context's "Hints" list ("|" is a
    // line break); an empty hint shows none.
    void SetHints(TDVContext* context);

    QTableWidget* Grid = nullptr;
    QPushButton* PlayButton = nullptr;
    QPushButton* StopButton = nullptr;
    QPushButton* PlayVideoButton = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QGroupBox* FilterGroup = nullptr;
    QComboBox* ColumnCombo = nullptr;
    QLineEdit* ContainsEdit = nullptr;
    QPushButton* ApplyFilterButton = nullptr;
    QPushButton* RemoveFilterButton = nullptr;

private:
    std::vector<std::string> columnTitles_{"Riff", "HotKey", "Description", "Difficulty", "Bars", "Transcription"};
    std::vector<int> columnFontSizes_ = std::vector<int>(6, 8);
};
