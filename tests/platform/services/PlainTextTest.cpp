#include "platform/services/PlainText.h"

#include <QLabel>
#include <QMessageBox>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace vmk::platform;

TEST(PlainText, AlertsLabelsAndToolTipsShowMarkupLiterally)
{
    const QString name = QStringLiteral("<h1 style='color:red'>Your disk is failing</h1><b>x</b>.pdf");
    QMessageBox box;
    box.setText(QStringLiteral("\u201C%1\u201D is too damaged to open.").arg(name));
    box.setInformativeText(name + QStringLiteral(" <a href='http://example.invalid'>fix</a>"));
    makePlain(box);
    EXPECT_EQ(box.textFormat(), Qt::PlainText);
    const QList<QLabel*> labels = box.findChildren<QLabel*>();
    int textLabels = 0;
    for (const QLabel* label : labels) {
        if (label->text().isEmpty())
            continue; // the icon
        ++textLabels;
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << qPrintable(label->objectName());
        EXPECT_TRUE(QString(label->text()).remove(QChar(0x200B)).contains(name));
    }
    EXPECT_EQ(textLabels, 2);

    QLabel label(name);
    makePlain(label);
    EXPECT_EQ(label.textFormat(), Qt::PlainText);

    // A tool tip is markup that, read back as plain text, is the name itself.
    const QString tip = plainToolTip(name);
    EXPECT_TRUE(Qt::mightBeRichText(tip));
    QTextDocument doc;
    doc.setHtml(tip);
    EXPECT_EQ(doc.toPlainText(), name);
    EXPECT_EQ(plainToolTip(QString()), QString());
}

TEST(PlainText, LongPathsAndNamesGetBreakPointsWhileWordsStayWhole)
{
    const QChar zwsp(0x200B);
    const QString sentence = QStringLiteral("The file couldn\u2019t be saved: you don\u2019t have permission.");
    EXPECT_EQ(breakableText(sentence), sentence);

    const QString path = QStringLiteral("/home/someone/Documents/Contracts-and-Amendments/Signed_Originals/scan.pdf");
    const QString broken = breakableText(path);
    EXPECT_EQ(QString(broken).remove(zwsp), path);
    for (const QString& piece : broken.split(zwsp))
        EXPECT_LE(piece.size(), 24) << qPrintable(piece);
    EXPECT_TRUE(broken.contains(QStringLiteral("Documents/") + zwsp));

    // A run with no separator at all breaks every so often; never inside a surrogate pair or before a mark,
    // and never twice in a row when the text already breaks there.
    const QString emoji = QString(23, QLatin1Char('x')) + QStringLiteral("\U0001F600") + QString(30, QLatin1Char('y'));
    const QString accents = QString(23, QLatin1Char('x')) + QStringLiteral("e\u0301") + QString(30, QLatin1Char('z'));
    for (const QString& run : {QString(100, QLatin1Char('x')), emoji, accents}) {
        const QString out = breakableText(run);
        EXPECT_EQ(QString(out).remove(zwsp), run);
        EXPECT_GE(out.count(zwsp), 2);
        for (qsizetype i = 1; i < out.size(); ++i)
            if (out.at(i) == zwsp) {
                EXPECT_FALSE(out.at(i - 1).isHighSurrogate());
                EXPECT_FALSE(i + 1 < out.size() && out.at(i + 1).isMark());
            }
    }
    EXPECT_EQ(breakableText(breakableText(path)), breakableText(path));

    // In an alert the name wraps within the box's width instead of widening it past the screen.
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Test"),
                    QStringLiteral("Couldn\u2019t open ") + QString(200, QLatin1Char('x')) + QStringLiteral(".pdf"));
    makePlain(box);
    box.show();
    EXPECT_LE(box.width(), 640);
    box.hide();
}
