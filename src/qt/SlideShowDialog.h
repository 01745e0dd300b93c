// The modal "Slide Show Pictures" dialog: the delay in seconds and the loop option, laid out in
// dialog units of its font like the dialog it stands for.
#pragma once

#include "SlideShowSettings.h"

#include <QDialog>
#include <QFont>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace vistrel {

// Control ids, as the window and tests name them.
enum SlideShowControl : int {
    SlideShowStart = 1,
    SlideShowCancel = 2,
    SlideShowDelayEdit = 1003,
    SlideShowLoopCheck = 1004,
};

// The dialog's font: the desktop's default family at 10 points.
QFont SlideShowDialogFont();
// Base units of a font: the average width of its letters and its height, in pixels.
void DialogBaseUnits(const QFont& font, int& baseX, int& baseY);

class SlideShowDialog final : public QDialog {
public:
    // Shows `initial`; "Start" clamps the delay and stores both values through `write`.
    SlideShowDialog(const SlideShowSettings& initial, SettingWriter write,
                    QWidget* owner = nullptr);

    // The values "Start" stored; meaningful after the dialog was accepted.
    const SlideShowSettings& settings() const { return settings_; }
    QLineEdit* delayEdit() const { return delayEdit_; }
    QCheckBox* loopCheck() const { return loopCheck_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void start();

    SettingWriter write_;
    SlideShowSettings settings_;
    QLineEdit* delayEdit_ = nullptr;
    QCheckBox* loopCheck_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Reads the stored values, runs the dialog modally over `owner` and, on "Start", gives the
// values stored. False when the dialog was cancelled.
bool RunSlideShowDialog(QWidget* owner, const SettingReader& read, const SettingWriter& write,
                        SlideShowSettings& accepted);

} // namespace vistrel
