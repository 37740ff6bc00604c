// verify: whether the store holds what certificate files say, for compliance tools.
#include "Shared.h"

namespace console {

int Verify(const Invocation&, ConsoleIo& io) {
    return UsageError(io, L"verify is not built yet.", "verify");
}

} // namespace console
