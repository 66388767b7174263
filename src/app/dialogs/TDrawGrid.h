#pragma once
// A grid whose cells its owner draws, counted as the class library's draw grid counts them: row 0
// is the one fixed title row, data rows follow from 1, all of one height; columns start at 0 and
// the user sizes them by dragging the title row's edges. Whole rows are selected, one at a time;
// there is always a selected row.
//
// Thread: GUI thread only. The handlers are called from Qt's event and paint handling; they must
// not throw.
#include <QTableView>

#include <functional>

class QPainter;

class TDrawGrid : public QTableView {
    Q_OBJECT

public:
    explicit TDrawGrid(int colCount, QWidget* parent = nullptr);
    ~TDrawGrid() override;

    [[nodiscard]] int ColCount() const;
    // Rows with the title row; a count below 2 keeps one data row. The selected row stays where
    // it was, or moves to the last row when that one is gone.
    [[nodiscard]] int RowCount() const;
    void SetRowCount(int count);
    [[nodiscard]] int DefaultRowHeight() const;
    void SetDefaultRowHeight(int height);
    [[nodiscard]] int TitleRowHeight() const;
    void SetTitleRowHeight(int height);
    [[nodiscard]] int ColWidth(int column) const;
    void SetColWidth(int column, int width);

    // The selected data row, 1 .. RowCount() - 1.
    [[nodiscard]] int Row() const;
    void SetRow(int row);
    // The first data row in view; kept within what the scroll range allows.
    [[nodiscard]] int TopRow() const;
    void SetTopRow(int row);
    // The number of data rows that fit wholly into the view.
    [[nodiscard]] int VisibleRowCount() const;

    // The cursor the title row shows (outside its column edges, where the sizing cursor shows).
    [[nodiscard]] Qt::CursorShape TitleCursor() const { return titleCursor_; }
    void SetTitleCursor(Qt::CursorShape shape);

    // Draws one cell: column, row (0: the title row), the cell's rectangle, whether it belongs to
    // the selected row. The painter is restored after each call.
    std::function<void(QPainter& painter, int column, int row, const QRect& rect, bool selected)> OnDrawCell;
    // The mouse moved over a cell with no button held (column -1 over a title edge).
    std::function<void(int column, int row)> OnMouseMove;
    // A mouse button went down on a title cell (also the second press of a double click).
    std::function<void(int column, int row)> OnMouseDown;
    // A double click on the data rows.
    std::function<void()> OnDblClick;
    // One wheel step (down: toward the end of the list); without a handler the grid scrolls as
    // Qt's views do.
    std::function<void(bool down)> OnMouseWheel;

    // Repaints every cell (after the owner changed what they show).
    void InvalidateCells();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    class Model;
    class Header;
    class Delegate;

    Model* model_ = nullptr;
    Header* header_ = nullptr;
    Qt::CursorShape titleCursor_ = Qt::ArrowCursor;
    int wheelRest_ = 0;  // part of a wheel step not yet used (fine-grained wheels and pads)
};
