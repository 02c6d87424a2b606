// The private print server the printing tests rely on (VELMORA_NEEDS_CUPS).
#include "support/ProgramDriver.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

QString Lp(const QString& program, const QStringList& args, int* rc = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.waitForFinished(20000);
    if (rc)
        *rc = p.exitCode();
    return QString::fromUtf8(p.readAll());
}

} // namespace

TEST(PrivateCups, QueuesAreListedAndKeepTheExactPdfAndQtSeesTheirPaper) {
    const QString server = PrivateCupsServer();
    ASSERT_FALSE(server.isEmpty()) << "the print server fixture did not run";
    ASSERT_EQ(qEnvironmentVariable("CUPS_SERVER"), server);

    const QString listing = Lp("lpstat", {"-p"});
    EXPECT_TRUE(listing.contains("printer Velmora-PDF ")) << listing.toStdString();
    EXPECT_TRUE(listing.contains("printer Velmora-PDF-2 ")) << listing.toStdString();

    // A small PDF made here goes through `lp` and lands unchanged, in the spool and as a file.
    const QString src = QDir::temp().filePath("velmora-cups-test.pdf");
    {
        QPrinter pdf(QPrinter::HighResolution);
        pdf.setOutputFormat(QPrinter::PdfFormat);
        pdf.setOutputFileName(src);
        QPainter p(&pdf);
        p.drawText(100, 100, "Velmora");
    }
    const QByteArray sent = ReadAll(src);
    ASSERT_TRUE(sent.startsWith("%PDF"));
    int rc = -1;
    const QString reply = Lp("lp", {"-d", "Velmora-PDF", "-t", "cups-check", src}, &rc);
    ASSERT_EQ(rc, 0) << reply.toStdString();
    const QString id = reply.section("Velmora-PDF-", 1).section(' ', 0, 0);
    ASSERT_FALSE(id.isEmpty()) << reply.toStdString();
    const QString landed = JobPdf(id.toInt());
    ASSERT_FALSE(landed.isEmpty()) << "no PDF for job " << id.toStdString();
    EXPECT_EQ(ReadAll(landed), sent);
    const QString spooled =
        QString("%1/spool/d%2-001").arg(BuildDirPath("cups")).arg(id.toInt(), 5, 10, QChar('0'));
    EXPECT_EQ(ReadAll(spooled), sent) << spooled.toStdString();
    QFile::remove(src);

    EXPECT_EQ(QPrinterInfo::defaultPrinterName(), "Velmora-PDF");
    const QPrinterInfo first = QPrinterInfo::printerInfo("Velmora-PDF");
    const QPrinterInfo second = QPrinterInfo::printerInfo("Velmora-PDF-2");
    EXPECT_EQ(first.defaultPageSize().id(), QPageSize::A4);
    EXPECT_EQ(second.defaultPageSize().id(), QPageSize::Letter);
}
