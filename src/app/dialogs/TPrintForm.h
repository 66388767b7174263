#pragma once
// The modal print dialog: the printer, the page orientation, where the picture sits on the page
// and whether the last riff played or all riffs are printed (the caller reads PrintLast and
// PrintAll after an OK and prints). PrintGraphic prints one picture as one print job.
//
// The dialog keeps one printer object for the program's life: the printer chosen last (by name,
// so it survives printers being added or removed), its orientation and its page set-up. It starts
// on the system's default printer. The print server is asked for its printers on a worker thread
// whenever the dialog shows, so a slow or stopped server never holds the window, nor its closing:
// the list fills when the answer comes, and an answer that comes after the dialog has gone is
// dropped. Pages go to the server as PDF jobs whose acceptance is checked.
//
// Thread: GUI thread only. Failure: PrintGraphic shows "No printer selected" when the server has
// no printer ("No printer available: <reason>" when the server could not be asked), tells the
// user when the job may have printed although the server did not confirm it, and throws
// Exception "Error while printing page:<reason>" when the page cannot be made or the server does
// not take the job.
#include <QDialog>
#include <QPageLayout>

#include <memory>
#include <string>
#include <vector>

#include "platform/drawing/TBitmap.h"
#include "platform/printing/PrintSpooler.h"

class QComboBox;
class QFrame;
class QLabel;
class QPrintDialog;
class QPrinter;
class QPushButton;
class QRadioButton;

class TPrintForm : public QDialog {
    Q_OBJECT

public:
    // spooler: the print server the dialog lists and prints through; null for the system's.
    explicit TPrintForm(QWidget* parent = nullptr, std::shared_ptr<TPrintSpooler> spooler = nullptr);
    ~TPrintForm() override;

    // Runs on every showing: asks the server for its printers (the list, the current printer and
    // its orientation follow when the answer comes); ImageAlign becomes "Center" when nothing is
    // selected in it.
    void FormShow();
    // The selected entry of Printers becomes the current printer.
    void PrintersChange();
    // The printer's orientation follows PageOrient (0 portrait, else landscape).
    void PageOrientChange();
    // Runs the printer set-up dialog; when it is confirmed, the dialog is refreshed.
    void Button3Click();
    // Print: closes with the OK result. Cancel: closes with the Cancel result.
    void Button1Click();
    void Button2Click();

    // Prints picture, scaled to 90 % of the page's limiting side and keeping its proportions,
    // centred horizontally and either centred vertically or (ImageAlign "Top") 10 % below the
    // page's top, as a one-page job named after the program and riffTitle on the current
    // printer. Waits for a list still being asked for (the server's silence bounds the wait). A
    // null or empty picture is a printing error.
    void PrintGraphic(TGraphic* picture, const std::string& riffTitle = {});

    // The position of the current printer in the printer list last received; -1 when there is
    // no printer.
    [[nodiscard]] int PrinterIndex() const;
    // Why the last list came back without printers; empty when the server answered.
    [[nodiscard]] const std::string& PrinterListError() const { return listError_; }
    // Whether an answer of the print server is still awaited.
    [[nodiscard]] bool ListingPrinters() const { return listing_ != nullptr; }
    // The printer object, made on first use (making it asks the print server); owned by the
    // dialog.
    [[nodiscard]] QPrinter& Printer();

    QRadioButton* PrintLast = nullptr;
    QRadioButton* PrintAll = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QLabel* Label1 = nullptr;
    QFrame* Bevel1 = nullptr;
    QComboBox* Printers = nullptr;
    QPushButton* Button3 = nullptr;
    QPrintDialog* PrnSet = nullptr;  // made on first use
    QComboBox* PageOrient = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* ImageAlign = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

    // Directs printer's documents to the named system printer.
    virtual void DirectPrinter(QPrinter& printer, const std::string& name);

private:
    // One request for the list, shared with the thread that waits for the server's answer.
    struct Listing;

    // Asks the server on a worker thread unless an answer is awaited already.
    void StartListing();
    // The answer of listing has come: taken when it is the one awaited, and when it leaves the
    // shown dialog without printers, the user is told why.
    void ListArrived(const std::shared_ptr<Listing>& listing);
    // Takes the awaited answer, waiting for it.
    void TakeListing();
    void ApplyPrinterList(TPrinterList list);
    // Shows the list, the current printer and its orientation.
    void ShowPrinterList();
    void SetCurrentPrinter(const std::string& name);
    [[nodiscard]] QPageLayout::Orientation Orientation() const;

    std::shared_ptr<TPrintSpooler> spooler_;
    std::vector<std::string> printerNames_;
    std::string listError_;
    bool listed_ = false;
    std::string currentPrinter_;
    QPageLayout::Orientation orientation_ = QPageLayout::Portrait;
    std::unique_ptr<QPrinter> printer_;
    // The listing whose answer is awaited; null when none is.
    std::shared_ptr<Listing> listing_;
};
