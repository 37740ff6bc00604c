#include "Shared.h"

#include "store/CertificateStore.h"

namespace console {

// Every certificate, also one whose name the code page cannot hold, which is shown escaped
// rather than as a look-alike of another.
int List(const Invocation&, ConsoleIo& io) {
    if (RefuseUnlessElevated(io)) {
        return kFailed;
    }
    std::wstring text;
    for (const store::ListedUserId& listed : store::ListCertificates(io)) {
        text += listed.Shown() + L"\r\n";
    }
    return Print(io, text) && !io.Reported() ? kSucceeded : kFailed;
}

} // namespace console
