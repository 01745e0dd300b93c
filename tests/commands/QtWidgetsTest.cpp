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

#include <map>
#include <string>

using namespace vistrel;

// Readable failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

struct Store {
    std::map<std::string, int32_t> values;
    SettingReader reader() {
        return [this](const char* name) {
            const auto it = values.find(name);
            return it == values.end() ? -1 : it->second;
        };
    }
    SettingWriter writer() {
        return [this](const char* name, int32_t value) {
            values[name] = value;
            return 0;
        };
    }
};

QRect pixels(const DialogRect& units, const QFont& font) {
    int baseX = 0, baseY = 0;
    DialogBaseUnits(font, baseX, baseY);
    const DialogRect r = DialogUnitsToPixels(units, baseX, baseY);
    return {r.x, r.y, r.width, r.height};
}

// Texts keep their place and height and get at least their width, more when the text needs it.
void expectTextPlace(QWidget* widget, const QRect& place) {
    const QRect r = widget->geometry();
    EXPECT_EQ(r.topLeft(), place.topLeft());
    EXPECT_EQ(r.height(), place.height());
    EXPECT_GE(r.width(), place.width());
    EXPECT_GE(r.width(),
              std::min(widget->sizeHint().width(), widget->parentWidget()->width() - r.x()));
}

QWidget* labelWithText(QWidget& parent, const QString& text) {
    for (QLabel* label : parent.findChildren<QLabel*>())
        if (label->text() == text) return label;
    return nullptr;
}

} // namespace

TEST(SlideShowDialog, TextsControlsAndLayoutInDialogUnits) {
    Store store;
    store.values["SlideShowDelayTime"] = 16; // out of range: the default shows
    SlideShowDialog dialog(ReadSlideShowSettings(store.reader()), store.writer());
    EXPECT_EQ(dialog.windowTitle(), "Slide Show Pictures");
    const QFont font = dialog.font();
    EXPECT_EQ(font.pointSize(), 10);
    int baseX = 0, baseY = 0;
    DialogBaseUnits(font, baseX, baseY);
    ASSERT_GT(baseX, 2);
    ASSERT_GT(baseY, 6);

    EXPECT_EQ(dialog.size(), pixels({0, 0, 187, 84}, font).size());
    const std::pair<QString, DialogRect> labels[] = {
        {"Play slide show (ESC to stop)", {49, 7, 88, 8}},
        {"Time delay: ", {31, 27, 38, 8}},
        {"Second [1 - 10]", {117, 27, 46, 8}},
    };
    for (const auto& [text, units] : labels) {
        QWidget* label = labelWithText(dialog, text);
        ASSERT_NE(label, nullptr) << text.toStdString();
        SCOPED_TRACE(text.toStdString());
        expectTextPlace(label, pixels(units, font));
    }
    EXPECT_EQ(dialog.startButton()->text(), "Start");
    EXPECT_FALSE(dialog.startButton()->isDefault());
    EXPECT_EQ(dialog.startButton()->geometry(), pixels({38, 60, 50, 14}, font));
    EXPECT_EQ(dialog.cancelButton()->text(), "Cancel");
    EXPECT_EQ(dialog.cancelButton()->geometry(), pixels({100, 60, 50, 14}, font));
    EXPECT_EQ(dialog.delayEdit()->geometry(), pixels({74, 26, 40, 12}, font));
    EXPECT_EQ(dialog.delayEdit()->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    EXPECT_EQ(dialog.delayEdit()->text(), "5");
    EXPECT_EQ(dialog.loopCheck()->text(), "Loop");
    EXPECT_TRUE(dialog.loopCheck()->isChecked());
    expectTextPlace(dialog.loopCheck(), pixels({31, 43, 32, 10}, font));

    // Digits only.
    QString typed = "1a";
    int at = 2;
    EXPECT_EQ(dialog.delayEdit()->validator()->validate(typed, at), QValidator::Invalid);
}

TEST(SlideShowDialog, StartClampsAndStoresCancelStoresNothing) {
    Store store;
    store.values = {{"SlideShowDelayTime", 12}, {"SlideShowLoop", 0}};
    {
        SlideShowDialog dialog(ReadSlideShowSettings(store.reader()), store.writer());
        EXPECT_EQ(dialog.delayEdit()->text(), "12");
        EXPECT_FALSE(dialog.loopCheck()->isChecked());
        dialog.delayEdit()->setText("99");
        dialog.cancelButton()->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(store.values["SlideShowDelayTime"], 12);
    }
    {
        SlideShowDialog dialog(ReadSlideShowSettings(store.reader()), store.writer());
        dialog.delayEdit()->setText("99");
        dialog.loopCheck()->setChecked(true);
        dialog.startButton()->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.settings().delay, 15);
        EXPECT_EQ(store.values["SlideShowDelayTime"], 15);
        EXPECT_EQ(store.values["SlideShowLoop"], 1);
    }
    {
        // Enter starts the show although "Start" is not the default button.
        SlideShowDialog dialog(ReadSlideShowSettings(store.reader()), store.writer());
        dialog.delayEdit()->setText("");
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &enter);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(store.values["SlideShowDelayTime"], 1);
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

    EXPECT_EQ(actions[0]->text(), "Tom && Jerry.png [3x3]"); // shown as one "&", no mnemonic
    EXPECT_FALSE(actions[0]->isEnabled());
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->data().toInt(), CmdFitToScreen);
    EXPECT_TRUE(actions[2]->isChecked());
    EXPECT_FALSE(actions[3]->isCheckable()); // unchecked: no empty check box either
    QActionGroup* group = nullptr;
    for (int i = 0; i < actions.size(); ++i) {
        const int place = LockPlaceOfCommand(actions[i]->data().toInt());
        if (actions[i]->isSeparator() || place < 0) continue;
        ASSERT_NE(actions[i]->actionGroup(), nullptr);
        if (!group) group = actions[i]->actionGroup();
        EXPECT_EQ(actions[i]->actionGroup(), group);
        EXPECT_EQ(actions[i]->isChecked(), place == 4);
    }
    ASSERT_NE(group, nullptr);
    EXPECT_TRUE(group->isExclusive());
    for (const int image : {MenuImageRotateLeftLarge, MenuImageRotateRightLarge,
                            MenuImageRotateLeftSmall, MenuImageRotateRightSmall}) {
        const QIcon icon = MenuImageIcon(image);
        ASSERT_FALSE(icon.isNull()) << image;
        const int side =
            image == MenuImageRotateLeftLarge || image == MenuImageRotateRightLarge ? 16 : 13;
        EXPECT_EQ(icon.availableSizes().value(0), QSize(side, side)) << image;
    }
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
    const uint8_t* bits = picture.lockBits();
    // Memory row 0 is the bottom row; pixels blue, green, red.
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            const uint8_t* p = bits + (2 - y) * picture.rowSize() + 3 * x;
            EXPECT_EQ(p[0], 7);
            EXPECT_EQ(p[1], y * 100);
            EXPECT_EQ(p[2], x * 50);
        }
    }
    picture.unlockBits();

    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(desktop.clipboardImage(bitmap));
}
