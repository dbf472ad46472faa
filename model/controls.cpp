#include "model/controls.h"

namespace nyajkor {

Inputs::Inputs() {
    for (const Control& c : kControls) this->*c.position = c.start;
}

const Control* controlOfFlag(const std::string& flag) {
    for (const Control& c : kControls)
        if (c.flag && flag == c.flag) return &c;
    return nullptr;
}

}  // namespace nyajkor
