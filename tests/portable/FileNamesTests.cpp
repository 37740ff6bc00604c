// The file names of a bulk export, without Windows: built natively under the sanitizers and into
// the Windows test program.
#include "exchange/FileNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <ostream>
#include <random>
#include <stdexcept>

namespace {

using exchange::CertificateFileNames;
using exchange::DecodeCertificateFileName;

// ASCII and Latin-1 letters to capitals, and odd folds: the dotless i folds to I beside i, the
// Kelvin sign to K without being a lower-case letter, and half a surrogate pair to another.
wchar_t Fold(wchar_t c) {
    const auto u = static_cast<std::uint32_t>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) {
        return static_cast<wchar_t>(u - 0x20);
    }
    return u == 0x131 ? L'I' : u == 0x212A ? L'K' : u == 0xDE01 ? L'\xDE00' : c;
}

std::wstring Folded(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), Fold);
    return text;
}

std::wstring Times(std::size_t count, const std::wstring& text) {
    std::wstring result;
    while (count-- > 0) {
        result += text;
    }
    return result;
}

struct Case {
    const char* what;
    std::vector<std::wstring> userIds;
    std::vector<std::wstring> names; // without ".crt"
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.what;
}

class Names : public testing::TestWithParam<Case> {};

TEST_P(Names, AreAsExpectedAndDecode) {
    const std::vector<std::wstring> names = CertificateFileNames(GetParam().userIds, Fold);
    ASSERT_EQ(GetParam().names.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(GetParam().names[i] + L".crt", names[i]);
        const auto decoded = DecodeCertificateFileName(names[i]);
        ASSERT_TRUE(decoded) << i;
        const std::wstring& userId = GetParam().userIds[i];
        EXPECT_EQ(decoded->complete ? userId : userId.substr(0, decoded->userId.size()),
                  decoded->userId);
    }
}

const std::wstring x248 = std::wstring(248, L'x');

INSTANTIATE_TEST_SUITE_P(
    Awkward, Names,
    testing::Values(
        Case{"Plain",
             {L"alice", L"j.smith", L"Ren\xE9", L"\xD83D\xDE00", L"a b", L"~x", L"COM10",
              L"CONSOLE", L"x.CON"},
             {L"alice", L"j.smith", L"Ren\xE9", L"\xD83D\xDE00", L"a b", L"~x", L"COM10",
              L"CONSOLE", L"x.CON"}},
        Case{"Forbidden",
             {L"a<b>c", L"x:\"/\\|?*", L"a\x01\tz\x1F", std::wstring(L"\0x", 2), L"a\xDC00",
              L"\xD800\xD800\xDC00"},
             {L"a%3Cb%3Ec", L"x%3A%22%2F%5C%7C%3F%2A", L"a%01%09z%1F", L"%00x", L"a%uDC00",
              L"%uD800\xD800\xDC00"}},
        Case{"EscapeCharacter",
             {L"100%", L"%41", L"%empty%", L"%~1"},
             {L"100%25", L"%2541", L"%25empty%25", L"%25~1"}},
        Case{"TrailingDotsAndSpaces",
             {L"alice.", L"bob ", L"a. .", L"...", L"."},
             {L"alice%2E", L"bob%20", L"a. %2E", L"..%2E", L"%2E"}},
        Case{"DeviceNames",
             {L"CON", L"con", L"Con.x", L"NUL ", L"nul .x", L"COM1", L"lpt9.a", L"COM\xB9",
              L"Lpt\xB3", L"CONIN$", L"conout$.txt", L"AUX..", L"prn", L"COM0", L" aux"},
             {L"%43ON", L"%63on", L"%43on.x", L"NUL%20", L"%6Eul .x", L"%43OM1", L"%6Cpt9.a",
              L"%43OM\xB9", L"%4Cpt\xB3", L"%43ONIN$", L"%63onout$.txt", L"%41UX.%2E", L"%70rn",
              L"%43OM0", L"%20aux"}},
        Case{"Empty", {L""}, {L"%empty%"}},
        Case{"LetterCase",
             {L"Alice", L"alice", L"ALICE", L"bob", L"a<", L"A<"},
             {L"%41lice", L"alice", L"%41%4C%49%43%45", L"bob", L"a%3C", L"%41%3C"}},
        Case{"OrderChangesNothing",
             {L"A<", L"ALICE", L"bob", L"alice", L"a<", L"Alice"},
             {L"%41%3C", L"%41%4C%49%43%45", L"bob", L"alice", L"a%3C", L"%41lice"}},
        Case{"Latin1",
             {L"Ren\xE9", L"REN\xC9", L"ren\xE9"},
             {L"%52en\xE9", L"%52%45%4E%C9", L"ren\xE9"}},
        Case{"OddFolds",
             {L"i", L"\x131", L"I", L"k", L"\x212A", L"\xD83D\xDE00", L"\xD83D\xDE01"},
             {L"i", L"%u0131", L"%49", L"k", L"%u212A", L"%uD83D%uDE00", L"\xD83D\xDE01"}},
        Case{"Repeated", {L"bob", L"Bob", L"bob"}, {L"bob", L"%42ob", L"bob"}},
        Case{"Long",
             {std::wstring(300, L'a'), std::wstring(100, L'<'), std::wstring(251, L'b'),
              std::wstring(252, L'b'), std::wstring(240, L'a') + Times(10, L"\xD83D\xDE00"),
              L"con." + std::wstring(300, L'a')},
             {std::wstring(241, L'a') + L"%~238E8DB5", Times(80, L"%3C") + L"%~E4103605",
              std::wstring(251, L'b'), std::wstring(241, L'b') + L"%~3B8B9585",
              std::wstring(240, L'a') + L"%~7371A841",
              L"%63on." + std::wstring(235, L'a') + L"%~EA2C4E61"}},
        // The same start and the same hash.
        Case{"HashesClash",
             {x248 + L"xux1mson", x248 + L"4u67p4dk"},
             {std::wstring(239, L'x') + L"%~8903F7A6~2", std::wstring(241, L'x') + L"%~8903F7A6"}}),
    [](const testing::TestParamInfo<Case>& param) { return std::string(param.param.what); });

