// The print dialog: the printer list and the printer object it keeps, orientation and alignment,
// what PrintGraphic puts on the page (read back with poppler's tools) and what it hands to the
// print server, whose answers are the test's.
#include "app/dialogs/TPrintForm.h"
#include "app/dialogs/PrintJobOptions.h"
#include "app/AppTestSupport.h"
#include "app/FakePrintSpooler.h"
#include "platform/ui/ApplicationInstance.h"
#include "platform/system/Exception.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TCanvas.h"

#include <QApplication>
#include <QComboBox>
#include <QPainter>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWindow>
#include <QPrinter>
#include <QRadioButton>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Every printer prints on the whole A4 page, so positions on the page are the picture's own; the
// fake server copies each job's document to pdfFile.
class PdfPrintForm : public TPrintForm {
public:
    explicit PdfPrintForm(std::shared_ptr<FakePrintSpooler> fake = std::make_shared<FakePrintSpooler>(),
                          QWidget* owner = nullptr)
        : TPrintForm(owner, fake), server(std::move(fake))
    {
    }
    std::shared_ptr<FakePrintSpooler> server;
    std::vector<std::string> directed;

protected:
    void DirectPrinter(QPrinter& printer, const std::string& name) override
    {
        directed.push_back(name);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setFullPage(true);
    }
};

std::string RunCommand(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

struct PdfPage {
    int pages = 0;
    double widthPts = 0;
    double heightPts = 0;
};

PdfPage ReadPdfInfo(const std::string& file)
{
    PdfPage info;
    std::istringstream lines(RunCommand("pdfinfo '" + file + "' 2>/dev/null"));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("Pages:", 0) == 0)
            info.pages = std::stoi(line.substr(6));
        else if (line.rfind("Page size:", 0) == 0)
            std::sscanf(line.c_str() + 10, "%lf x %lf", &info.widthPts, &info.heightPts);
    }
    return info;
}

// The dark part of the page rendered at 72 dpi (one pixel per point), as left, top, right,
// bottom in pixels (right and bottom exclusive); all -1 when the page is blank.
struct Box {
    int left = -1, top = -1, right = -1, bottom = -1;
};

Box DarkBox(const std::string& file, const std::string& prefix)
{
    RunCommand("pdftoppm -r 72 -gray -singlefile '" + file + "' '" + prefix + "' 2>/dev/null");
    std::ifstream in(prefix + ".pgm", std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maxValue = 0;
    in >> magic >> width >> height >> maxValue;
    in.get();
    Box box;
    if (magic != "P5" || width <= 0 || height <= 0)
        return box;
    std::vector<unsigned char> pixels(std::size_t(width) * std::size_t(height));
    in.read(reinterpret_cast<char*>(pixels.data()), std::streamsize(pixels.size()));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] < 128) {
                if (box.left < 0 || x < box.left)
                    box.left = x;
                if (box.top < 0)
                    box.top = y;
                box.right = std::max(box.right, x + 1);
                box.bottom = y + 1;
            }
    return box;
}

void FillBlack(TBitmap& bitmap, int width, int height)
{
    bitmap.SetSize(width, height);
    bitmap.Canvas()->Brush()->SetColor(clBlack);
    bitmap.Canvas()->FillRect(TRect(0, 0, width, height));
}

// Makes the application object before any widget of the fixture.
struct ApplicationReady {
    ApplicationReady() { EnsureApplication(); }
};

class PrintForm : public ::testing::Test {
protected:
    void SetUp() override { form.server->SetPdfFile(pdfFile); }

    // Prints a black picture of the given size and returns where it landed.
    Box PrintBlack(int width, int height)
    {
        TBitmap picture;
        FillBlack(picture, width, height);
        form.PrintGraphic(&picture);
        return DarkBox(pdfFile, (folder.path / "page").string());
    }

