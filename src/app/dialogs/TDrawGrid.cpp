#include "app/dialogs/TDrawGrid.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr int kMaxColWidth = 4096;

}  // namespace

// The grid holds no data: its owner draws every cell. The model only gives the views their
// counts; rows come and go by insertion and removal, never by a reset, which would give every
// column its default width again.
class TDrawGrid::Model : public QAbstractTableModel {
public:
    Model(int cols, QObject* parent) : QAbstractTableModel(parent), cols_(cols) {}

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : cols_; }
    QVariant data(const QModelIndex&, int) const override { return {}; }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    void SetRows(int rows)
    {
        if (rows > rows_) {
            beginInsertRows({}, rows_, rows - 1);
            rows_ = rows;
            endInsertRows();
        } else if (rows < rows_) {
            beginRemoveRows({}, rows, rows_ - 1);
            rows_ = rows;
            endRemoveRows();
        }
    }

private:
    int rows_ = 1;
    int cols_;
};

// The title row: drawn by the owner like any cell; it shows the owner's cursor except over a
// column edge, where Qt's own sizing cursor shows.
class TDrawGrid::Header : public QHeaderView {
public:
    explicit Header(TDrawGrid* grid) : QHeaderView(Qt::Horizontal, grid), grid_(grid)
    {
        setMouseTracking(true);
        setSectionsClickable(false);
        setHighlightSections(false);
        setSectionResizeMode(QHeaderView::Interactive);
        setStretchLastSection(false);
        setMinimumSectionSize(8);
    }

    void ShowOwnCursor(Qt::CursorShape shape)
    {
        if (shape == Qt::ArrowCursor) {
            if (ownCursor_)
                unsetCursor();
            ownCursor_ = false;
        } else {
            setCursor(shape);
            ownCursor_ = true;
        }
    }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        if (!rect.isValid())
            return;
        painter->save();
        if (grid_->OnDrawCell)
            grid_->OnDrawCell(*painter, logicalIndex, 0, rect, false);
        painter->restore();
        // The fixed cells' edges, as the grid lines of the data rows.
        painter->save();
        painter->setPen(palette().color(QPalette::Mid));
        painter->drawLine(rect.topRight(), rect.bottomRight());
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        painter->restore();
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        // Qt shows its sizing cursor only where no cursor of the header's own is set.
        if (ownCursor_) {
            unsetCursor();
            ownCursor_ = false;
        }
        QHeaderView::mouseMoveEvent(event);
        if (event->buttons() != Qt::NoButton || !grid_->OnMouseMove)
            return;
        if (testAttribute(Qt::WA_SetCursor)) {
            grid_->OnMouseMove(-1, 0);  // over an edge: Qt's sizing cursor stays
        } else {
            grid_->OnMouseMove(logicalIndexAt(event->position().toPoint()), 0);
            ShowOwnCursor(grid_->titleCursor_);
        }
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (!Press(event))
            QHeaderView::mousePressEvent(event);
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        if (!Press(event))
            QHeaderView::mouseDoubleClickEvent(event);
    }

private:
    // A press away from the column edges belongs to the owner; at an edge it starts the sizing.
    bool Press(QMouseEvent* event)
    {
        if (testAttribute(Qt::WA_SetCursor) && !ownCursor_)
            return false;
        if (grid_->OnMouseDown && event->button() == Qt::LeftButton)
            grid_->OnMouseDown(logicalIndexAt(event->position().toPoint()), 0);
        return true;
    }

    TDrawGrid* grid_;
    bool ownCursor_ = false;
};

class TDrawGrid::Delegate : public QStyledItemDelegate {
public:
    Delegate(TDrawGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (!grid_->OnDrawCell)
            return;
        painter->save();
        grid_->OnDrawCell(*painter, index.column(), index.row() + 1, option.rect,
                          (option.state & QStyle::State_Selected) != 0);
        painter->restore();
    }

private:
    TDrawGrid* grid_;
};

TDrawGrid::TDrawGrid(int colCount, QWidget* parent) : QTableView(parent)
{
    model_ = new Model(colCount, this);
    header_ = new Header(this);
    setModel(model_);
    setHorizontalHeader(header_);
    setItemDelegate(new Delegate(this));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTabKeyNavigation(false);
    setWordWrap(true);
    viewport()->setMouseTracking(true);
    SetDefaultRowHeight(24);
    SetTitleRowHeight(18);
    SetRow(1);
}

TDrawGrid::~TDrawGrid() = default;

int TDrawGrid::ColCount() const
{
    return model_->columnCount({});
}

int TDrawGrid::RowCount() const
{
    return model_->rowCount({}) + 1;
}

void TDrawGrid::SetRowCount(int count)
{
    const int row = Row();
    model_->SetRows(std::max(count, 2) - 1);
    SetRow(std::min(row, RowCount() - 1));
}

int TDrawGrid::DefaultRowHeight() const
{
    return verticalHeader()->defaultSectionSize();
}

void TDrawGrid::SetDefaultRowHeight(int height)
{
    verticalHeader()->setDefaultSectionSize(height);
}

int TDrawGrid::TitleRowHeight() const
{
    return header_->height();
}

void TDrawGrid::SetTitleRowHeight(int height)
{
    header_->setFixedHeight(height);
}

int TDrawGrid::ColWidth(int column) const
{
    return columnWidth(column);
}

void TDrawGrid::SetColWidth(int column, int width)
{
    // A column can neither vanish nor push the others out of any screen.
    setColumnWidth(column, std::clamp(width, horizontalHeader()->minimumSectionSize(), kMaxColWidth));
}

int TDrawGrid::Row() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + 1 : 1;
}

void TDrawGrid::SetRow(int row)
{
    row = std::clamp(row, 1, RowCount() - 1);
    const QModelIndex index = model_->index(row - 1, std::max(currentIndex().column(), 0));
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int TDrawGrid::TopRow() const
{
    return verticalScrollBar()->value() + 1;
}

void TDrawGrid::SetTopRow(int row)
{
    verticalScrollBar()->setValue(row - 1);
}

int TDrawGrid::VisibleRowCount() const
{
    const int height = DefaultRowHeight();
    return height > 0 ? viewport()->height() / height : 0;
}

void TDrawGrid::SetTitleCursor(Qt::CursorShape shape)
{
    titleCursor_ = shape;
    header_->ShowOwnCursor(shape);
}

void TDrawGrid::InvalidateCells()
{
    viewport()->update();
    header_->viewport()->update();
}

void TDrawGrid::wheelEvent(QWheelEvent* event)
{
    if (!OnMouseWheel) {
        QTableView::wheelEvent(event);
        return;
    }
    event->accept();
    wheelRest_ += event->angleDelta().y();
    while (wheelRest_ >= QWheelEvent::DefaultDeltasPerStep) {
        wheelRest_ -= QWheelEvent::DefaultDeltasPerStep;
        OnMouseWheel(false);
    }
    while (wheelRest_ <= -QWheelEvent::DefaultDeltasPerStep) {
        wheelRest_ += QWheelEvent::DefaultDeltasPerStep;
        OnMouseWheel(true);
    }
}

void TDrawGrid::mouseMoveEvent(QMouseEvent* event)
{
    QTableView::mouseMoveEvent(event);
    if (event->buttons() != Qt::NoButton || !OnMouseMove)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    OnMouseMove(index.isValid() ? index.column() : columnAt(event->position().toPoint().x()),
                index.isValid() ? index.row() + 1 : -1);
}

void TDrawGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (OnDblClick && event->button() == Qt::LeftButton)
        OnDblClick();
}
