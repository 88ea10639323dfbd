#pragma once

#include <QStringList>

#include <optional>

class QWidget;

namespace vmk::app {

// The questions the shell asks about a document's file. Message boxes and file dialogs unless a test
// installs its own answers.
class DocumentQuestions {
public:
    enum class SaveAnswer { Save, DontSave, Cancel };
    enum class DiskChangeAnswer { KeepOursAsCopy, ReloadTheirs, Cancel };

    virtual ~DocumentQuestions() = default;
    // "Save the changes to “name”?" with Save…, Don't Save and Cancel.
    virtual SaveAnswer askToSave(const QString& name, QWidget* parent) = 0;
    // A save panel starting at suggestedPath; nothing when cancelled.
    virtual std::optional<QString> chooseSavePath(const QString& suggestedPath, QWidget* parent) = 0;
    // The file changed on disk since it was opened: keep ours as the named copy, or reload theirs.
    virtual DiskChangeAnswer askAboutDiskChange(const QString& name, const QString& copyName, QWidget* parent) = 0;
    // A new name for the file (Rename…); nothing when cancelled.
    virtual std::optional<QString> chooseNewName(const QString& currentName, QWidget* parent) = 0;
    // A folder to move the file to (Move To…); nothing when cancelled.
    virtual std::optional<QString> chooseFolder(const QString& startFolder, QWidget* parent) = 0;
    // One of the kept copies (by their labels, newest first); nothing when cancelled.
    virtual std::optional<int> chooseKeptOriginal(const QStringList& labels, QWidget* parent) = 0;
};

// The process's questions; null restores the standard ones.
DocumentQuestions& documentQuestions();
void setDocumentQuestions(DocumentQuestions* questions);

} // namespace vmk::app
