#include "app/dialogs/TRiffListDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

#include "app/dialogs/BitmapToQImage.h"
#include "app/dialogs/TDrawGrid.h"
#include "config/TDVContext.h"
#include "platform/ui/EventBridge.h"
#include "platform/ui/HintTiming.h"
#include "platform/ui/MessageBox.h"
#include "sound/TWaveScene.h"

namespace {

constexpr int kSortableColumns = 5;        // "Transcription" never sorts
constexpr int kRowHeight = 62;
constexpr int kTitleRowHeight = 16;
constexpr int kTitleFontSize = 8;
constexpr int kRepeatAfterList = 10000;    // the riffs loop again once the list is closed
const QColor kSortColumnColour(242, 242, 242);

QString Text(const std::string& s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

QPushButton* Button(QWidget* parent, const char* name, const char* caption)
{
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

bool IsWithin(const QObject* object, const QWidget* ancestor)
{
    for (; object != nullptr; object = object->parent())
        if (object == ancestor)
            return true;
    return false;
}

}  // namespace

TRiffListDlg::TRiffListDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName("RiffListDlg");
    setWindowTitle("Riff list");

    Grid = new TDrawGrid(6, this);
    Grid->setObjectName("Grid");

    PlayButton = Button(this, "PlayButton", "&Play Riff");
    StopButton = Button(this, "StopButton", "&Stop Riff");
    PlayVideoButton = Button(this, "PlayVideoButton", "Play &Video");
    OkButton = Button(this, "OkButton", "&OK");
    CancelButton = Button(this, "CancelButton", "Cancel");

    FilterGroup = new QGroupBox(" Filter ", this);
    FilterGroup->setObjectName("FilterGroup");
    ColumnCombo = new QComboBox(FilterGroup);
    ColumnCombo->setObjectName("ColumnCombo");
    ContainsEdit = new QLineEdit(FilterGroup);
    ContainsEdit->setObjectName("ContainsEdit");
    ApplyFilterButton = Button(FilterGroup, "ApplyFilterButton", "Apply &Filter");
    RemoveFilterButton = Button(FilterGroup, "RemoveFilterButton", "&Remove Filter");
    auto* columnLabel = new QLabel("Co&lumn", FilterGroup);
    columnLabel->setBuddy(ColumnCombo);
    auto* containsLabel = new QLabel("&Contains:", FilterGroup);
    containsLabel->setBuddy(ContainsEdit);
    auto* filter = new QGridLayout(FilterGroup);
    filter->addWidget(columnLabel, 0, 0);
    filter->addWidget(ColumnCombo, 0, 1);
    filter->addWidget(containsLabel, 1, 0);
    filter->addWidget(ContainsEdit, 1, 1);
    filter->addWidget(ApplyFilterButton, 0, 2);
    filter->addWidget(RemoveFilterButton, 1, 2);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {PlayButton, StopButton, PlayVideoButton})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Grid, 1);
    layout->addWidget(FilterGroup);
    layout->addLayout(buttons);
    resize(900, 600);
    // The hints of the dialog's widgets keep the program's hint timing ("Show fly-by hints").
    FollowApplicationHintTiming(this);

    auto bind = [this](QPushButton* button, void (TRiffListDlg::*handler)()) {
        connect(button, &QPushButton::clicked, this, [this, handler] { CallEventHandler([&] { (this->*handler)(); }); });
    };
    bind(PlayButton, &TRiffListDlg::PlayButtonClick);
    bind(StopButton, &TRiffListDlg::StopButtonClick);
    bind(PlayVideoButton, &TRiffListDlg::PlayVideoButtonClick);
    bind(OkButton, &TRiffListDlg::OkButtonClick);
    bind(CancelButton, &TRiffListDlg::CancelButtonClick);
    bind(ApplyFilterButton, &TRiffListDlg::ApplyFilterButtonClick);
    bind(RemoveFilterButton, &TRiffListDlg::RemoveFilterButtonClick);

    Grid->OnDrawCell = [this](QPainter& p, int column, int row, const QRect& rect, bool selected) {
        GridDrawCell(p, column, row, rect, selected);
    };
    Grid->OnMouseMove = [this](int column, int row) { GridMouseMove(column, row); };
    Grid->OnMouseDown = [this](int column, int row) { CallEventHandler([&] { GridMouseDown(column, row); }); };
    Grid->OnDblClick = [this] { CallEventHandler([&] { GridDblClick(); }); };
    Grid->OnMouseWheel = [this](bool down) { down ? GridMouseWheelDown() : GridMouseWheelUp(); };

    // Key preview and the form's wheel: every control's events pass the form first.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);

    FormCreate();
}

TRiffListDlg::~TRiffListDlg() = default;

void TRiffListDlg::FormCreate()
{
    columnTitles_ = {"Riff", "HotKey", "Description", "Difficulty", "Bars"};
    for (const std::string& title : columnTitles_)
        ColumnCombo->addItem(Text(title));
    columnTitles_.push_back("Transcription");
    filterText_.clear();
    filterColumn_ = -1;
    const int widths[] = {60, 80, 160, 100, 60, 600};
    for (int i = 0; i < Grid->ColCount(); ++i)
        Grid->SetColWidth(i, widths[i]);
    ColumnCombo->setCurrentIndex(0);
    columnFontSizes_.assign(std::size_t(Grid->ColCount()), 8);
}

