// A printer chosen in the print dialog keeps the paper, orientation and copies chosen with it
// when the document starts on it (VELMORA_NEEDS_CUPS): the index card job on the real printer
// service, printed to the US Letter queue with A4 paper chosen.
#include "platform/PPrinter.h"
#include "printjobs/p_ThumbnailPrint.h"
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QPageLayout>
#include <QPrinter>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// Answers as a person who picks another queue, A4 paper and two copies in the dialog.
class TChoosingHost : public TSilentJobHost {
public:
    TQtPrinter* Printer = nullptr;
    QString Queue;
    bool PrintDialog(TPrintRange&, bool) override {
        QPrinter* q = Printer->QueuePrinter();
        q->setPrinterName(Queue);
        q->setPageSize(QPageSize(QPageSize::A4));
        q->setPageOrientation(QPageLayout::Portrait); // the job turns it to landscape
        q->setCopyCount(2);
        return true;
    }
};

} // namespace

TEST(PrinterChoice, AnotherQueueChosenInTheDialogKeepsThePaperChosenWithIt) {
    ASSERT_FALSE(PrivateCupsServer().isEmpty()) << "no private print server";
    TQtPrinter printer;
    const int a4 = int(printer.Printers().indexOf("Velmora-PDF"));
    ASSERT_GE(a4, 0);
    printer.SetPrinterIndex(a4);
    TPrinter* old = SetApplicationPrinter(&printer);
    {
        TprtThumbnailPrint layout;
        TPrintItemVector items;
        for (int i = 0; i < 3; ++i)
            items.AddFile(QString("/none/p%1.jpg").arg(i));
        layout.ItemList = &items;
        TChoosingHost host;
        host.Printer = &printer;
        host.Queue = "Velmora-PDF-2"; // US Letter by default
        layout.Host = &host;
        printer.SetOrientation(TPrinterOrientationKind::Landscape);
        layout.SyncWithPrinter();

        EXPECT_TRUE(layout.Print());
        // The new queue was asked about, and the document went to it on A4, landscape, twice.
        EXPECT_EQ(host.Messages, QStringList({SelectPaperText, PrinterChangedText}));
        EXPECT_EQ(printer.Printers().value(printer.PrinterIndex()), "Velmora-PDF-2");
        EXPECT_EQ(printer.QueuePrinter()->pageLayout().pageSize().id(), QPageSize::A4);
        EXPECT_EQ(printer.QueuePrinter()->pageLayout().orientation(), QPageLayout::Landscape);
        EXPECT_EQ(printer.QueuePrinter()->copyCount(), 2);
        EXPECT_EQ(layout.LightRep()->SeenPrinterIndex(), printer.PrinterIndex());
    }
    SetApplicationPrinter(old);
    ASSERT_GT(printer.LastJobId(), 0);
    const QString pdf = JobPdf(printer.LastJobId());
    ASSERT_FALSE(pdf.isEmpty());
    const QString info = RunTool("pdfinfo", {pdf});
    EXPECT_TRUE(info.contains(QRegularExpression("Page size:\\s+842(\\.\\d+)? x 595")))
        << info.toStdString();
}
