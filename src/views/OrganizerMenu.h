#pragma once

#include "editor/EditorTypes.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace vmk::views {

// One entry of the organizer's right-click menu; a separator has no title.
struct OrganizerMenuItem {
    QString title;
    QString symbol;
    bool enabled = false;
    std::function<void()> handler;

    bool isSeparator() const { return title.isEmpty(); }
};

// What the menu's commands do, given the pages they act on (captured when the menu is made).
struct OrganizerMenuActions {
    std::function<void(int index)> open;
    std::function<void(const IndexSet&, int degrees)> rotate;
    std::function<void(const IndexSet&)> duplicate;
    std::function<void(const IndexSet&)> extract;
    std::function<void(std::optional<int> after)> insertBlankPage;
    std::function<void()> insertFromFile;
    std::function<void(const IndexSet&)> deletePages;
};

// The menu's entries for the target pages: Open, the rotations, Duplicate and Extract, the two inserts,
// and Delete, each enabled by how many pages it would act on.
std::vector<OrganizerMenuItem> organizerMenuItems(const IndexSet& targets, const OrganizerMenuActions& actions);

} // namespace vmk::views
