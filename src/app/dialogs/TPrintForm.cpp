#include "app/dialogs/TPrintForm.h"

#include "app/dialogs/BitmapToQImage.h"
#include "app/dialogs/PrintJobOptions.h"
#include "platform/system/Exception.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/PaintNow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintEngine>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace {

QString Text(const std::string& text)
{
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// The print server speaks UTF-8 (printer names, its reasons); the program's texts are ANSI.
QString FromServer(const std::string& text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string AnsiFromServer(const std::string& text)
{
    return FromServer(text).toLatin1().toStdString();
}

// The print engine's property that holds the printer's own options chosen in the set-up dialog,
// as name and value after each other.
constexpr auto kPrinterOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

// What the printer object says about the job beyond the page itself.
std::vector<std::pair<std::string, std::string>> JobOptionsOf(QPrinter& printer)
{
    const QStringList own = printer.outputFormat() == QPrinter::NativeFormat
                                ? printer.printEngine()->property(kPrinterOptions).toStringList()
                                : QStringList();
    return JobOptions(printer.pageLayout(), printer.copyCount(), printer.collateCopies(), printer.duplex(), own);
}

// The job's name in the queue: the program's and the riff's, in the server's UTF-8.
std::string JobTitle(const std::string& riffTitle)
{
    const QString program = QCoreApplication::applicationName();
    const QString riff = Text(riffTitle);
    if (riff.isEmpty())
        return program.toStdString();
    return (program.isEmpty() ? riff : program + " - " + riff).toStdString();
}

}  // namespace

struct TPrintForm::Listing {
    std::mutex mutex;
    std::condition_variable answered;
    TPrintForm* form = nullptr;  // the dialog to tell; null once it has gone
    bool done = false;
    TPrinterList answer;
};

TPrintForm::TPrintForm(QWidget* parent, std::shared_ptr<TPrintSpooler> spooler)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      spooler_(spooler ? std::move(spooler) : SystemPrintSpooler())
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

TPrintForm::~TPrintForm()
{
    // The worker keeps waiting for the server on its own; its answer is dropped.
    if (listing_) {
        const std::lock_guard<std::mutex> lock(listing_->mutex);
        listing_->form = nullptr;
    }
}

QPrinter& TPrintForm::Printer()
{
    // Made on demand: making it asks the print server, which must not hold the program's start.
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer_->setPageOrientation(orientation_);
    }
    return *printer_;
}

QPageLayout::Orientation TPrintForm::Orientation() const
{
    return printer_ ? printer_->pageLayout().orientation() : orientation_;
}

void TPrintForm::DirectPrinter(QPrinter& printer, const std::string& name)
{
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(FromServer(name));
}

void TPrintForm::StartListing()
{
    if (listing_)
        return;
    auto listing = std::make_shared<Listing>();
    listing->form = this;
    // Detached: the spooler bounds the wait, and neither closing the dialog nor ending the
    // program waits for it.
    std::thread([listing, spooler = spooler_] {
        TPrinterList list;
        try {
            list = spooler->ListPrinters();
        } catch (const std::exception& error) {
            list = TPrinterList{{}, {}, error.what()};
        }
        const std::lock_guard<std::mutex> lock(listing->mutex);
        listing->answer = std::move(list);
        listing->done = true;
        listing->answered.notify_all();
        // Posted while the dialog cannot go away; a dialog that goes before it runs drops it.
        if (TPrintForm* form = listing->form)
            QMetaObject::invokeMethod(form, [form, listing] { form->ListArrived(listing); }, Qt::QueuedConnection);
    }).detach();
    listing_ = std::move(listing);
    ShowPrinterList();
}

void TPrintForm::ListArrived(const std::shared_ptr<Listing>& listing)
{
    if (listing != listing_)
        return;
    TakeListing();
    if (isVisible() && printerNames_.empty() && !listError_.empty())
        ShowMessage("No printer available: " + listError_);
}

void TPrintForm::TakeListing()
{
    if (!listing_)
        return;
    const std::shared_ptr<Listing> listing = std::move(listing_);
    TPrinterList answer;
    {
        std::unique_lock<std::mutex> lock(listing->mutex);
        listing->answered.wait(lock, [&] { return listing->done; });
        answer = std::move(listing->answer);
    }
    ApplyPrinterList(std::move(answer));
}

void TPrintForm::ApplyPrinterList(TPrinterList list)
{
    printerNames_ = std::move(list.names);
    listError_ = AnsiFromServer(list.error);
    listed_ = true;
    if (!printerNames_.empty()) {
        // The printer chosen before stays chosen while it exists; otherwise the system's default,
        // or the first one.
        const auto has = [&](const std::string& name) {
            return !name.empty() && std::find(printerNames_.begin(), printerNames_.end(), name) != printerNames_.end();
        };
        if (!has(currentPrinter_))
            SetCurrentPrinter(has(list.defaultName) ? list.defaultName : printerNames_.front());
    }
    ShowPrinterList();
}

