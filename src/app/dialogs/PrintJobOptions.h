#pragma once
// What a print job tells the print server besides its page, in the server's own option names.
#include <QPrinter>
#include <QStringList>

#include <string>
#include <utility>
#include <vector>

// The paper and orientation of layout, the copies (only when more than one, collated or not),
// the sides of duplex (automatic duplex binds on the long edge of a portrait page, the short edge
// of a landscape one), then the printer's own options as name and value after each other.
[[nodiscard]] std::vector<std::pair<std::string, std::string>> JobOptions(const QPageLayout& layout, int copies,
                                                                          bool collate, QPrinter::DuplexMode duplex,
                                                                          const QStringList& printerOptions = {});
