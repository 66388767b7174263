// The print dialog: the printer list and the printer object it keeps, orientation and alignment,
// and what PrintGraphic puts on the page (printed to PDF and read back with poppler's tools).
#include "app/dialogs/TPrintForm.h"
#include "app/AppTestSupport.h"
#include "platform/ui/ApplicationInstance.h"
#include "platform/system/Exception.h"
#include "platform/drawing/TBitmap.h"
#include "platform/drawing/TCanvas.h"

#include <QComboBox>
#include <QPrinter>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Stands in for the system's printers: every printer prints into one PDF file, on the whole
// page, so positions on the page are the picture's own.
class PdfPrintForm : public TPrintForm {
public:
    std::vector<std::string> names{"Office", "Pdf"};
    std::string defaultName = "Pdf";
    std::string pdfFile;
    std::vector<std::string> directed;

protected:
    std::vector<std::string> SystemPrinterNames() const override { return names; }
    std::string SystemDefaultPrinterName() const override { return defaultName; }
    void DirectPrinter(QPrinter& printer, const std::string& name) override
    {
        directed.push_back(name);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdfFile));
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
    void SetUp() override { form.pdfFile = (folder.path / "page.pdf").string(); }

    // Prints a black picture of the given size and returns where it landed.
    Box PrintBlack(int width, int height)
    {
        TBitmap picture;
        FillBlack(picture, width, height);
        form.PrintGraphic(&picture);
        return DarkBox(form.pdfFile, (folder.path / "page").string());
    }

    ApplicationReady application;
    TempFolder folder;
    CapturedUi ui;
    PdfPrintForm form;
};

TEST_F(PrintForm, ShowingListsThePrintersAndSelectsTheDefaultOne)
{
    form.FormShow();
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

TEST_F(PrintForm, ChosenPrinterStaysChosenWhenTheListChanges)
{
    form.FormShow();
    form.Printers->setCurrentIndex(0);
    EXPECT_EQ(form.PrinterIndex(), 0);
    EXPECT_EQ(form.directed.back(), "Office");

    form.names = {"New", "Pdf", "Office"};
    form.FormShow();
    EXPECT_EQ(form.PrinterIndex(), 2);
    EXPECT_EQ(form.Printers->currentIndex(), 2);

    form.names = {"New", "Pdf"};
    form.FormShow();
    EXPECT_EQ(form.PrinterIndex(), 1) << "a printer that went away gives way to the default";
}

TEST_F(PrintForm, OrientationFollowsPageOrientAndIsShownAgain)
{
    form.FormShow();
    form.PageOrient->setCurrentIndex(1);
    EXPECT_EQ(form.Printer().pageLayout().orientation(), QPageLayout::Landscape);
    form.PageOrient->setCurrentIndex(0);
    form.Printer().setPageOrientation(QPageLayout::Landscape);
    form.FormShow();
    EXPECT_EQ(form.PageOrient->currentIndex(), 1);
}

TEST_F(PrintForm, SwitchingPrintersKeepsTheOrientationShown)
{
    form.FormShow();
    form.PageOrient->setCurrentIndex(1);
    form.Printers->setCurrentIndex(0);
    EXPECT_EQ(form.Printer().pageLayout().orientation(), QPageLayout::Landscape);
}

TEST_F(PrintForm, TallPictureFillsNinetyPercentOfTheHeightCentred)
{
    form.FormShow();
    const Box box = PrintBlack(100, 400);
    const PdfPage info = ReadPdfInfo(form.pdfFile);
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
    form.FormShow();
    form.ImageAlign->setCurrentIndex(1);
    const Box box = PrintBlack(100, 400);
    const PdfPage info = ReadPdfInfo(form.pdfFile);
    EXPECT_NEAR(box.top, info.heightPts * 0.1, 2.0);
    EXPECT_NEAR(box.bottom - box.top, info.heightPts * 0.9, 2.0);
}

TEST_F(PrintForm, WidePictureFillsNinetyPercentOfTheWidthCentred)
{
    form.FormShow();
    const Box box = PrintBlack(400, 100);
    const PdfPage info = ReadPdfInfo(form.pdfFile);
    const double w = info.widthPts * 0.9;
    const double h = w / 400 * 100;
    EXPECT_NEAR(box.right - box.left, w, 2.0);
    EXPECT_NEAR(box.bottom - box.top, h, 2.0);
    EXPECT_NEAR(box.left, (info.widthPts - w) / 2, 2.0);
    EXPECT_NEAR(box.top, (info.heightPts - h) / 2, 2.0);
}

TEST_F(PrintForm, LandscapePrintsOnALandscapePage)
{
    form.FormShow();
    form.PageOrient->setCurrentIndex(1);
    const Box box = PrintBlack(100, 400);
    const PdfPage info = ReadPdfInfo(form.pdfFile);
    EXPECT_EQ(info.pages, 1);
    EXPECT_GT(info.widthPts, info.heightPts);
    EXPECT_NEAR(box.bottom - box.top, info.heightPts * 0.9, 2.0);
}

TEST_F(PrintForm, WithoutPrintersTheListStaysEmptyAndPrintingSaysNoPrinterSelected)
{
    form.names.clear();
    form.defaultName.clear();
    form.FormShow();
    EXPECT_EQ(form.Printers->count(), 0);
    EXPECT_EQ(form.PrinterIndex(), -1);
    TBitmap picture;
    FillBlack(picture, 10, 10);
    form.PrintGraphic(&picture);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "No printer selected");
    EXPECT_FALSE(folder.Exists("page.pdf"));
}

TEST_F(PrintForm, PrintingBeforeTheFirstShowingUsesTheDefaultPrinter)
{
    const Box box = PrintBlack(100, 100);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_GE(box.left, 0);
    EXPECT_EQ(ReadPdfInfo(form.pdfFile).pages, 1);
}

TEST_F(PrintForm, FailedPrintingIsRaisedWithItsReason)
{
    form.pdfFile = (folder.path / "missing-folder" / "page.pdf").string();
    form.FormShow();
    TBitmap picture;
    FillBlack(picture, 10, 10);
    try {
        form.PrintGraphic(&picture);
        FAIL() << "printing into a folder that does not exist succeeded";
    } catch (const Exception& error) {
        const std::string text = error.Message();
        EXPECT_EQ(text.rfind("Error while printing page:", 0), 0u) << text;
        EXPECT_GT(text.size(), std::string("Error while printing page:").size());
    }
}

TEST_F(PrintForm, EmptyPictureIsAPrintingErrorNotACrash)
{
    form.FormShow();
    TBitmap empty;
    EXPECT_THROW(form.PrintGraphic(&empty), Exception);
    EXPECT_THROW(form.PrintGraphic(nullptr), Exception);
    EXPECT_FALSE(folder.Exists("page.pdf"));
}

}  // namespace
