// The information view on Qt: a modal window listing the properties of the picture on show, one
// label and value a row, the values selectable for copying.
#pragma once

#include "WindowHost.h"

#include <QDialog>

#include <vector>

namespace vistrel {

class PropertiesDialog final : public QDialog {
public:
    PropertiesDialog(const QString& title, const std::vector<PropertyRow>& rows,
                     QWidget* owner = nullptr);
};

} // namespace vistrel
