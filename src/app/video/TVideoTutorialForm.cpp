#include "app/video/TVideoTutorialForm.h"

#include <QFont>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// The item's sub-item: the entry's ID in the configuration.
constexpr int kIdRole = Qt::UserRole;
}  // namespace

TVideoTutorialForm::TVideoTutorialForm(QWidget* parent) : QDialog(parent)
{
    setObjectName("VideoTutorialForm");
    setWindowTitle("Video tutorial");
    List = new QListWidget(this);
    List->setObjectName("List");
    List->setViewMode(QListView::ListMode);
    QFont font = List->font();
    font.setPixelSize(16);
    List->setFont(font);
    Button2 = new QPushButton("Close", this);
    Button2->setObjectName("Button2");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(List);
    layout->addWidget(Button2, 0, Qt::AlignHCenter);
    resize(420, 320);
    connect(List, &QListWidget::itemClicked, this, [this] { ListClick(); });
    connect(List, &QListWidget::itemDoubleClicked, this, [this] { ListClick(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

TVideoTutorialForm::~TVideoTutorialForm() = default;

void TVideoTutorialForm::Clear()
{
    List->clear();
}

void TVideoTutorialForm::AddItem(const std::string& caption, const std::string& id)
{
    auto* item = new QListWidgetItem(QString::fromLatin1(caption.data(), qsizetype(caption.size())), List);
    item->setData(kIdRole, QString::fromLatin1(id.data(), qsizetype(id.size())));
}

int TVideoTutorialForm::ItemCount() const
{
    return List->count();
}

std::string TVideoTutorialForm::GetSelectedItem() const
{
    const QListWidgetItem* item = List->currentItem();
    if (!item || !item->isSelected())
        return {};
    return item->data(kIdRole).toString().toLatin1().toStdString();
}

void TVideoTutorialForm::ListClick()
{
    done(GetSelectedItem().empty() ? QDialog::Rejected : QDialog::Accepted);
}

void TVideoTutorialForm::Button2Click()
{
    done(QDialog::Rejected);
}

void TVideoTutorialForm::keyPressEvent(QKeyEvent* event)
{
    // The dialog's own Esc handling would reject on the press; the list answers on the release.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TVideoTutorialForm::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        done(QDialog::Rejected);
        return;
    }
    QDialog::keyReleaseEvent(event);
}
