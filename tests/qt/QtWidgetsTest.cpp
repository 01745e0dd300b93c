// The slide show dialog, the popup menu and the clipboard on Qt's offscreen platform.
#include "ContextMenu.h"
#include "Picture.h"
#include "QtDesktop.h"
#include "QtPopupMenu.h"
#include "SlideShowDialog.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

#include <gtest/gtest.h>

#include <string>

using namespace vistrel;

namespace {

QRect pixels(const DialogRect& units, const QFont& font) {
    int baseX = 0, baseY = 0;
    DialogBaseUnits(font, baseX, baseY);
    const DialogRect r = DialogUnitsToPixels(units, baseX, baseY);
    return {r.x, r.y, r.width, r.height};
}

// Texts keep their place and height and get at least their width, more when the text needs it.
void expectTextPlace(QWidget* widget, const QRect& place) {
    ASSERT_NE(widget, nullptr);
    const QRect r = widget->geometry();
    EXPECT_EQ(r.topLeft(), place.topLeft());
    EXPECT_EQ(r.height(), place.height());
    EXPECT_GE(r.width(), place.width());
    EXPECT_GE(r.width(),
              std::min(widget->sizeHint().width(), widget->parentWidget()->width() - r.x()));
}

} // namespace

TEST(SlideShowDialog, TextsControlsAndLayoutInDialogUnits) {
    SlideShowDialog dialog({});
    EXPECT_EQ(dialog.windowTitle().toStdString(), "Slide Show Pictures");
    const QFont font = dialog.font();
    EXPECT_EQ(font.pointSize(), 10);
    ASSERT_GE(pixels({0, 0, 4, 8}, font).width(), 3); // the font's base units were measured
    EXPECT_EQ(dialog.size(), pixels({0, 0, 187, 84}, font).size());
    const std::pair<QString, DialogRect> labels[] = {
        {"Play slide show (ESC to stop)", {49, 7, 88, 8}},
        {"Time delay: ", {31, 27, 38, 8}},
        {"Second [1 - 10]", {117, 27, 46, 8}},
    };
    for (const auto& [text, units] : labels) {
        SCOPED_TRACE(text.toStdString());
        QLabel* found = nullptr;
        for (QLabel* label : dialog.findChildren<QLabel*>())
            if (label->text() == text) found = label;
        expectTextPlace(found, pixels(units, font));
    }
    EXPECT_EQ(dialog.startButton()->text().toStdString(), "Start");
    EXPECT_FALSE(dialog.startButton()->isDefault());
    EXPECT_EQ(dialog.startButton()->geometry(), pixels({38, 60, 50, 14}, font));
    EXPECT_EQ(dialog.cancelButton()->text().toStdString(), "Cancel");
    EXPECT_EQ(dialog.cancelButton()->geometry(), pixels({100, 60, 50, 14}, font));
    EXPECT_EQ(dialog.delayEdit()->geometry(), pixels({74, 26, 40, 12}, font));
    EXPECT_EQ(dialog.delayEdit()->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    EXPECT_EQ(dialog.delayEdit()->text().toStdString(), "5");
    EXPECT_EQ(dialog.loopCheck()->text().toStdString(), "Loop");
    EXPECT_TRUE(dialog.loopCheck()->isChecked());
    expectTextPlace(dialog.loopCheck(), pixels({31, 43, 32, 10}, font));
    // Digits only.
    QString typed = "1a";
    int at = 2;
    EXPECT_EQ(dialog.delayEdit()->validator()->validate(typed, at), QValidator::Invalid);
}

TEST(SlideShowDialog, StartGivesTheClampedValuesAndCancelGivesNothing) {
    {
        SlideShowDialog dialog({12, false});
        EXPECT_EQ(dialog.delayEdit()->text().toStdString(), "12");
        EXPECT_FALSE(dialog.loopCheck()->isChecked());
        dialog.cancelButton()->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    {
        SlideShowDialog dialog({12, false});
        dialog.delayEdit()->setText("99");
        dialog.loopCheck()->setChecked(true);
        dialog.startButton()->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.settings().delay, 15);
        EXPECT_TRUE(dialog.settings().loop);
    }
    {
        // Enter starts the show although "Start" is not the default button.
        SlideShowDialog dialog({12, false});
        dialog.delayEdit()->setText("");
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &enter);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.settings().delay, 1);
    }
}

TEST(PopupMenu, ActionsFollowTheModel) {
    ContextMenuState s;
    s.hasPicture = true;
    s.startPage = false;
    s.caption = "Tom & Jerry.png [3x3]";
    s.hasFilePath = false;
    s.lockPlace = 4;
    s.userLock = true;
    s.fitToScreen = true;
    const auto items = BuildContextMenu(s);
    QMenu menu;
    FillMenu(menu, items);
    const QList<QAction*> actions = menu.actions();
    ASSERT_EQ(actions.size(), qsizetype(items.size()));

    EXPECT_EQ(actions[0]->text().toStdString(), "Tom && Jerry.png [3x3]"); // one "&", no mnemonic
    EXPECT_FALSE(actions[0]->isEnabled());
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->data().toInt(), int(MenuCommand::FitToScreen));
    EXPECT_TRUE(actions[2]->isChecked());
    EXPECT_FALSE(actions[3]->isCheckable()); // unchecked: no empty check box either
    // The nine places form one exclusive group with the locked place checked.
    std::vector<QActionGroup*> groups;
    for (QAction* action : actions) {
        if (action->isSeparator()) continue;
        const int place = LockPlaceOfCommand(MenuCommand(action->data().toInt()));
        if (place < 0) continue;
        groups.push_back(action->actionGroup());
        EXPECT_EQ(action->isChecked(), place == 4);
    }
    ASSERT_EQ(groups.size(), 9u);
    ASSERT_NE(groups[0], nullptr);
    EXPECT_EQ(std::count(groups.begin(), groups.end(), groups[0]), 9);
    EXPECT_TRUE(groups[0]->isExclusive());
    for (const auto& [image, side] : {std::pair{MenuImage::RotateCounterClockwiseLarge, 16},
                                      std::pair{MenuImage::RotateClockwiseLarge, 16},
                                      std::pair{MenuImage::RotateCounterClockwiseSmall, 13},
                                      std::pair{MenuImage::RotateClockwiseSmall, 13}})
        EXPECT_EQ(MenuImageIcon(image).availableSizes().value(0), QSize(side, side)) << int(image);
}

TEST(QtDesktop, ClipboardImageBecomesTheSamePicture) {
    QImage image(5, 3, QImage::Format_ARGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            image.setPixel(x, y, qRgba(x * 50, y * 100, 7, 255));
    QGuiApplication::clipboard()->setImage(image);

    QtDesktop desktop;
    ClipboardBitmap bitmap;
    ASSERT_TRUE(desktop.clipboardImage(bitmap));
    Picture picture;
    ASSERT_TRUE(picture.adoptBitmap(bitmap.description()));
    ASSERT_EQ(picture.width(), 5);
    ASSERT_EQ(picture.height(), 3);
    // Pixels blue, green, red.
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const uint8_t* p = picture.pixels() + y * picture.rowSize() + 3 * x;
            EXPECT_EQ(p[0] | p[1] << 8 | p[2] << 16, 7 | y * 100 << 8 | x * 50 << 16);
        }

    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(desktop.clipboardImage(bitmap));
}
