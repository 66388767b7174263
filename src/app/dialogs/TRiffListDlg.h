#pragma once
// The riff list dialog: the riffs of the mode in a grid, filtered, sorted and played from here.
// Created at start-up and kept until the program ends; the main window's first activation gives it
// its column font sizes and hints. The main window fills Rows() and the selected riff, runs the
// dialog modally and reads the selected riff back: the last riff played here (initially the
// current riff).
//
// The dialog plays riffs in the wave scene on its own, once each at the riff volume; the caller
// stops the rhythm section first. Closing stops every instance and gives each row's instance the
// repeat count 10000 again.
//
// Thread: GUI thread only. Failure: an error of a handler (an unknown wave-scene instance) is
// shown in the exception box and goes no further.
#include <QDialog>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/riffs/RiffInfo.h"
#include "platform/ui/TShiftState.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPainter;
class QPushButton;
class TDrawGrid;
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

    // The rows, in the order the main window found them; pointers to them stay valid while rows
    // are only appended.
    [[nodiscard]] std::deque<RiffInfo>& Rows() { return rows_; }
    // The rows shown, in display order.
    [[nodiscard]] const std::vector<RiffInfo*>& ShownRows() const { return shownRows_; }
    // The text a data cell shows (row from 1); empty past the shown rows and in column 5.
    [[nodiscard]] std::string CellText(int column, int row) const;

    // The dialog's result: the riff and binding set chosen.
    std::string SelectedRiff;
    TShiftState SelectedSet = 0;
    // Volume of the riffs played here, 0 .. 1.
    float RiffVolume = 1.0f;
    // Opens the riff video of a riff (the main window's riff video command).
    std::function<void(const std::string& riff)> ShowRiffVideo;

    [[nodiscard]] int SortColumn() const { return sortColumn_; }
    [[nodiscard]] bool Ascending() const { return ascending_; }
    [[nodiscard]] const std::string& FilterText() const { return filterText_; }
    [[nodiscard]] int FilterColumn() const { return filterColumn_; }

    // ---- handlers ----
    void FormShow();
    // Stops every instance; each row's riff instance gets the repeat count 10000.
    void FormClose();
    // The form sees every key first (key preview); true when the key was used.
    bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void FormMouseWheel();
    void GridDrawCell(QPainter& painter, int column, int row, const QRect& rect, bool selected);
    void GridMouseMove(int column, int row);
    void GridMouseDown(int column, int row);
    void GridDblClick();
    void GridMouseWheelDown();
    void GridMouseWheelUp();
    void PlayButtonClick();
    void StopButtonClick();
    void PlayVideoButtonClick();
    void ApplyFilterButtonClick();
    void RemoveFilterButtonClick();
    void OkButtonClick();
    void CancelButtonClick();

    // ---- the list's own operations ----
    // Shows the rows that pass the filter, sorted, and sizes the grid for them.
    void Rebuild();
    // Bubble-sorts the shown rows by a column: neighbours swap only when they differ.
    void Sort(int column, bool ascending);
    [[nodiscard]] static int CompareRows(const RiffInfo& a, const RiffInfo& b, int column)
    {
        return CompareRiffRows(a, b, column);
    }
    // Selects the first shown row of the selected riff and scrolls it to the middle of the view.
    void SelectCurrentRiff();

    TDrawGrid* Grid = nullptr;
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

public slots:
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    // The shown row of a grid row (from 1); null past the shown rows.
    [[nodiscard]] RiffInfo* ShownRow(int row) const;

    std::vector<std::string> columnTitles_;
    std::string filterText_;
    int filterColumn_ = -1;
    std::deque<RiffInfo> rows_;
    std::vector<RiffInfo*> shownRows_;
    int sortColumn_ = 0;
    bool ascending_ = true;
    std::vector<int> columnFontSizes_;
};