void TRiffListDlg::SetColumnFontSizes(TDVContext* context)
{
    if (!context || !context->Exists("ColumnFontSize"))
        return;
    const int count = std::min<int>(context->GetCount("ColumnFontSize"), int(columnFontSizes_.size()));
    for (int i = 0; i < count; ++i)
        columnFontSizes_[std::size_t(i)] = context->GetIntegerAt("ColumnFontSize[#]", i + 1);
}

void TRiffListDlg::SetHints(TDVContext* context)
{
    if (!context || !context->Exists("Hints"))
        return;
    for (QWidget* control : findChildren<QWidget*>()) {
        const std::string name = control->objectName().toLatin1().toStdString();
        if (name.empty())
            continue;
        QString hint = Text(context->GetStringByID("Hints[#]", name));
        hint.replace('|', '\n');
        control->setToolTip(hint);
    }
}

RiffInfo* TRiffListDlg::ShownRow(int row) const
{
    if (row < 1 || std::size_t(row) > shownRows_.size())
        return nullptr;
    return shownRows_[std::size_t(row) - 1];
}

std::string TRiffListDlg::CellText(int column, int row) const
{
    const RiffInfo* info = ShownRow(row);
    return info != nullptr ? info->ColumnText(column) : std::string();
}

void TRiffListDlg::showEvent(QShowEvent* event)
{
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
    CallEventHandler([this] { FormShow(); });
}

void TRiffListDlg::done(int result)
{
    CallEventHandler([this] { FormClose(); });
    QDialog::done(result);
}

void TRiffListDlg::FormShow()
{
    Rebuild();
    SelectCurrentRiff();
}

void TRiffListDlg::FormClose()
{
    WaveScene.StopAllInstances();
    for (const RiffInfo& info : rows_) {
        try {
            WaveScene.SetInstanceRepeat(info.riff, kRepeatAfterList);
        } catch (const std::exception&) {
            // A binding that names no loaded riff has no instance to give back.
        }
    }
}

void TRiffListDlg::Rebuild()
{
    shownRows_.clear();
    const QString filter = Text(filterText_);
    for (RiffInfo& info : rows_)
        if (filterColumn_ == -1 || Text(info.ColumnText(filterColumn_)).toUpper().contains(filter))
            shownRows_.push_back(&info);
    Sort(sortColumn_, ascending_);
    Grid->SetDefaultRowHeight(kRowHeight);
    Grid->SetRowCount(int(std::max<std::size_t>(shownRows_.size(), 1)) + 1);
    Grid->SetTitleRowHeight(kTitleRowHeight);
    Grid->InvalidateCells();
}

void TRiffListDlg::Sort(int column, bool ascending)
{
    // A consistent comparison settles within one pass per row; the bound keeps an inconsistent
    // one from swapping forever.
    const std::size_t n = shownRows_.size();
    bool swapped = true;
    for (std::size_t pass = 0; swapped && pass <= n; ++pass) {
        swapped = false;
        for (std::size_t i = 0; i + 1 < n; ++i) {
            const int c = CompareRows(*shownRows_[i], *shownRows_[i + 1], column);
            if (c != 0 && (c > 0) == ascending) {
                std::swap(shownRows_[i], shownRows_[i + 1]);
                swapped = true;
            }
        }
    }
}

void TRiffListDlg::SelectCurrentRiff()
{
    if (SelectedRiff.empty())
        return;
    for (std::size_t k = 0; k < shownRows_.size(); ++k)
        if (shownRows_[k]->riff == SelectedRiff) {
            Grid->SetRow(int(k) + 1);
            Grid->SetTopRow(std::max(1, int(k) - Grid->VisibleRowCount() / 2));
            return;
        }
}

void TRiffListDlg::GridDrawCell(QPainter& painter, int column, int row, const QRect& rect, bool selected)
{
    const QPalette& colours = palette();
    QColor textColour;
    if (row == 0) {
        painter.fillRect(rect, colours.color(QPalette::Active, QPalette::Button));
        textColour = colours.color(QPalette::Active, QPalette::ButtonText);
    } else if (selected) {
        painter.fillRect(rect, colours.color(QPalette::Active, QPalette::Highlight));
        textColour = colours.color(QPalette::Active, QPalette::HighlightedText);
    } else {
        painter.fillRect(rect, column == sortColumn_ ? kSortColumnColour : QColor(Qt::white));
        textColour = colours.color(QPalette::Active, QPalette::ToolTipText);
    }

    std::string text;
    if (row == 0) {
        if (column >= 0 && std::size_t(column) < columnTitles_.size())
            text = columnTitles_[std::size_t(column)];
    } else if (const RiffInfo* info = ShownRow(row)) {
        if (column < kSortableColumns) {
            text = info->ColumnText(column);
        } else if (column == kSortableColumns) {
            if (info->thumbnail && !info->thumbnail->Empty()) {
                painter.setClipRect(rect);
                painter.drawImage(rect.topLeft(), BitmapToQImage(*info->thumbnail));
            } else {
                text = "no image";
            }
        }
    }
    if (text.empty())
        return;
    QFont font = painter.font();
    const int size = row == 0 || column < 0 || std::size_t(column) >= columnFontSizes_.size()
                         ? kTitleFontSize
                         : columnFontSizes_[std::size_t(column)];
    font.setPointSize(std::max(size, 1));
    painter.setFont(font);
    painter.setPen(textColour);
    painter.drawText(rect, Qt::AlignCenter | Qt::TextWordWrap, Text(text));
}