    ApplicationReady application;
    TempFolder folder;
    CapturedUi ui;
    PdfPrintForm form;
    const std::string pdfFile = (folder.path / "page.pdf").string();
};

TEST_F(PrintForm, ShowingListsThePrintersAndSelectsTheDefaultOne)
{
    ASSERT_TRUE(ShowPrinterList(form));
    ASSERT_EQ(form.Printers->count(), 2);
    EXPECT_EQ(form.Printers->itemText(0), "Office");
    EXPECT_EQ(form.Printers->itemText(1), "Pdf");
    EXPECT_EQ(form.Printers->currentIndex(), 1);
    EXPECT_EQ(form.PrinterIndex(), 1);
    EXPECT_EQ(form.ImageAlign->currentIndex(), 0);
    EXPECT_EQ(form.PageOrient->currentIndex(), 0);
    EXPECT_TRUE(form.PrintLast->isChecked());
    EXPECT_FALSE(form.PrintAll->isChecked());
}

TEST_F(PrintForm, ThePrinterListIsAskedForOffTheWindowsThreadAndFilledWhenItComes)
{
    form.server->SetGate(false);
    form.FormShow();
    EXPECT_TRUE(form.ListingPrinters());
    EXPECT_EQ(form.Printers->count(), 0);
    EXPECT_EQ(form.Printers->placeholderText(), "Looking for printers...");
    form.server->SetGate(true);
    ASSERT_TRUE(WaitForPrinterList(form));
    EXPECT_NE(form.server->ListedOn(), std::this_thread::get_id());
    EXPECT_EQ(form.Printers->count(), 2);
    EXPECT_EQ(form.Printers->currentIndex(), 1);
}

TEST_F(PrintForm, PrintingWhileTheListIsAskedForPrintsOnThePrinterOfTheAnswer)
{
    ASSERT_TRUE(ShowPrinterList(form));
    form.server->SetList({{"Office"}, "Office", {}});
    form.FormShow();
    TBitmap picture;
    FillBlack(picture, 10, 10);
    form.PrintGraphic(&picture);
    const std::vector<TPrintJob> jobs = form.server->Jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].printer, "Office") << "the printer that went away was printed on";
}

TEST_F(PrintForm, ClosingWhileTheListIsAskedForNeitherWaitsNorBreaks)
{
    const auto server = std::make_shared<FakePrintSpooler>();
    server->SetGate(false);
    auto dialog = std::make_unique<PdfPrintForm>(server);
    dialog->FormShow();
    ASSERT_TRUE(PumpEventsUntil([&] { return server->Listing() == 1; }));
    dialog.reset();
    EXPECT_EQ(server->Listing(), 1) << "closing waited for the server's answer";
    // The answer that comes later goes nowhere.
    server->SetGate(true);
    EXPECT_TRUE(PumpEventsUntil([&] { return server->Listing() == 0; }));
    QCoreApplication::processEvents();
}

TEST_F(PrintForm, ChosenPrinterStaysChosenWhenTheListChanges)
{
    ASSERT_TRUE(ShowPrinterList(form));
    form.Printers->setCurrentIndex(0);
    EXPECT_EQ(form.PrinterIndex(), 0);
    EXPECT_EQ(form.directed.back(), "Office");

    // The server names printers in UTF-8.
    form.server->SetList({{"Büro", "Pdf", "Office"}, "Pdf", {}});
    ASSERT_TRUE(ShowPrinterList(form));
    EXPECT_EQ(form.Printers->itemText(0), QString::fromUtf8("Büro"));
    EXPECT_EQ(form.PrinterIndex(), 2);
    EXPECT_EQ(form.Printers->currentIndex(), 2);

    form.server->SetList({{"Büro", "Pdf"}, "Pdf", {}});
    ASSERT_TRUE(ShowPrinterList(form));
    EXPECT_EQ(form.PrinterIndex(), 1) << "a printer that went away gives way to the default";
}

