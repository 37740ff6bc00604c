// libFuzzer target: the OpenPGP message reader with libcrypto and the passphrase "fuzz", which
// the seeds in fuzz/corpus-pgp are encrypted with. The S2K is capped at 65,536 bytes hashed so
// that an input costs little; what the reader returns is checked against its promises. An input
// that is no message (its first byte is no packet header) also goes through the writer as the
// literal data, its first bytes as the file name, and must come back whole.
#include "exchange/OpenPgp.h"
#include "OpenSslPgpCrypto.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

void Check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static testing_support::OpenSslPgpCrypto crypto;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const exchange::PgpMessage message =
        exchange::DecryptPgpMessage(crypto, "fuzz", input, std::uint64_t{1} << 16);
    if (message.status != exchange::PgpStatus::Ok) {
        Check(message.data.Empty() && message.fileName.empty() && message.time == 0,
              "nothing of the content without the status Ok");
    } else {
        Check(message.data.Size() + message.fileName.size() + 22 + 18 + 6 < size,
              "the literal data and its name come from within the message");
    }
    Check((message.status == exchange::PgpStatus::Unsupported) ==
              (message.unsupported != exchange::PgpUnsupported::None),
          "what is unsupported is named with the status Unsupported only");
    if (size > 0 && (data[0] & 0x80) != 0) {
        return 0;
    }
    const std::string_view name = input.substr(0, std::min<std::size_t>(size, 255));
    const fw::Secret written = exchange::EncryptPgpMessage(crypto, "fuzz", input, name, 7, 0x00);
    const exchange::PgpMessage back = exchange::DecryptPgpMessage(crypto, "fuzz", written.Get());
    Check(back.status == exchange::PgpStatus::Ok && back.data.Get() == input &&
              back.fileName == name && back.time == 7,
          "what the writer wrote reads back");
    return 0;
}
