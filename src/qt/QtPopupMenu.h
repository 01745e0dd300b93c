// The context menu model shown as a Qt popup menu.
#pragma once

#include "ContextMenu.h"

#include <QIcon>
#include <QMenu>
#include <QPoint>

#include <vector>

namespace vistrel {

// Fills `menu` with the items; each action carries its command id as its data.
void FillMenu(QMenu& menu, const std::vector<MenuItem>& items);

// Shows the items at `globalPos` (screen coordinates) and waits for a choice: the chosen command
// id, or 0 when the menu was dismissed.
int ExecPopupMenu(const std::vector<MenuItem>& items, QPoint globalPos, QWidget* owner);

// The width a menu item's check mark or image gets in pixels, for ContextMenuState.
int MenuCheckMarkWidth(QWidget* owner);

// The picture of a MenuImage id; a null icon for MenuImageNone or an unknown id.
QIcon MenuImageIcon(int image);

} // namespace vistrel