TEST_F(PrintForm, OrientationFollowsPageOrientAndIsShownAgain)
{
    ASSERT_TRUE(ShowPrinterList(form));
    form.PageOrient->setCurrentIndex(1);
    EXPECT_EQ(form.Printer().pageLayout().orientation(), QPageLayout::Landscape);
    form.PageOrient->setCurrentIndex(0);
    form.Printer().setPageOrientation(QPageLayout::Landscape);
    ASSERT_TRUE(ShowPrinterList(form));
    EXPECT_EQ(form.PageOrient->currentIndex(), 1);
}

TEST_F(PrintForm, SwitchingPrintersKeepsTheOrientationShown)
{
    ASSERT_TRUE(ShowPrinterList(form));
    form.PageOrient->setCurrentIndex(1);
    form.Printers->setCurrentIndex(0);
    EXPECT_EQ(form.Printer().pageLayout().orientation(), QPageLayout::Landscape);
}

TEST_F(PrintForm, TallPictureFillsNinetyPercentOfTheHeightCentred)
{
    ASSERT_TRUE(ShowPrinterList(form));
    const Box box = PrintBlack(100, 400);
    const PdfPage info = ReadPdfInfo(pdfFile);
    EXPECT_EQ(info.pages, 1);
    ASSERT_GT(info.heightPts, info.widthPts);
    const double h = info.heightPts * 0.9;
    const double w = h / 400 * 100;
    EXPECT_NEAR(box.bottom - box.top, h, 2.0);
    EXPECT_NEAR(box.right - box.left, w, 2.0);
    EXPECT_NEAR(box.left, (info.widthPts - w) / 2, 2.0);
    EXPECT_NEAR(box.top, (info.heightPts - h) / 2, 2.0);
}

TEST_F(PrintForm, TopAlignmentStartsAtTenPercentOfThePage)
{
    ASSERT_TRUE(ShowPrinterList(form));
    form.ImageAlign->setCurrentIndex(1);
    const Box box = PrintBlack(100, 400);
    const PdfPage info = ReadPdfInfo(pdfFile);
    EXPECT_NEAR(box.top, info.heightPts * 0.1, 2.0);
    EXPECT_NEAR(box.bottom - box.top, info.heightPts * 0.9, 2.0);
}

TEST_F(PrintForm, WidePictureFillsNinetyPercentOfTheWidthCentred)
{
    ASSERT_TRUE(ShowPrinterList(form));
    const Box box = PrintBlack(400, 100);
    const PdfPage info = ReadPdfInfo(pdfFile);
    const double w = info.widthPts * 0.9;
    const double h = w / 400 * 100;
    EXPECT_NEAR(box.right - box.left, w, 2.0);
    EXPECT_NEAR(box.bottom - box.top, h, 2.0);
    EXPECT_NEAR(box.left, (info.widthPts - w) / 2, 2.0);
    EXPECT_NEAR(box.top, (info.heightPts - h) / 2, 2.0);
}

// Chosen before the printer object exists, as while the list is still awaited.
TEST_F(PrintForm, LandscapePrintsOnALandscapePageAndTellsTheServer)
{
    form.PageOrient->setCurrentIndex(1);
    ASSERT_TRUE(ShowPrinterList(form));
    EXPECT_EQ(form.PageOrient->currentIndex(), 1);
    const Box box = PrintBlack(100, 400);
    const PdfPage info = ReadPdfInfo(pdfFile);
    EXPECT_EQ(info.pages, 1);
    EXPECT_GT(info.widthPts, info.heightPts);
    EXPECT_NEAR(box.bottom - box.top, info.heightPts * 0.9, 2.0);
    const std::vector<TPrintJob> jobs = form.server->Jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].printer, "Pdf");
    const auto has = [&](const std::string& name, const std::string& value) {
        return std::find(jobs[0].options.begin(), jobs[0].options.end(), std::make_pair(name, value)) !=
               jobs[0].options.end();
    };
    EXPECT_TRUE(has("media", "A4"));
    EXPECT_TRUE(has("landscape", ""));
}

