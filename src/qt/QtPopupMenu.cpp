#include "QtPopupMenu.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QStyle>

namespace vistrel {

namespace {

// Qt reads "&" in an action's text as a mnemonic mark; file names may hold one.
QString menuText(const std::string& text) {
    QString out = QString::fromStdString(text);
    out.replace(QLatin1Char('&'), QLatin1String("&&"));
    return out;
}

} // namespace

QIcon MenuImageIcon(MenuImage image) {
    switch (image) {
    case MenuImage::RotateClockwiseLarge:
        return QIcon(QStringLiteral(":/menu/rotate_cw_16.png"));
    case MenuImage::RotateCounterClockwiseLarge:
        return QIcon(QStringLiteral(":/menu/rotate_ccw_16.png"));
    case MenuImage::RotateClockwiseSmall:
        return QIcon(QStringLiteral(":/menu/rotate_cw_13.png"));
    case MenuImage::RotateCounterClockwiseSmall:
        return QIcon(QStringLiteral(":/menu/rotate_ccw_13.png"));
    case MenuImage::None:
        break;
    }
    return {};
}

void FillMenu(QMenu& menu, const std::vector<MenuItem>& items) {
    QActionGroup* radios = nullptr;
    for (const MenuItem& item : items) {
        if (item.separator) {
            menu.addSeparator();
            radios = nullptr;
            continue;
        }
        QAction* action = menu.addAction(menuText(item.text));
        action->setData(item.command);
        action->setEnabled(!item.grayed);
        // Only a checked item shows a mark; an unchecked one shows nothing, not an empty box.
        action->setCheckable(item.checked);
        action->setChecked(item.checked);
        if (item.radio) {
            if (!radios) {
                radios = new QActionGroup(&menu);
                radios->setExclusive(true);
            }
            radios->addAction(action);
        } else {
            radios = nullptr;
        }
        const QIcon icon = MenuImageIcon(item.image);
        if (!icon.isNull()) {
            action->setIcon(icon);
            action->setIconVisibleInMenu(true);
        }
    }
}

int ExecPopupMenu(const std::vector<MenuItem>& items, QPoint globalPos, QWidget* owner) {
    QMenu menu(owner);
    FillMenu(menu, items);
    const QAction* chosen = menu.exec(globalPos);
    return chosen ? chosen->data().toInt() : -1;
}

int MenuCheckMarkWidth(QWidget* owner) {
    const QStyle* style = owner ? owner->style() : QApplication::style();
    return style ? style->pixelMetric(QStyle::PM_SmallIconSize, nullptr, owner) : 16;
}

} // namespace vistrel
