#include "PropertiesDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vistrel {

PropertiesDialog::PropertiesDialog(const QString& title, const std::vector<PropertyRow>& rows,
                                   QWidget* owner)
    : QDialog(owner) {
    setWindowTitle(title);
    auto* form = new QFormLayout;
    for (const PropertyRow& row : rows) {
        auto* value = new QLabel(QString::fromStdString(row.value));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setTextFormat(Qt::PlainText);
        form->addRow(QString::fromStdString(row.label) + QLatin1Char(':'), value);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

} // namespace vistrel