// What the server is told besides the page, from the printer's set-up.
TEST(PrintJobOptions, CopiesSidesAndOrientationInTheServersNames)
{
    using Options = std::vector<std::pair<std::string, std::string>>;
    const QPageLayout portrait(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
    const QPageLayout landscape(QPageSize(QPageSize::Letter), QPageLayout::Landscape, QMarginsF());
    const struct {
        const QPageLayout& layout;
        int copies;
        bool collate;
        QPrinter::DuplexMode duplex;
        Options expected;
    } rows[] = {
        {portrait, 1, true, QPrinter::DuplexNone, {{"media", "A4"}, {"sides", "one-sided"}}},
        {portrait, 2, false, QPrinter::DuplexLongSide, {{"media", "A4"}, {"copies", "2"}, {"sides", "two-sided-long-edge"}}},
        {portrait, 3, true, QPrinter::DuplexShortSide,
         {{"media", "A4"}, {"copies", "3"}, {"Collate", "True"}, {"sides", "two-sided-short-edge"}}},
        {portrait, 1, false, QPrinter::DuplexAuto, {{"media", "A4"}, {"sides", "two-sided-long-edge"}}},
        {landscape, 1, false, QPrinter::DuplexAuto,
         {{"media", "Letter"}, {"sides", "two-sided-short-edge"}, {"landscape", ""}}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(JobOptions(row.layout, row.copies, row.collate, row.duplex), row.expected)
            << row.copies << " copies, duplex " << int(row.duplex);
    EXPECT_EQ(JobOptions(portrait, 1, false, QPrinter::DuplexNone, {"ColorModel", "Gray"}),
              (Options{{"media", "A4"}, {"sides", "one-sided"}, {"ColorModel", "Gray"}}));
}

TEST_F(PrintForm, WithoutPrintersTheListStaysEmptyAndPrintingSaysNoPrinterSelected)
{
    form.server->SetList({});
    ASSERT_TRUE(ShowPrinterList(form));
    EXPECT_EQ(form.Printers->count(), 0);
    EXPECT_EQ(form.PrinterIndex(), -1);
    TBitmap picture;
    FillBlack(picture, 10, 10);
    form.PrintGraphic(&picture);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "No printer selected");
    EXPECT_TRUE(form.server->Jobs().empty());
}

TEST_F(PrintForm, AServerThatCannotBeAskedIsNamedInTheDialogAndWhenPrinting)
{
    const std::string reason = "the print server /run/cups/cups.sock cannot be reached";
    form.server->SetList({{}, {}, reason});
    form.show();
    ASSERT_TRUE(WaitForPrinterList(form));
    EXPECT_EQ(form.Printers->count(), 0);
    EXPECT_EQ(form.Printers->placeholderText(), "No printer available");
    ASSERT_EQ(ui.boxes.size(), 1u) << "the dialog says why its list stays empty";
    EXPECT_EQ(ui.boxes[0].text, "No printer available: " + reason);
    form.hide();

    TBitmap picture;
    FillBlack(picture, 10, 10);
    form.PrintGraphic(&picture);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].text, "No printer available: " + reason);
    EXPECT_TRUE(form.server->Jobs().empty());

    // The set-up dialog would ask the server on this thread without a time limit: it stays shut.
    bool setUpShown = false;
    QTimer::singleShot(0, &form, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            setUpShown = true;
            modal->close();
        }
    });
    form.Button3Click();
    QCoreApplication::processEvents();
    EXPECT_FALSE(setUpShown);
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[2].text, "No printer available: " + reason);
}

TEST_F(PrintForm, PrintingBeforeTheFirstShowingUsesTheDefaultPrinter)
{
    const Box box = PrintBlack(100, 100);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_GE(box.left, 0);
    EXPECT_EQ(ReadPdfInfo(pdfFile).pages, 1);
    ASSERT_EQ(form.server->Jobs().size(), 1u);
    EXPECT_EQ(form.server->Jobs()[0].printer, "Pdf");
}

