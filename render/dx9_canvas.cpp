#include "render/dx9_canvas.h"

namespace vantoro {

bool TDXCanvas::HandleNotify(std::uint32_t /*code*/) { return true; }

}  // namespace vantoro
