#pragma once

#include "app/DocumentQuestions.h"

#include <QList>

namespace vmk::app::test {

// Answers the document questions without a dialog: each answer is taken from its queue; an empty queue
// answers Don't Save to closing an untitled document and Cancel (or no choice) to everything else.
// Installed for the whole test binary, so no test ever waits on a message box; tests queue the answers
// they need and reset() after.
struct ScriptedQuestions : DocumentQuestions {
    QList<SaveAnswer> save;
    QList<std::optional<QString>> savePaths;
    QList<DiskChangeAnswer> diskChange;
    QList<QString> names;
    QList<QString> folders;
    QList<int> keptChoices;
    QStringList asked; // what was asked, in order: "save", "savePath", "diskChange", "name", "folder", "kept"
    QStringList lastKeptLabels;

    SaveAnswer askToSave(const QString&, QWidget*) override;
    std::optional<QString> chooseSavePath(const QString&, QWidget*) override;
    DiskChangeAnswer askAboutDiskChange(const QString&, const QString&, QWidget*) override;
    std::optional<QString> chooseNewName(const QString&, QWidget*) override;
    std::optional<QString> chooseFolder(const QString&, QWidget*) override;
    std::optional<int> chooseKeptOriginal(const QStringList& labels, QWidget*) override;
    void reset() { *this = ScriptedQuestions(); }
};

ScriptedQuestions& scriptedQuestions();

} // namespace vmk::app::test
