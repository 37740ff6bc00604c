#include "Shared.h"

#include "exchange/ExclusiveFile.h"
#include "framework/Text.h"

namespace console {

int Reg(const Invocation& invocation, ConsoleIo& io) {
    const wchar_t* nothing = L"Nothing was written.";
    std::vector<std::wstring> paths;
    std::vector<exchange::RegCertificate> certificates;
    if (!OperandFiles(invocation, io, nothing, paths) ||
        !ReadCertificates(paths, io, nothing, true, certificates)) {
        return kFailed;
    }
    fw::Secret text = exchange::MakeRegFile(certificates, IsAnsiLeadByte);
    if ((invocation.options & kOutput) == 0) {
        return Print(io, text.Get()) ? kSucceeded : kFailed;
    }
    exchange::ExclusiveFile file(invocation.output, exchange::ExclusiveFile::Mode::CreateProtected);
    if (!file.IsOpen() || !file.Write(text.Data(), text.Size()) || !file.Flush() || !file.Close()) {
        io.Error(QuotedPath(invocation.output) + L" could not be written: " +
                 fw::FromAnsi(file.Error()));
        return kFailed;
    }
    return kSucceeded;
}

} // namespace console
