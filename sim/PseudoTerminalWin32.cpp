#ifdef _WIN32
#include "sim/SimLine.h"

namespace kaldor::sim {

// Windows has no pseudo-terminals; a virtual null-modem pair would take their place.
std::unique_ptr<SimLine> OpenPseudoTerminal(std::string& error) {
    error = "the simulated amplifier needs a pseudo-terminal, which Windows does not have";
    return nullptr;
}

} // namespace kaldor::sim
#endif
