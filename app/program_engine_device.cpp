#include "platform.h"
#include "program_engine.h"

namespace vandrel {

tolvane::DfuEngine& ProgramEngine() noexcept {
    static tolvane::DfuEngine engine(tolvane::platform::DefaultHidBus(),
                                     tolvane::platform::DefaultServices());
    return engine;
}

}  // namespace vandrel
