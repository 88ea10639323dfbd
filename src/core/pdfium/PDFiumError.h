#pragma once

#include "core/Expected.h"

#include <QString>

#include <optional>

namespace vmk::core {

// The failures of in-place editing, each with the text shown to the user.
struct PDFiumError {
    enum class Kind { unavailable, loadFailed, pageFailed, notEditable, saveFailed, fontFailed, cancelled, wouldDamage };

    Kind kind = Kind::saveFailed;
    QString text;            // unavailable: the loader's message; notEditable: the reason
    unsigned long code = 0;  // loadFailed: PDFium's last-error code
    int pageIndex = 0;       // pageFailed: counted from 0

    static PDFiumError unavailable(const QString& loaderMessage) { return {Kind::unavailable, loaderMessage, 0, 0}; }
    static PDFiumError loadFailed(unsigned long code) { return {Kind::loadFailed, {}, code, 0}; }
    static PDFiumError pageFailed(int index) { return {Kind::pageFailed, {}, 0, index}; }
    static PDFiumError notEditable(const QString& reason) { return {Kind::notEditable, reason, 0, 0}; }
    static PDFiumError saveFailed() { return {Kind::saveFailed, {}, 0, 0}; }
    static PDFiumError fontFailed() { return {Kind::fontFailed, {}, 0, 0}; }
    // The page came back from the engine other than it was meant to be: the session holding it is spoiled.
    static PDFiumError wouldDamage() { return {Kind::wouldDamage, {}, 0, 0}; }
    // The user stopped it: nothing to tell them.
    static PDFiumError cancelled() { return {Kind::cancelled, {}, 0, 0}; }
    bool isCancel() const { return kind == Kind::cancelled; }

    QString message() const;

    friend bool operator==(const PDFiumError&, const PDFiumError&) = default;
};

template <typename T>
using PDFiumResult = Expected<T, PDFiumError>;
// The outcome of an operation with no value: nothing on success.
using MaybePDFiumError = std::optional<PDFiumError>;

// Why a text block cannot be edited in place.
namespace EditRefusal {
QString font();
QString geometry();
QString recognizedText();
QString script();
QString generic(); // a refused block that carries no reason of its own
} // namespace EditRefusal

} // namespace vmk::core
