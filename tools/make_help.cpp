// Writes the help document (trv_help.pdf) from its HTML text at build time,
// so the document always matches the text kept in the repository.
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: trelvane-make-help HELP.html OUT.pdf\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "trelvane-make-help: cannot read %s\n", argv[1]);
        return 1;
    }
    QTextDocument doc;
    doc.setHtml(QString::fromUtf8(in.readAll()));

    {
        // The file is complete when the writer is gone.
        QPdfWriter pdf(QString::fromLocal8Bit(argv[2]));
        pdf.setTitle("Trelvane help");
        pdf.setCreator("Trelvane " TRELVANE_VERSION);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(18, 16, 18, 16), QPageLayout::Millimeter);
        pdf.setResolution(300);
        doc.print(&pdf);
    }
    if (QFile(QString::fromLocal8Bit(argv[2])).size() <= 0) {
        std::fprintf(stderr, "trelvane-make-help: %s was not written\n", argv[2]);
        return 1;
    }
    return 0;
}