void TRiffListDlg::GridMouseMove(int column, int row)
{
    const bool sortable = row == 0 && column >= 0 && column < kSortableColumns;
    Grid->SetTitleCursor(sortable ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TRiffListDlg::GridMouseDown(int column, int row)
{
    if (Grid->TitleCursor() != Qt::PointingHandCursor || row != 0 || column < 0 || column >= kSortableColumns)
        return;
    if (column == sortColumn_)
        ascending_ = !ascending_;
    sortColumn_ = column;
    Rebuild();
}

void TRiffListDlg::GridDblClick()
{
    PlayButtonClick();
}

void TRiffListDlg::GridMouseWheelDown()
{
    Grid->SetTopRow(std::min(Grid->TopRow() + 1, Grid->RowCount() - 1));
}

void TRiffListDlg::GridMouseWheelUp()
{
    Grid->SetTopRow(std::max(Grid->TopRow() - 1, 1));
}

void TRiffListDlg::FormMouseWheel()
{
    Grid->setFocus();
}

void TRiffListDlg::PlayButtonClick()
{
    const RiffInfo* info = ShownRow(Grid->Row());
    if (info == nullptr) {
        Beep();
        return;
    }
    if (info->riff == SelectedRiff && WaveScene.IsInstancePlaying(info->riff)) {
        WaveScene.StopAllInstances();
        return;
    }
    WaveScene.StopAllInstances();
    SelectedRiff = info->riff;
    SelectedSet = info->set;
    WaveScene.SetInstanceVolume(info->riff, 50, RiffVolume, 0);
    WaveScene.PlayInstance(info->riff, 0, nullptr, -1, -1);
}

void TRiffListDlg::StopButtonClick()
{
    WaveScene.StopAllInstances();
}

void TRiffListDlg::PlayVideoButtonClick()
{
    const RiffInfo* info = ShownRow(Grid->Row());
    if (info == nullptr) {
        Beep();
        return;
    }
    WaveScene.StopAllInstances();
    if (ShowRiffVideo)
        ShowRiffVideo(info->riff);
}

void TRiffListDlg::ApplyFilterButtonClick()
{
    if (ContainsEdit->text().isEmpty()) {
        Beep();
        ContainsEdit->setFocus();
        return;
    }
    filterText_ = ContainsEdit->text().toUpper().toLatin1().toStdString();
    filterColumn_ = ColumnCombo->currentIndex();
    Rebuild();
    Grid->setFocus();
}

void TRiffListDlg::RemoveFilterButtonClick()
{
    filterText_.clear();
    filterColumn_ = -1;
    Rebuild();
}

void TRiffListDlg::OkButtonClick()
{
    accept();
}

void TRiffListDlg::CancelButtonClick()
{
    reject();
}

bool TRiffListDlg::FormKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (key == Qt::Key_Space) {
        // A filter text may hold blanks.
        if (ContainsEdit->hasFocus())
            return false;
        PlayButtonClick();
        return true;
    }
    if (key == Qt::Key_Escape) {
        reject();
        return true;
    }
    if (!(modifiers & Qt::AltModifier))
        return false;
    switch (key) {
    case Qt::Key_C:
        ContainsEdit->setFocus();
        return true;
    case Qt::Key_F:
        ApplyFilterButtonClick();
        return true;
    case Qt::Key_L:
        ColumnCombo->setFocus();
        return true;
    case Qt::Key_R:
        RemoveFilterButtonClick();
        return true;
    case Qt::Key_S:
        StopButtonClick();
        return true;
    case Qt::Key_P:
    case Qt::Key_V:
        // Their buttons' own mnemonics do the work.
        return true;
    default:
        return false;
    }
}

bool TRiffListDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        // Once per key: at the focused control, or at the form when no control has the focus.
        QWidget* focus = QApplication::focusWidget();
        const bool here = watched == focus || (watched == this && !IsWithin(focus, this));
        if (!here)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        bool used = false;
        CallEventHandler([&] { used = FormKeyDown(key->key(), key->modifiers()); });
        return used;
    }
    if (event->type() == QEvent::Wheel) {
        CallEventHandler([this] { FormMouseWheel(); });
        // Over the data rows the grid takes the step itself; anywhere else the step is the grid's.
        if (IsWithin(watched, Grid->viewport()))
            return false;
        const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
        if (delta < 0)
            GridMouseWheelDown();
        else if (delta > 0)
            GridMouseWheelUp();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
