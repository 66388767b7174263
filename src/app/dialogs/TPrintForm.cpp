#include "app/dialogs/TPrintForm.h"

#include "app/dialogs/BitmapToQImage.h"
#include "platform/system/Exception.h"
#include "platform/ui/MessageBox.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace {

QString Text(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

}  // namespace

TPrintForm::TPrintForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setObjectName("PrintForm");
    setWindowTitle("Print");
    setFixedSize(330, 196);

    PrintLast = new QRadioButton("print last riff played", this);
    PrintLast->setObjectName("PrintLast");
    PrintLast->setGeometry(18, 104, 290, 20);
    PrintLast->setChecked(true);

    PrintAll = new QRadioButton("print all riffs", this);
    PrintAll->setObjectName("PrintAll");
    PrintAll->setGeometry(18, 126, 290, 20);

    Button1 = new QPushButton("Print", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(160, 162, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TPrintForm::Button1Click);

    Button2 = new QPushButton("Cancel", this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(245, 162, 75, 25);
    connect(Button2, &QPushButton::clicked, this, &TPrintForm::Button2Click);

    Label1 = new QLabel("Printer:", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(10, 12, 60, 18);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(10, 98, 310, 54);
    Bevel1->lower();

    Printers = new QComboBox(this);
    Printers->setObjectName("Printers");
    Printers->setGeometry(70, 8, 176, 24);
    connect(Printers, &QComboBox::currentIndexChanged, this, &TPrintForm::PrintersChange);

    Button3 = new QPushButton("Setup", this);
    Button3->setObjectName("Button3");
    Button3->setGeometry(254, 8, 66, 24);
    connect(Button3, &QPushButton::clicked, this, &TPrintForm::Button3Click);

    PageOrient = new QComboBox(this);
    PageOrient->setObjectName("PageOrient");
    PageOrient->addItems({"Portrait", "Landscape"});
    PageOrient->setGeometry(130, 40, 116, 24);
    connect(PageOrient, &QComboBox::currentIndexChanged, this, &TPrintForm::PageOrientChange);

    Label2 = new QLabel("Page orientation:", this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(10, 44, 118, 18);

    Label3 = new QLabel("Image align:", this);
    Label3->setObjectName("Label3");
    Label3->setGeometry(10, 72, 118, 18);

    ImageAlign = new QComboBox(this);
    ImageAlign->setObjectName("ImageAlign");
    ImageAlign->addItems({"Center", "Top"});
    ImageAlign->setCurrentIndex(-1);
    ImageAlign->setGeometry(130, 68, 116, 24);
    connect(ImageAlign, &QComboBox::currentIndexChanged, this, &TPrintForm::PageOrientChange);
}

TPrintForm::~TPrintForm() = default;

std::vector<std::string> TPrintForm::SystemPrinterNames() const
{
    std::vector<std::string> names;
    for (const QString& name : QPrinterInfo::availablePrinterNames())
        names.push_back(name.toLatin1().toStdString());
    return names;
}

std::string TPrintForm::SystemDefaultPrinterName() const
{
    return QPrinterInfo::defaultPrinterName().toLatin1().toStdString();
}

void TPrintForm::DirectPrinter(QPrinter& printer, const std::string& name)
{
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(Text(name));
}

void TPrintForm::RefreshPrinterList()
{
    printerNames_ = SystemPrinterNames();
    listed_ = true;
    if (printerNames_.empty())
        return;
    // The printer chosen before stays chosen while it exists; otherwise the system's default,
    // or the first one.
    const auto has = [&](const std::string& name) {
        return !name.empty() && std::find(printerNames_.begin(), printerNames_.end(), name) != printerNames_.end();
    };
    if (has(currentPrinter_))
        return;
    const std::string fallback = SystemDefaultPrinterName();
    SetCurrentPrinter(has(fallback) ? fallback : printerNames_.front());
}

void TPrintForm::SetCurrentPrinter(const std::string& name)
{
    if (name == currentPrinter_)
        return;
    // A printer takes its own page defaults; the orientation the dialog shows is kept.
    const QPageLayout::Orientation orientation = printer_->pageLayout().orientation();
    currentPrinter_ = name;
    DirectPrinter(*printer_, name);
    printer_->setPageOrientation(orientation);
}

int TPrintForm::PrinterIndex() const
{
    const auto it = std::find(printerNames_.begin(), printerNames_.end(), currentPrinter_);
    return currentPrinter_.empty() || it == printerNames_.end() ? -1 : int(it - printerNames_.begin());
}

void TPrintForm::FormShow()
{
    RefreshPrinterList();
    const QSignalBlocker blockPrinters(Printers);
    const QSignalBlocker blockOrient(PageOrient);
    const QSignalBlocker blockAlign(ImageAlign);
    Printers->clear();
    for (const std::string& name : printerNames_)
        Printers->addItem(Text(name));
    if (!printerNames_.empty()) {
        Printers->setCurrentIndex(PrinterIndex());
        PageOrient->setCurrentIndex(printer_->pageLayout().orientation() == QPageLayout::Landscape ? 1 : 0);
    }
    if (ImageAlign->currentIndex() < 0)
        ImageAlign->setCurrentIndex(0);
}

void TPrintForm::PrintersChange()
{
    const int index = Printers->currentIndex();
    if (index >= 0 && index < int(printerNames_.size()))
        SetCurrentPrinter(printerNames_[std::size_t(index)]);
}

void TPrintForm::PageOrientChange()
{
    printer_->setPageOrientation(PageOrient->currentIndex() != 0 ? QPageLayout::Landscape : QPageLayout::Portrait);
}

void TPrintForm::Button3Click()
{
    if (!PrnSet) {
        PrnSet = new QPrintDialog(printer_.get(), this);
        PrnSet->setObjectName("PrnSet");
        // Printer and page set-up only: what to print is this dialog's own choice.
        PrnSet->setOptions(QAbstractPrintDialog::PrintShowPageSize);
    }
    if (PrnSet->exec() != QDialog::Accepted)
        return;
    // The set-up dialog may have chosen another printer.
    const std::string chosen = printer_->printerName().toLatin1().toStdString();
    if (!chosen.empty())
        currentPrinter_ = chosen;
    FormShow();
}

void TPrintForm::Button1Click()
{
    accept();
}

void TPrintForm::Button2Click()
{
    reject();
}

void TPrintForm::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TPrintForm::PrintGraphic(TGraphic* picture)
{
    if (!listed_)
        RefreshPrinterList();
    if (PrinterIndex() < 0) {
        ShowMessage("No printer selected");
        return;
    }
    try {
        const QImage image = picture ? BitmapToQImage(*picture) : QImage();
        if (image.isNull())
            throw Exception("there is no picture to print");
        QPainter painter;
        if (!painter.begin(printer_.get()))
            throw Exception("the printer cannot start the document");
        const int pageWidth = printer_->width();
        const int pageHeight = printer_->height();
        const double w0 = image.width();
        const double h0 = image.height();
        int w = 0;
        int h = 0;
        if (pageHeight / h0 >= pageWidth / w0) {
            w = int(std::trunc(pageWidth * 0.9));
            h = int(std::trunc(w / w0 * h0));
        } else {
            h = int(std::trunc(pageHeight * 0.9));
            w = int(std::trunc(h / h0 * w0));
        }
        const int left = (pageWidth - w) / 2;
        const int top = ImageAlign->currentIndex() == 1 ? int(std::trunc(pageHeight * 0.1)) : (pageHeight - h) / 2;
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(left, top, w, h), image);
        if (!painter.end())
            throw Exception("the printer cannot finish the document");
    } catch (const std::exception& error) {
        throw Exception(std::string("Error while printing page:") + error.what());
    }
}
