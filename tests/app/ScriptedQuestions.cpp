#include "ScriptedQuestions.h"

namespace vmk::app::test {

namespace {
template <class T> std::optional<T> take(QList<T>& queue)
{
    if (queue.isEmpty())
        return std::nullopt;
    return queue.takeFirst();
}
} // namespace

DocumentQuestions::SaveAnswer ScriptedQuestions::askToSave(const QString&, QWidget*)
{
    asked << "save";
    return take(save).value_or(SaveAnswer::DontSave);
}

std::optional<QString> ScriptedQuestions::chooseSavePath(const QString&, QWidget*)
{
    asked << "savePath";
    return take(savePaths).value_or(std::nullopt);
}

DocumentQuestions::DiskChangeAnswer ScriptedQuestions::askAboutDiskChange(const QString&, const QString&, QWidget*)
{
    asked << "diskChange";
    return take(diskChange).value_or(DiskChangeAnswer::Cancel);
}

std::optional<QString> ScriptedQuestions::chooseNewName(const QString&, QWidget*)
{
    asked << "name";
    return take(names);
}

std::optional<QString> ScriptedQuestions::chooseFolder(const QString&, QWidget*)
{
    asked << "folder";
    return take(folders);
}

std::optional<int> ScriptedQuestions::chooseKeptOriginal(const QStringList& labels, QWidget*)
{
    asked << "kept";
    lastKeptLabels = labels;
    return take(keptChoices);
}

ScriptedQuestions& scriptedQuestions()
{
    static ScriptedQuestions questions;
    return questions;
}

// Every test of this binary runs with scripted answers: a message box would wait forever off screen.
static const bool installed = [] {
    setDocumentQuestions(&scriptedQuestions());
    return true;
}();

} // namespace vmk::app::test
