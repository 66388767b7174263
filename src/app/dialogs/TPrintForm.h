#pragma once
// The modal print dialog: the printer, the page orientation, where the picture sits on the page
// and whether the last riff played or all riffs are printed (the caller reads PrintLast and
// PrintAll after an OK and prints). PrintGraphic prints one picture as one document.
//
// The dialog keeps one printer object for the program's life: the printer chosen last (by name,
// so it survives printers being added or removed), its orientation and its page set-up. It starts
// on the system's default printer.
//
// Thread: GUI thread only. Failure: PrintGraphic shows "No printer selected" when there is no
// printer and throws Exception "Error while printing page:<reason>" when printing fails.
#include <QDialog>

#include <memory>
#include <string>
#include <vector>

#include "platform/drawing/TBitmap.h"

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
    explicit TPrintForm(QWidget* parent = nullptr);
    ~TPrintForm() override;

    // Runs on every showing: refreshes the printer list into Printers, selects the current
    // printer and shows its orientation; ImageAlign becomes "Center" when nothing is selected.
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
    // page's top, as one one-page document on the current printer. A null or empty picture is a
    // printing error.
    void PrintGraphic(TGraphic* picture);

    // The position of the current printer in the printer list last refreshed; -1 when there is
    // no printer.
    [[nodiscard]] int PrinterIndex() const;
    // The printer object; owned by the dialog.
    [[nodiscard]] QPrinter& Printer() { return *printer_; }

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

    // The names of the system's printers, in the system's order.
    [[nodiscard]] virtual std::vector<std::string> SystemPrinterNames() const;
    // The system's default printer; empty when it has none.
    [[nodiscard]] virtual std::string SystemDefaultPrinterName() const;
    // Directs printer's documents to the named system printer.
    virtual void DirectPrinter(QPrinter& printer, const std::string& name);

private:
    // The printer list as it was last refreshed, and the current printer's name.
    void RefreshPrinterList();
    void SetCurrentPrinter(const std::string& name);

    std::vector<std::string> printerNames_;
    bool listed_ = false;
    std::string currentPrinter_;
    std::unique_ptr<QPrinter> printer_;
};
