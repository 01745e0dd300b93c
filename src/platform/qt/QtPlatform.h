// The platform on Qt 6: the primary screen, the version number and Qt's image readers.
#pragma once

#include "Platform.h"

namespace vistrel {

class QtPlatform final : public Platform {
public:
    QtPlatform();
    ScreenSize screenSize() override;
    uint32_t version() override { return 0x0A00; }
    bool decodeSystemPicture(const uint8_t* data, std::size_t size, SystemImageSink& sink) override;
};

} // namespace vistrel
