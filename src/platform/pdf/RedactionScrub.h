#pragma once

#include "platform/pdf/PdfTypes.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace vmk::pdf {

// Changes to a document's objects (dictionary entries and stream data) that are made and taken back as
// one. Each exchange() puts the held values into the document and keeps the ones they replace, so the
// first exchange applies the changes and the next one restores the document as it was.
class ObjectEdits {
public:
    ObjectEdits();
    ~ObjectEdits();
    ObjectEdits(const ObjectEdits&) = delete;
    ObjectEdits& operator=(const ObjectEdits&) = delete;

    bool isEmpty() const;
    void exchange();

    struct Impl;
    Impl& impl() const { return *d; }

private:
    std::unique_ptr<Impl> d;
};

// How many places a scrub changes, by kind.
struct ScrubCounts {
    int documentInformation = 0; // entries of the document information dictionary
    int metadata = 0;            // XMP packets (the document's)
    int outlineTitles = 0;
    int annotationTexts = 0;     // annotation contents, titles, subjects and rich text
    int fieldValues = 0;         // form fields emptied or cleaned

    int total() const { return documentInformation + metadata + outlineTitles + annotationTexts + fieldValues; }
};

// Prepares (without applying: see ObjectEdits::exchange) what a redaction takes out of the document
// beyond its pages:
// - every word of `words` (whole words, ignoring case) from the document information, the document's XMP
//   metadata (text and attribute values, never element names), outline titles, annotation texts and form
//   field values. An information entry left without a word is removed; an outline entry keeps its place
//   and destination, and is titled "Redacted" when no word of its title is left;
// - the fields of `emptiedWidgets` lose their values and their widgets' appearances (check boxes and radio
//   buttons are switched off); the widgets stay on their pages and in the form.
// A field whose value changed but still holds words has its widgets' appearances dropped and the form
// asks readers to draw them anew from the value.
std::shared_ptr<ObjectEdits> prepareRedactionScrub(const Document& document, const QStringList& words,
                                                  const std::vector<AnnotationPtr>& emptiedWidgets,
                                                  ScrubCounts* counts = nullptr);

// The words of a text worth removing elsewhere: runs of two or more letters or digits.
QStringList splitWords(const QString& text);
// The text with the words removed (whole words, ignoring case) and the white space they leave tidied.
QString removeWords(const QString& text, const QStringList& words);
// The same for XML: only character data and attribute values change.
QString removeWordsFromXml(const QString& xml, const QStringList& words);

} // namespace vmk::pdf
