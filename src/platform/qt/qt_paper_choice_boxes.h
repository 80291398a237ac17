// The paper source and paper kind of the printer settings dialog: two lists
// of the values the printer shown in the dialog offers, added to the
// Options tab of Qt's print dialog.
//
// Qt's dialog offers a queue's trays and paper kinds only among the driver's
// options of its page settings, where the choice stays Qt's own and never
// reaches the job the library sends. These lists offer the values the print
// server gives for the queue (IPP media-source-supported and
// media-type-supported), first "the printer's own" (no choice, the empty
// name), and report the one chosen.
//
// The values are asked each time the dialog shows another printer, within
// the 3 seconds of every query. A printer that offers none (the PDF printer)
// leaves a list with only "the printer's own" and disabled; a server that
// does not answer leaves both lists disabled, and the choices the dialog was
// opened with stand, unchanged, since nobody could tell them wrong. The
// choice for a printer is kept while the user looks at others and is shown
// again on a printer that offers it; a choice a printer does not offer shows
// "the printer's own".
#pragma once

#include <QGroupBox>

#include <functional>
#include <string>

#include "platform/printer_system.h"

class QComboBox;
class QPrintDialog;

namespace kt482 {

class PaperChoiceBoxes final : public QGroupBox {
public:
    using Source = std::function<Result<PaperChoices>(const std::string&)>;

    // Adds the lists to the dialog's Options tab, with the choices made so
    // far; a dialog without that tab gets them nowhere, and they report the
    // choices as they came.
    PaperChoiceBoxes(QPrintDialog& dialog, Source source, std::string media_source, std::string media_type);

    // Fills the lists for the printer of that device name.
    void showPrinter(const std::string& device_name);

    std::string chosenSource() const;
    std::string chosenKind() const;

private:
    void fill(QComboBox& box, const std::vector<std::string>& values, const std::string& wanted);

    Source source_;
    std::string wantedSource_;
    std::string wantedKind_;
    bool answered_ = false;
    QComboBox* sources_ = nullptr;
    QComboBox* kinds_ = nullptr;
};

}  // namespace kt482
