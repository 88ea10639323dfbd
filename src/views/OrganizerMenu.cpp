#include "views/OrganizerMenu.h"

#include "editor/Editor.h"
#include "platform/icons/SymbolIcons.h"
#include "views/PageOrganizerView.h"

#include <QAction>
#include <QMenu>

namespace vmk::views {

std::vector<OrganizerMenuItem> organizerMenuItems(const IndexSet& targets, const OrganizerMenuActions& a)
{
    const bool any = !targets.empty();
    const int count = int(targets.size());
    const std::optional<int> lowest = any ? std::optional<int>(*targets.begin()) : std::nullopt;
    const std::optional<int> highest = any ? std::optional<int>(*targets.rbegin()) : std::nullopt;
    auto call = [](auto f, auto... args) { return [f, args...] { if (f) f(args...); }; };
    std::vector<OrganizerMenuItem> items;
    items.push_back({QStringLiteral("Open"), QStringLiteral("book"), count == 1, call(a.open, lowest.value_or(0))});
    items.push_back({});
    items.push_back({QStringLiteral("Rotate Left"), QStringLiteral("rotate.left"), any, call(a.rotate, targets, -90)});
    items.push_back({QStringLiteral("Rotate Right"), QStringLiteral("rotate.right"), any, call(a.rotate, targets, 90)});
    items.push_back({QStringLiteral("Duplicate"), QStringLiteral("plus.square.on.square"), any, call(a.duplicate, targets)});
    items.push_back({QStringLiteral("Extract to New PDF"), QStringLiteral("rectangle.portrait.and.arrow.forward"), any,
                     call(a.extract, targets)});
    items.push_back({});
    items.push_back({QStringLiteral("Insert Blank Page After"), QStringLiteral("doc.badge.plus"), true,
                     call(a.insertBlankPage, highest)});
    items.push_back({QStringLiteral("Insert Pages from File…"), QStringLiteral("square.and.arrow.down.on.square"), true,
                     call(a.insertFromFile)});
    items.push_back({});
    items.push_back({count < 2 ? QStringLiteral("Delete Page") : QStringLiteral("Delete %1 Pages").arg(count),
                     QStringLiteral("trash"), any, call(a.deletePages, targets)});
    return items;
}

QMenu* PageOrganizerView::makeContextMenu(std::optional<int> clickedIndex, QWidget* parent)
{
    if (!m_editor)
        return nullptr;
    IndexSet targets;
    if (m_style == Style::grid) {
        if (clickedIndex && !m_editor->organizerSelection().contains(*clickedIndex)) {
            m_editor->setOrganizerSelection({*clickedIndex});
            syncSelectionFromEditor();
        }
        targets = m_editor->organizerSelection();
    } else if (clickedIndex) {
        m_editor->goToPage(*clickedIndex);
        targets = {*clickedIndex};
    }

    // Open holds the organizer weakly; the page commands hold the Editor (weakly as well, since it may
    // go away while the menu is open).
    QPointer<PageOrganizerView> self(this);
    QPointer<Editor> editor = m_editor;
    OrganizerMenuActions actions;
    actions.open = [self](int index) { if (self) self->openPage(index); };
    actions.rotate = [editor](const IndexSet& pages, int degrees) { if (editor) editor->rotateSelectedPages(pages, degrees); };
    actions.duplicate = [editor](const IndexSet& pages) { if (editor) editor->duplicatePages(pages); };
    actions.extract = [editor](const IndexSet& pages) { if (editor) editor->extractPages(pages); };
    actions.insertBlankPage = [editor](std::optional<int> after) { if (editor) editor->insertBlankPage(after); };
    actions.insertFromFile = [editor] { if (editor) editor->insertPagesFromFile(); };
    actions.deletePages = [editor](const IndexSet& pages) { if (editor) editor->deletePages(pages); };

    auto* menu = new QMenu(parent);
    const QColor tint = palette().color(QPalette::WindowText);
    for (const OrganizerMenuItem& item : organizerMenuItems(targets, actions)) {
        if (item.isSeparator()) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(platform::symbolIcon(item.symbol, tint), item.title);
        action->setEnabled(item.enabled);
        connect(action, &QAction::triggered, menu, [handler = item.handler] { handler(); });
    }
    return menu;
}

} // namespace vmk::views
