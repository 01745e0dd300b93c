// The context menu model shown as a Qt popup menu.
#pragma once

#include "MenuItem.h"

#include <QIcon>
#include <QMenu>
#include <QPoint>

#include <vector>

namespace vistrel {

// Fills `menu` with the items; each action carries its item's command as its data.
void FillMenu(QMenu& menu, const std::vector<MenuItem>& items);

// Shows the items at `globalPos` (screen coordinates) and waits for a choice: the chosen item's
// command, or -1 when the menu was dismissed.
int ExecPopupMenu(const std::vector<MenuItem>& items, QPoint globalPos, QWidget* owner);

// The width a menu item's check mark or image gets in pixels, for ContextMenuState.
int MenuCheckMarkWidth(QWidget* owner);

// The picture shown beside an item; a null icon for none.
QIcon MenuImageIcon(MenuImage image);

} // namespace vistrel
