#include "platform/pdf/ContentSplit.h"
#include <QFile>
#include <gtest/gtest.h>
TEST(ZzProbe, Split)
{
    QFile in(qEnvironmentVariable("PROBE_IN"));
    if (!in.open(QIODevice::ReadOnly)) GTEST_SKIP();
    const QByteArray content = in.readAll();
    const QByteArray apart = vmk::pdf::withLinesApart(content);
    const QList<qsizetype> cuts = vmk::pdf::contentCutPoints(apart);
    QFile out(qEnvironmentVariable("PROBE_OUT"));
    out.open(QIODevice::WriteOnly);
    qsizetype from = 0;
    for (qsizetype k = 0; k <= cuts.size(); ++k) {
        const qsizetype to = k < cuts.size() ? cuts[k] : apart.size();
        out.write("%%%% PIECE " + QByteArray::number(k) + "\n" + apart.mid(from, to - from) + "\n");
        from = to;
    }
}