TEST(DecodeCertificateFileName, RefusesWhatNoUserIdGives) {
    for (const wchar_t* name :
         {L"alice", L"alice.txt", L"%.crt", L"a%4.crt", L"%4g.crt", L"%4a.crt", L"%u00E9.crt",
          L"%uD8.crt", L"%~123.crt", L"%~1234567G.crt", L"%~12345678~01.crt", L"%~12345678~.crt",
          L"%~12345678x.crt", L"%empty%x.crt"}) {
        EXPECT_FALSE(DecodeCertificateFileName(name)) << name;
    }
    const auto shortened = DecodeCertificateFileName(L"a%3C%~12345678~2.crt");
    ASSERT_TRUE(shortened);
    EXPECT_EQ(L"a<", shortened->userId);
    EXPECT_FALSE(shortened->complete);
}

TEST(CertificateFileNames, RefusesAFoldThatMakesEscapesAlikeAndWhatIsNoUtf16) {
    EXPECT_THROW(CertificateFileNames({L"a"}, [](wchar_t) { return L'X'; }), std::invalid_argument);
    if (sizeof(wchar_t) > 2) { // 32 bits, outside Windows: more than a UTF-16 unit
        const std::wstring beyond(1, static_cast<wchar_t>(0x1F600 * sizeof(wchar_t) / 4));
        EXPECT_THROW(CertificateFileNames({beyond}, Fold), std::invalid_argument);
    }
}

