#pragma once

// Small value types shared by the PDF layer's public classes.
//
// Conventions used by every class of the layer:
// - Page space is the PDF user space of a page, unrotated, y up. A QRectF in page space has x,y at its
//   lower-left corner and a positive width and height.
// - Points "relative to the annotation's bounds origin" are page-space points minus bounds().topLeft()
//   (which, y being up, is the lower-left corner of the bounds).
// - No MuPDF type ever appears in a public header; failures come back as Result/Status values.

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <memory>
#include <optional>
#include <utility>

namespace vmk::pdf {

class Document;
class Page;
class Annotation;

using DocumentPtr = std::shared_ptr<Document>;
using PagePtr = std::shared_ptr<Page>;
using AnnotationPtr = std::shared_ptr<Annotation>;

// Outcome of an operation that produces nothing but can fail.
class Status {
public:
    Status() = default;
    static Status failure(QString message) { Status s; s.m_ok = false; s.m_error = std::move(message); return s; }
    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    const QString& error() const { return m_error; }

private:
    bool m_ok = true;
    QString m_error;
};

// A value or the reason there is none.
template <typename T>
class Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    static Result failure(QString message) { Result r; r.m_error = std::move(message); return r; }
    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *m_value; }
    T& value() { return *m_value; }
    const T& operator*() const { return *m_value; }
    T& operator*() { return *m_value; }
    const T* operator->() const { return &*m_value; }
    T* operator->() { return &*m_value; }
    const QString& error() const { return m_error; }

private:
    Result() = default;
    std::optional<T> m_value;
    QString m_error;
};

enum class PageBox { Media, Crop };

// A place in a document: a page and a point on it in page space.
struct Destination {
    PagePtr page;
    QPointF point;
};

// One node of a document outline. The root node's label and destination are not shown by viewers; its
// children are the top-level entries.
struct OutlineItem {
    QString label;
    std::optional<Destination> destination;
    bool isOpen = false;
    QList<OutlineItem> children;
};

// Entries of the document information dictionary that the application reads and writes.
enum class DocumentAttribute { Title, Author, Subject, Creator, Producer, Keywords, CreationDate, ModDate };

// How a write treats encryption. Every write states its choice, so a previous write's choice never leaks
// into the next one.
struct WriteOptions {
    enum class Encryption {
        KeepExisting, // encrypted documents stay encrypted with their current passwords; others stay plain
        Protect,      // AES-256 with userPassword, and ownerPassword (userPassword when empty)
        None,         // write a decrypted copy (links, destinations, forms and outline are kept)
    };
    Encryption encryption = Encryption::KeepExisting;
    QString userPassword;
    QString ownerPassword;
    // The copy goes without the document's creation date (a decrypted copy is a new document); the
    // document keeps it.
    bool withoutCreationDate = false;

    static WriteOptions keepExisting() { return {}; }
    static WriteOptions protect(const QString& user, const QString& owner = QString())
    {
        return {Encryption::Protect, user, owner};
    }
    static WriteOptions withoutEncryption() { return {Encryption::None, {}, {}}; }
};

// Which password opened a locked document.
enum class PasswordKind { None, User, Owner };

// An entry of a page's own /Resources /XObject dictionary (not inherited ones), with nested form resources
// down to a depth of two.
struct XObjectNode {
    QString name;     // resource name without "/"
    QString subtype;  // "Image", "Form", other or empty when the entry is not a stream
    QList<XObjectNode> children; // for forms: the entries of the form's own /Resources /XObject
};

} // namespace vmk::pdf