TEST_F(PrintForm, AJobTheServerRefusesIsRaisedWithTheServersReason)
{
    const std::string reason = "Destination \"Pdf\" is not accepting jobs.";
    form.server->Refuse(reason);
    ASSERT_TRUE(ShowPrinterList(form));
    TBitmap picture;
    FillBlack(picture, 10, 10);
    try {
        form.PrintGraphic(&picture);
        FAIL() << "a refused job passed for printed";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "Error while printing page:" + reason);
    }
    EXPECT_EQ(form.server->Jobs().size(), 1u);

    // A job the server may have queued is no error, but printing it again may print twice.
    const std::string silence = "the whole document went to the print server localhost, but no answer came";
    form.server->Refuse(silence, true);
    EXPECT_NO_THROW(form.PrintGraphic(&picture));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              "The page may still print: " + silence + ". Look in the printer's queue before printing it again.");
}

TEST_F(PrintForm, EmptyPictureIsAPrintingErrorNotACrash)
{
    ASSERT_TRUE(ShowPrinterList(form));
    TBitmap empty;
    EXPECT_THROW(form.PrintGraphic(&empty), Exception);
    EXPECT_THROW(form.PrintGraphic(nullptr), Exception);
    EXPECT_TRUE(form.server->Jobs().empty());
}

}  // namespace

namespace {

// A part of a window that paints all of itself, as the skinned controls of the main window do.
class OpaquePart : public QWidget {
public:
    OpaquePart(QWidget* parent, QColor colour) : QWidget(parent), colour_(colour)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), colour_); }

private:
    QColor colour_;
};

// On an X display, where nothing draws a window but its own program: once Print has closed the
// dialog, the window it covered is drawn again before the server is asked, although the window
// thread then waits for the answer.
TEST(PrintFormScreen, TheWindowUnderTheDialogIsDrawnBeforeTheServerIsAsked)
{
    EnsureApplication();
    if (QGuiApplication::platformName() != "xcb")
        GTEST_SKIP() << "needs an X display";
    const QColor ownerColour(200, 40, 160);
    QWidget owner;
    owner.setGeometry(100, 100, 800, 600);
    OpaquePart part(&owner, ownerColour);
    part.setGeometry(owner.rect());
    owner.show();
    PdfPrintForm form(std::make_shared<FakePrintSpooler>(), &owner);
    TempFolder folder;
    form.server->SetPdfFile((folder.path / "page.pdf").string());
    form.move(250, 250);
    form.show();
    ASSERT_TRUE(WaitForPrinterList(form));
    const QRect covered = form.frameGeometry();
    auto screen = [&] {
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, covered.x(), covered.y(), covered.width(), covered.height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    auto pixelsNotOfTheOwner = [&](const QImage& image) {
        int differ = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                differ += QColor(image.pixel(x, y)) != ownerColour;
        return differ;
    };
    ASSERT_TRUE(PumpEventsUntil([&] {
        return owner.windowHandle()->isExposed() && form.windowHandle()->isExposed() &&
               pixelsNotOfTheOwner(screen()) > covered.width() * covered.height() / 2;
    })) << "the dialog never showed";

    form.hide();  // as Print closes it, and the event loop does not run before printing
    QImage seen;
    form.server->whileSubmitting = [&] { seen = screen(); };
    TBitmap picture;
    FillBlack(picture, 10, 10);
    form.PrintGraphic(&picture);
    if (const char* dir = std::getenv("RT_TEST_OUTPUT_DIR"))
        seen.save(QString::fromLocal8Bit(dir) + "/print-under-the-dialog.png");
    EXPECT_EQ(pixelsNotOfTheOwner(seen), 0);
}

}  // namespace
