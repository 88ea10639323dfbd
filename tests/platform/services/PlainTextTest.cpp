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
        EXPECT_TRUE(label->text().contains(name));
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
