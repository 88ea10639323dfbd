#include "support/PdfBuilder.h"

#include <algorithm>

namespace vmk::test {

PdfBuilder::PdfBuilder(const QList<QByteArray>& objects)
{
    for (const QByteArray& body : objects)
        add(body);
}

int PdfBuilder::add(const QByteArray& body)
{
    const int num = reserve();
    m_objects.insert(num, body);
    return num;
}

int PdfBuilder::addStream(const QByteArray& dict, const QByteArray& data)
{
    return add(pdfStream(dict, data));
}

int PdfBuilder::reserve()
{
    return m_next++;
}

void PdfBuilder::set(int num, const QByteArray& body)
{
    m_objects.insert(num, body);
    m_next = std::max(m_next, num + 1);
}

void PdfBuilder::setStream(int num, const QByteArray& dict, const QByteArray& data)
{
    set(num, pdfStream(dict, data));
}

int PdfBuilder::nextNumber() const
{
    return m_next;
}

QByteArray PdfBuilder::write(int root, const QByteArray& trailerExtra) const
{
    // The second line's high bytes tell tools the file is binary.
    QByteArray out = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
    const int size = m_next;
    QList<qsizetype> offsets(size, -1);
    for (auto it = m_objects.begin(); it != m_objects.end(); ++it) {
        offsets[it.key()] = out.size();
        out += QByteArray::number(it.key()) + " 0 obj\n" + it.value() + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(size) + "\n0000000000 65535 f \n";
    for (int num = 1; num < size; ++num)
        out += offsets[num] < 0 ? QByteArray("0000000000 65535 f \n")
                                : QByteArray::number(offsets[num]).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(size) + " /Root " + ref(root);
    if (!trailerExtra.isEmpty())
        out += ' ' + trailerExtra;
    return out + " >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
}

QByteArray ref(int num)
{
    return QByteArray::number(num) + " 0 R";
}

QByteArray pdfStream(const QByteArray& dict, const QByteArray& data)
{
    QByteArray head = "<< ";
    if (!dict.isEmpty())
        head += dict + ' ';
    return head + "/Length " + QByteArray::number(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

QByteArray winAnsiLiteral(const QString& text)
{
    QByteArray out = "(";
    for (QChar c : text) {
        const char byte = c.unicode() == 0x20AC ? char(0x80) : char(c.toLatin1());
        if (byte == '(' || byte == ')' || byte == '\\')
            out += '\\';
        out += byte;
    }
    return out + ")";
}

QByteArray assemblePdf(const QList<QByteArray>& objects, int root, const QByteArray& trailerExtra)
{
    return PdfBuilder(objects).write(root, trailerExtra);
}

} // namespace vmk::test
