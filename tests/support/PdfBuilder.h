#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

namespace vmk::test {

// A PDF written object by object, for fixtures a painter cannot make (outlines, forms, named destinations,
// hand-set fonts, trees that lie). Objects are numbered from 1 in the order they are added, or by the number
// given; write() lays them out in number order behind a cross-reference table that matches, and lists a
// number that never got a body as a free entry.
class PdfBuilder {
public:
    PdfBuilder() = default;
    // Objects 1..n, in list order.
    explicit PdfBuilder(const QList<QByteArray>& objects);

    // Adds a body under the next number and returns that number.
    int add(const QByteArray& body);
    int addStream(const QByteArray& dict, const QByteArray& data);
    // Takes the next number for an object whose body (say a parent listing its children) comes later.
    int reserve();
    // Gives a number its body, replacing what it had.
    void set(int num, const QByteArray& body);
    void setStream(int num, const QByteArray& dict, const QByteArray& data);
    // The number the next add() or reserve() takes.
    int nextNumber() const;

    // The file, with a trailer naming the catalog and any further entries (e.g. "/Info 13 0 R").
    QByteArray write(int root = 1, const QByteArray& trailerExtra = {}) const;

private:
    QMap<int, QByteArray> m_objects;
    int m_next = 1;
};

// "N 0 R".
QByteArray ref(int num);
// A stream object: the dictionary's entries (without << >> and /Length) and the data.
QByteArray pdfStream(const QByteArray& dict, const QByteArray& data);
// A literal string in WinAnsi bytes, escaped (Latin-1 text and the euro sign).
QByteArray winAnsiLiteral(const QString& text);
// Objects 1..n written as one file; see PdfBuilder.
QByteArray assemblePdf(const QList<QByteArray>& objects, int root = 1, const QByteArray& trailerExtra = {});

} // namespace vmk::test