void TPrintForm::ShowPrinterList()
{
    const QSignalBlocker blockPrinters(Printers);
    const QSignalBlocker blockOrient(PageOrient);
    Printers->clear();
    for (const std::string& name : printerNames_)
        Printers->addItem(FromServer(name));
    Printers->setPlaceholderText(ListingPrinters()    ? QStringLiteral("Looking for printers...")
                                 : listError_.empty() ? QString()
                                                      : QStringLiteral("No printer available"));
    Printers->setToolTip(Text(listError_));
    if (!printerNames_.empty()) {
        Printers->setCurrentIndex(PrinterIndex());
        PageOrient->setCurrentIndex(Orientation() == QPageLayout::Landscape ? 1 : 0);
    }
}

void TPrintForm::SetCurrentPrinter(const std::string& name)
{
    if (name == currentPrinter_)
        return;
    // A printer takes its own page defaults; the orientation the dialog shows is kept.
    const QPageLayout::Orientation orientation = Orientation();
    currentPrinter_ = name;
    DirectPrinter(Printer(), name);
    Printer().setPageOrientation(orientation);
}

int TPrintForm::PrinterIndex() const
{
    const auto it = std::find(printerNames_.begin(), printerNames_.end(), currentPrinter_);
    return currentPrinter_.empty() || it == printerNames_.end() ? -1 : int(it - printerNames_.begin());
}

void TPrintForm::FormShow()
{
    if (ImageAlign->currentIndex() < 0) {
        const QSignalBlocker blockAlign(ImageAlign);
        ImageAlign->setCurrentIndex(0);
    }
    StartListing();
}

void TPrintForm::PrintersChange()
{
    const int index = Printers->currentIndex();
    if (index >= 0 && index < int(printerNames_.size()))
        SetCurrentPrinter(printerNames_[std::size_t(index)]);
}

void TPrintForm::PageOrientChange()
{
    orientation_ = PageOrient->currentIndex() != 0 ? QPageLayout::Landscape : QPageLayout::Portrait;
    if (printer_)
        printer_->setPageOrientation(orientation_);
}

void TPrintForm::Button3Click()
{
    // The set-up dialog asks the server itself, on this thread and without a time limit: a server
    // that could not be asked just now is not asked again here.
    TakeListing();
    if (printerNames_.empty() && !listError_.empty()) {
        ShowMessage("No printer available: " + listError_);
        return;
    }
    if (!PrnSet) {
        PrnSet = new QPrintDialog(&Printer(), this);
        PrnSet->setObjectName("PrnSet");
        // Printer and page set-up only: what to print is this dialog's own choice.
        PrnSet->setOptions(QAbstractPrintDialog::PrintShowPageSize);
    }
    if (PrnSet->exec() != QDialog::Accepted)
        return;
    // The set-up dialog may have chosen another printer and orientation.
    orientation_ = Printer().pageLayout().orientation();
    const std::string chosen = Printer().printerName().toStdString();
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

void TPrintForm::PrintGraphic(TGraphic* picture, const std::string& riffTitle)
{
    if (ListingPrinters())
        TakeListing();
    else if (!listed_)
        ApplyPrinterList(spooler_->ListPrinters());
    if (PrinterIndex() < 0) {
        ShowMessage(listError_.empty() ? "No printer selected" : "No printer available: " + listError_);
        return;
    }
    try {
        const QImage image = picture ? BitmapToQImage(*picture) : QImage();
        if (image.isNull())
            throw Exception("there is no picture to print");
        const std::string title = JobTitle(riffTitle);
        // The page goes to the server as a PDF document laid out as the printer's page.
        QTemporaryFile document(QDir::tempPath() + "/korvane-page-XXXXXX.pdf");
        if (!document.open())
            throw Exception("cannot write the page: " + document.errorString().toStdString());
        {
            QPdfWriter writer(&document);
            writer.setPageLayout(Printer().pageLayout());
            writer.setResolution(Printer().resolution());
            writer.setTitle(QString::fromStdString(title));
            writer.setCreator(QCoreApplication::applicationName());
            QPainter painter;
            if (!painter.begin(&writer))
                throw Exception("the printer cannot start the document");
            const int pageWidth = writer.width();
            const int pageHeight = writer.height();
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
        }
        if (!document.flush() || document.error() != QFileDevice::NoError)
            throw Exception("cannot write the page: " + document.errorString().toStdString());
        // The server may take seconds to answer, and nothing is drawn meanwhile: the windows this
        // dialog covered are put right first, so that no picture of it stays on the screen.
        if (QWidget* owner = parentWidget())
            PaintNow(owner);
        const TPrintJobResult job = spooler_->Submit(
            {currentPrinter_, QFile::encodeName(document.fileName()).toStdString(), title, JobOptionsOf(Printer())});
        if (job.jobId <= 0 && job.mayPrint) {
            // Not an error: printing again could give two pages.
            ShowMessage("The page may still print: " + AnsiFromServer(job.error) +
                        ". Look in the printer's queue before printing it again.");
        } else if (job.jobId <= 0) {
            throw Exception(job.error.empty() ? std::string("the print server did not take the job")
                                              : AnsiFromServer(job.error));
        }
    } catch (const std::exception& error) {
        throw Exception(std::string("Error while printing page:") + error.what());
    }
}
