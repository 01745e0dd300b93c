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

// The dialog's font: the desktop's default family at 10 points.
QFont SlideShowDialogFont();
// Base units of a font: the average width of its letters and its height, in pixels.
void DialogBaseUnits(const QFont& font, int& baseX, int& baseY);

class SlideShowDialog final : public QDialog {
public:
    // Shows `initial`; "Start" reads the fields (the delay clamped to 1..15) and accepts.
    explicit SlideShowDialog(const SlideShowSettings& initial, QWidget* owner = nullptr);

    // The values "Start" read; meaningful after the dialog was accepted.
    const SlideShowSettings& settings() const { return settings_; }
    QLineEdit* delayEdit() const { return delayEdit_; }
    QCheckBox* loopCheck() const { return loopCheck_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void start();

    SlideShowSettings settings_;
    QLineEdit* delayEdit_ = nullptr;
    QCheckBox* loopCheck_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace vistrel
