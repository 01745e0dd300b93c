// The program's picture source: the prefetch cache of the picture's folder with its worker.
#pragma once

#include "PictureSource.h"

#include <memory>

namespace vistrel {

std::unique_ptr<PictureSource> MakePrefetcherSource();

} // namespace vistrel
