#pragma once

#include "platform/pdf/document/PdfTypes.h"

#include <QDeadlineTimer>
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
    int structureTexts = 0;      // structure elements cleaned

    int total() const
    {
        return documentInformation + metadata + outlineTitles + annotationTexts + fieldValues + structureTexts;
    }
};

// Prepares (without applying: see ObjectEdits::exchange) what a redaction takes out of the document
// beyond its pages:
// - every word of `words` (whole words, ignoring case) from the document information, the document's XMP
//   metadata (text and attribute values, never element names), outline titles, annotation texts and form
//   field values. An information entry left without a word is removed; an outline entry keeps its place
//   and destination, and is titled "Redacted" when no word of its title is left;
// - the fields of `emptiedWidgets` lose their values and their widgets' appearances (check boxes and radio
//   buttons are switched off); the widgets stay on their pages and in the form;
// - `droppedAnnotations` (taken off their pages) lose their texts, actions and appearances, so that
//   nothing that still refers to them (a popup, a reply, the structure tree) carries their content on;
// - the words also leave the alternate and actual texts, expansions and titles of the structure tree.
// A field whose value changed but still holds words has its widgets' appearances dropped and the form
// asks readers to draw them anew from the value.
std::shared_ptr<ObjectEdits> prepareRedactionScrub(const Document& document, const QStringList& words,
                                                  const std::vector<AnnotationPtr>& emptiedWidgets,
                                                  const std::vector<AnnotationPtr>& droppedAnnotations = {},
                                                  ScrubCounts* counts = nullptr);

// The same in steps, for a document large enough to hold up its thread: the constructor does what costs
// as much as the marks, and each step() walks on through the rest of the document until the deadline.
// The document may change between steps (the walk holds what it has yet to visit); what the edits then
// record reflects the document as each part was visited.
class RedactionScrub {
public:
    RedactionScrub(const Document& document, const QStringList& words,
                   const std::vector<AnnotationPtr>& emptiedWidgets,
                   const std::vector<AnnotationPtr>& droppedAnnotations = {});
    ~RedactionScrub();
    RedactionScrub(const RedactionScrub&) = delete;
    RedactionScrub& operator=(const RedactionScrub&) = delete;

    // True once the walk is done; false when the deadline came first.
    bool step(const QDeadlineTimer& deadline);
    // Complete once step() answered true.
    std::shared_ptr<ObjectEdits> edits() const;
    ScrubCounts counts() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The words of a text worth removing elsewhere: runs of two or more letters or digits.
QStringList splitWords(const QString& text);
// The text with the words removed (whole words, ignoring case) and the white space they leave tidied.
QString removeWords(const QString& text, const QStringList& words);
// The same for XML: only character data and attribute values change.
QString removeWordsFromXml(const QString& xml, const QStringList& words);

} // namespace vmk::pdf
