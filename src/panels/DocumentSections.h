#pragma once

#include "panels/FormParts.h"

#include <QPointer>

#include <functional>

class QAbstractButton;
class QLabel;
class QPushButton;

namespace vmk {
class Editor;
}
namespace vmk::signatures {
class SignatureStore;
}

namespace vmk::panels {

// Facts about the document (pages, size, password) and the whole-document actions, with the note that
// nothing leaves the computer. A locked document shows the facts only.
class DocumentSection : public QWidget {
    Q_OBJECT
public:
    explicit DocumentSection(Editor* editor, QWidget* parent = nullptr);

    FormSection* facts() const { return m_facts; }
    // The value shown in a row ("Pages", "Size", "Password"), or null when the row is absent.
    QLabel* value(const QString& row) const;
    // A button by its title, or null when not shown.
    QPushButton* button(const QString& title) const;

private:
    void rebuild();

    QPointer<Editor> m_editor;
    FormSection* m_facts = nullptr;
};

// Sign mode: the saved signatures of the store, each with "Place" and a delete button, and "New
// Signature…". The store is observed, so a signature saved or deleted anywhere shows here at once.
class SignaturesSection : public QWidget {
    Q_OBJECT
public:
    SignaturesSection(Editor* editor, signatures::SignatureStore* store, QWidget* parent = nullptr);

    FormSection* list() const { return m_list; }
    // What "New Signature…" runs; the signature sheet on the Editor's window unless replaced.
    void setNewSignatureAction(std::function<void(Editor*)> action) { m_newSignature = std::move(action); }
    // "Place" and the delete buttons, in row order.
    QList<QPushButton*> placeButtons() const;
    QList<QAbstractButton*> deleteButtons() const;
    QPushButton* newSignatureButton() const { return m_new; }
    bool showsNoneYet() const;

private:
    void rebuild();

    QPointer<Editor> m_editor;
    QPointer<signatures::SignatureStore> m_store;
    std::function<void(Editor*)> m_newSignature;
    FormSection* m_list = nullptr;
    QPushButton* m_new = nullptr;
};

} // namespace vmk::panels
