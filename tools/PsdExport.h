// vistrel-psd's picture outputs: the composite of the layers, and the export of a document's
// pictures as PNG files into a folder.
#pragma once

#include "psd.h"

#include <string>
#include <vector>

namespace vistrel {

// The files an export wrote, by their names in its folder; empty where nothing was written.
struct PsdExportFiles {
    std::string merged;              // "merged.png": the merged picture the file holds
    std::string composite;           // "composite.png": the layers composited
    std::vector<std::string> pixels; // per layer in file order: "layer-N.png", its own rectangle
    std::vector<std::string> masks;  // per layer: "layer-N-mask.png", the user mask's rectangle
};

// Writes the document's pictures into `folder` (made when missing): the merged picture, the
// composite (`composite`: width x height words from psd_composite), and each layer's pixels
// (RGBA) and user mask (grayscale). False, with the path on standard error, when a file cannot be
// written.
bool exportDocument(const PsdContext& psd, const uint32_t* composite, const std::string& folder,
                    PsdExportFiles& files);

} // namespace vistrel
