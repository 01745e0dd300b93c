#include "SlideShowDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include <algorithm>

namespace vistrel {

namespace {

// The dialog's size and its controls' rectangles in dialog units.
constexpr DialogRect kDialogSize{0, 0, 187, 84};
constexpr DialogRect kTitleLabel{49, 7, 88, 8};
constexpr DialogRect kStartButton{38, 60, 50, 14};
constexpr DialogRect kCancelButton{100, 60, 50, 14};
constexpr DialogRect kDelayLabel{31, 27, 38, 8};
constexpr DialogRect kDelayEdit{74, 26, 40, 12};
constexpr DialogRect kSecondsLabel{117, 27, 46, 8};
constexpr DialogRect kLoopCheck{31, 43, 32, 10};

} // namespace

QFont SlideShowDialogFont() {
    QFont font = QApplication::font();
    font.setPointSize(10);
    return font;
}

void DialogBaseUnits(const QFont& font, int& baseX, int& baseY) {
    const QFontMetrics metrics(font);
    // The average of the 52 letters, rounded, as dialog templates have always measured it.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX = (letters / 26 + 1) / 2;
    baseY = metrics.height();
}

SlideShowDialog::SlideShowDialog(const SlideShowSettings& initial, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      settings_(initial) {
    setWindowTitle(QStringLiteral("Slide Show Pictures"));
    setModal(true);
    setFont(SlideShowDialogFont());
    int baseX = 0, baseY = 0;
    DialogBaseUnits(font(), baseX, baseY);
    auto place = [&](QWidget* widget, const DialogRect& units) {
        const DialogRect r = DialogUnitsToPixels(units, baseX, baseY);
        widget->setGeometry(r.x, r.y, r.width, r.height);
    };
    const DialogRect size = DialogUnitsToPixels(kDialogSize, baseX, baseY);
    setFixedSize(size.width, size.height);
    // The rectangles were made for a font whose blanks and capitals are narrower, relative to its
    // average letter, than in the fonts of the Linux desktops: a text that would be clipped gets
    // the room it needs to its right, as far as the dialog's edge.
    auto placeText = [&](QWidget* widget, const DialogRect& units) {
        place(widget, units);
        const int wanted = std::min(widget->sizeHint().width(), size.width - widget->x());
        if (wanted > widget->width()) widget->resize(wanted, widget->height());
    };

    // Created in the template's order, which is also the tab order.
    placeText(new QLabel(QStringLiteral("Play slide show (ESC to stop)"), this), kTitleLabel);
    start_ = new QPushButton(QStringLiteral("Start"), this);
    start_->setAutoDefault(false);
    place(start_, kStartButton);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setAutoDefault(false);
    place(cancel_, kCancelButton);
    placeText(new QLabel(QStringLiteral("Time delay: "), this), kDelayLabel);
    delayEdit_ = new QLineEdit(this);
    delayEdit_->setAlignment(Qt::AlignCenter);
    delayEdit_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), delayEdit_));
    delayEdit_->setText(QString::number(initial.delay));
    place(delayEdit_, kDelayEdit);
    placeText(new QLabel(QStringLiteral("Second [1 - 10]"), this), kSecondsLabel);
    loopCheck_ = new QCheckBox(QStringLiteral("Loop"), this);
    loopCheck_->setChecked(initial.loop);
    placeText(loopCheck_, kLoopCheck);

    connect(start_, &QPushButton::clicked, this, [this] { start(); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    start_->setFocus();
}

void SlideShowDialog::start() {
    settings_ = {DelayFromText(delayEdit_->text().toStdString()), loopCheck_->isChecked()};
    accept();
}

void SlideShowDialog::keyPressEvent(QKeyEvent* event) {
    // Enter acts as the dialog's OK even though "Start" is not drawn as the default button; on a
    // focused "Cancel" it cancels. Esc cancels (QDialog's own handling).
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (focusWidget() == cancel_)
            reject();
        else
            start();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace vistrel