// What Windows refuses or changes, checked on its own terms.
bool IsWindowsFileName(const std::wstring& name) {
    if (name.size() > 255 || name.size() < 5 || name.substr(name.size() - 4) != L".crt" ||
        name.find_first_of(L"<>:\"/\\|?*") != std::wstring::npos ||
        std::any_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x20; })) {
        return false;
    }
    const auto isLow = [&](std::size_t i) { return name[i] >= 0xDC00 && name[i] < 0xE000; };
    for (std::size_t i = 0; i < name.size(); ++i) {
        const bool high = name[i] >= 0xD800 && name[i] < 0xDC00;
        if (high ? i + 1 == name.size() || !isLow(i + 1)
                 : isLow(i) && !(i > 0 && name[i - 1] >= 0xD800 && name[i - 1] < 0xDC00)) {
            return false; // half a surrogate pair
        }
    }
    const std::wstring body = name.substr(0, name.size() - 4);
    if (body.empty() || body.back() == L'.' || body.back() == L' ') {
        return false;
    }
    std::wstring stem = body.substr(0, body.find(L'.'));
    stem.erase(stem.find_last_not_of(L' ') + 1);
    std::transform(stem.begin(), stem.end(), stem.begin(),
                   [](wchar_t c) { return c >= L'a' && c <= L'z' ? wchar_t(c - 0x20) : c; });
    std::vector<std::wstring> devices = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (wchar_t digit : std::wstring(L"123456789\xB9\xB2\xB3")) {
        devices.push_back(std::wstring(L"COM") + digit);
        devices.push_back(std::wstring(L"LPT") + digit);
    }
    return std::find(devices.begin(), devices.end(), stem) == devices.end();
}

// A character of the same fold, maybe another one.
wchar_t CaseVariant(wchar_t c, std::mt19937& random) {
    const wchar_t capital = Fold(c);
    const bool hasSmall = (capital >= L'A' && capital <= L'Z') ||
                          (capital >= 0xC0 && capital <= 0xDE && capital != 0xD7);
    const wchar_t variants[] = {c, capital, hasSmall ? wchar_t(capital + 0x20) : c,
                                capital == L'I'   ? L'\x131'
                                : capital == L'K' ? L'\x212A'
                                                  : c};
    return variants[random() % 4];
}

TEST(CertificateFileNames, GeneratedSetsGiveValidDistinctNamesThatDecode) {
    // Single characters, then longer pieces.
    const std::wstring characters = L"aAe\xE9\xC9\xDFiI\x131k\x212A%.<:\\*\x01\x1F~$ \xDC00";
    const std::vector<std::wstring> words = {L"%4",           L"con",         L"NUL",   L"Com1",
                                             L"lpt\xB2",      L"conin$",      L"empty", L"u00",
                                             L"\xD83D\xDE00", L"\xD83D\xDE01"};
    std::mt19937 random(2024);
    const auto piece = [&] {
        const std::size_t i = random() % (characters.size() + words.size());
        return i < characters.size() ? characters.substr(i, 1) : words[i - characters.size()];
    };
    for (int round = 0; round < 2000 && !HasFailure(); ++round) {
        std::vector<std::wstring> userIds(1 + random() % 8);
        for (std::size_t i = 0; i < userIds.size(); ++i) {
            const auto kind = random() % 6;
            if (kind == 0 && i > 0) {
                userIds[i] = userIds[random() % i];
                for (wchar_t& c : userIds[i]) {
                    c = CaseVariant(c, random);
                }
                continue;
            }
            if (kind == 1) {
                userIds[i] = Times(40 + random() % 100, piece());
            }
            for (auto n = random() % 5; n > 0; --n) {
                userIds[i] += piece();
            }
        }
        const std::vector<std::wstring> names = CertificateFileNames(userIds, Fold);
        ASSERT_EQ(userIds.size(), names.size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_TRUE(IsWindowsFileName(names[i])) << round << ' ' << i;
            const auto decoded = DecodeCertificateFileName(names[i]);
            ASSERT_TRUE(decoded) << round << ' ' << i;
            EXPECT_EQ(decoded->complete ? userIds[i] : userIds[i].substr(0, decoded->userId.size()),
                      decoded->userId);
            EXPECT_TRUE(decoded->complete || names[i].size() >= 240) << round << ' ' << i;
            for (std::size_t j = 0; j < i; ++j) {
                EXPECT_EQ(userIds[i] == userIds[j], Folded(names[i]) == Folded(names[j]))
                    << round << ' ' << i << ' ' << j;
            }
        }
        std::vector<std::size_t> order(userIds.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::shuffle(order.begin(), order.end(), random);
        std::vector<std::wstring> shuffled;
        for (std::size_t i : order) {
            shuffled.push_back(userIds[i]);
        }
        const std::vector<std::wstring> again = CertificateFileNames(shuffled, Fold);
        for (std::size_t i = 0; i < order.size(); ++i) {
            EXPECT_EQ(names[order[i]], again[i]) << round;
        }
    }
}

} // namespace
