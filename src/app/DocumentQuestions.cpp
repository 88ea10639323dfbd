#include "app/DocumentQuestions.h"

#include "platform/services/PlainText.h"
#include "platform/services/WindowDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace vmk::app {

namespace {

class StandardQuestions : public DocumentQuestions {
public:
    SaveAnswer askToSave(const QString& name, QWidget* parent) override
    {
        QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                        QStringLiteral("Save the changes to “%1”?").arg(name), QMessageBox::NoButton, parent);
        box.setInformativeText(QStringLiteral("This document has never been saved. If you don’t save it, it’s gone."));
        platform::makePlain(box); // the name may hold anything
        if (parent)
            platform::belongToWindow(&box);
        QPushButton* save = box.addButton(QStringLiteral("Save…"), QMessageBox::AcceptRole);
        QPushButton* dontSave = box.addButton(QStringLiteral("Don’t Save"), QMessageBox::DestructiveRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(save);
        box.exec();
        if (box.clickedButton() == save)
            return SaveAnswer::Save;
        if (box.clickedButton() == dontSave)
            return SaveAnswer::DontSave;
        return SaveAnswer::Cancel;
    }

    std::optional<QString> chooseSavePath(const QString& suggestedPath, QWidget* parent) override
    {
        const QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("Save"), suggestedPath,
                                                          QStringLiteral("PDF documents (*.pdf)"));
        if (path.isEmpty())
            return std::nullopt;
        return path;
    }

    DiskChangeAnswer askAboutDiskChange(const QString& name, const QString& copyName, QWidget* parent) override
    {
        QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                        QStringLiteral("“%1” was changed by another application.").arg(name), QMessageBox::NoButton,
                        parent);
        box.setInformativeText(QStringLiteral("Keep your version as “%1” and leave theirs as it is, or reload their "
                                              "version and drop your changes.")
                                   .arg(copyName));
        platform::makePlain(box);
        if (parent)
            platform::belongToWindow(&box);
        QPushButton* keep = box.addButton(QStringLiteral("Keep Mine as a Copy"), QMessageBox::AcceptRole);
        QPushButton* reload = box.addButton(QStringLiteral("Reload Theirs"), QMessageBox::DestructiveRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(keep);
        box.exec();
        if (box.clickedButton() == keep)
            return DiskChangeAnswer::KeepOursAsCopy;
        if (box.clickedButton() == reload)
            return DiskChangeAnswer::ReloadTheirs;
        return DiskChangeAnswer::Cancel;
    }

    std::optional<QString> chooseNewName(const QString& currentName, QWidget* parent) override
    {
        bool ok = false;
        const QString name = QInputDialog::getText(parent, QStringLiteral("Rename"), QStringLiteral("Name:"),
                                                   QLineEdit::Normal, currentName, &ok);
        if (!ok || name.trimmed().isEmpty())
            return std::nullopt;
        return name.trimmed();
    }

    std::optional<QString> chooseFolder(const QString& startFolder, QWidget* parent) override
    {
        const QString folder = QFileDialog::getExistingDirectory(parent, QStringLiteral("Move To"), startFolder);
        if (folder.isEmpty())
            return std::nullopt;
        return folder;
    }

    std::optional<int> chooseKeptOriginal(const QStringList& labels, QWidget* parent) override
    {
        bool ok = false;
        const QString chosen = QInputDialog::getItem(parent, QStringLiteral("Revert To Original"),
                                                     QStringLiteral("The file as it was when you opened it:"), labels,
                                                     0, false, &ok);
        if (!ok || !labels.contains(chosen))
            return std::nullopt;
        return int(labels.indexOf(chosen));
    }
};

DocumentQuestions* g_questions = nullptr;

} // namespace

DocumentQuestions& documentQuestions()
{
    static StandardQuestions standard;
    return g_questions ? *g_questions : standard;
}

void setDocumentQuestions(DocumentQuestions* questions)
{
    g_questions = questions;
}

} // namespace vmk::app
