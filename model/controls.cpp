#include "model/controls.h"

namespace nyajkor {

Inputs::Inputs() {
    for (const Control& c : kControls) this->*c.position = c.start;
}

}  // namespace nyajkor
