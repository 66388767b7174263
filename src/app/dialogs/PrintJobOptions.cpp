#include "app/dialogs/PrintJobOptions.h"

std::vector<std::pair<std::string, std::string>> JobOptions(const QPageLayout& layout, int copies, bool collate,
                                                            QPrinter::DuplexMode duplex,
                                                            const QStringList& printerOptions)
{
    std::vector<std::pair<std::string, std::string>> options;
    options.emplace_back("media", layout.pageSize().key().toStdString());
    if (copies > 1) {
        options.emplace_back("copies", std::to_string(copies));
        if (collate)
            options.emplace_back("Collate", "True");
    }
    const bool portrait = layout.orientation() == QPageLayout::Portrait;
    switch (duplex) {
    case QPrinter::DuplexNone: options.emplace_back("sides", "one-sided"); break;
    case QPrinter::DuplexAuto:
        options.emplace_back("sides", portrait ? "two-sided-long-edge" : "two-sided-short-edge");
        break;
    case QPrinter::DuplexLongSide: options.emplace_back("sides", "two-sided-long-edge"); break;
    case QPrinter::DuplexShortSide: options.emplace_back("sides", "two-sided-short-edge"); break;
    }
    if (!portrait)
        options.emplace_back("landscape", "");
    for (qsizetype i = 0; i + 1 < printerOptions.size(); i += 2)
        options.emplace_back(printerOptions[i].toStdString(), printerOptions[i + 1].toStdString());
    return options;
}
