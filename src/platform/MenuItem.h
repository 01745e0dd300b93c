// One item of a popup menu as the window builds it and the toolkit shows it.
#pragma once

#include <string>

namespace vistrel {

struct MenuItem {
    int id = 0; // the command a choice gives back; 0 for a separator
    std::string text;
    bool separator = false;
    bool checked = false;
    bool radio = false; // the check shows as a radio mark
    bool grayed = false;
    int image = 0; // a picture shown beside the text, by resource id; 0 for none
};

} // namespace vistrel
