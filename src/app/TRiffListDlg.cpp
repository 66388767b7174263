#include "app/TRiffListDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "config/TDVContext.h"

namespace {

QString Text(const std::string& s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

QPushButton* Button(QWidget* parent, const char* name, const char* caption)
{
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

}  // namespace

TRiffListDlg::TRiffListDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName("RiffListDlg");
    setWindowTitle("Riff list");

    Grid = new QTableWidget(0, int(columnTitles_.size()), this);
    Grid->setObjectName("Grid");
    QStringList titles;
    for (const std::string& title : columnTitles_)
        titles << Text(title);
    Grid->setHorizontalHeaderLabels(titles);
    Grid->verticalHeader()->hide();
    Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

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
    resize(760, 480);

    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TRiffListDlg::~TRiffListDlg() = default;

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
