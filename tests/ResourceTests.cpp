// The resources as compiled into the program: dialog template, menu, strings and icons.
#include "support/TestSupport.h"

#include "framework/App.h"
#include "res/resource.h"

#include <version.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

// Reads a compiled extended dialog template.
class TemplateReader {
  public:
    explicit TemplateReader(const BYTE* data) : m_p(data) {}
    WORD Word() { return Read<WORD>(); }
    DWORD Dword() { return Read<DWORD>(); }
    short Short() { return Read<short>(); }
    // A string or an ordinal: ordinals come back as "#<number>".
    std::string StringOrOrdinal() {
        if (Peek() == 0xFFFF) {
            Word();
            return "#" + std::to_string(Word());
        }
        return String();
    }
    std::string String() {
        std::string text;
        for (WORD c = Word(); c != 0; c = Word()) {
            text += static_cast<char>(c);
        }
        return text;
    }
    void AlignToDword(const BYTE* base) {
        while ((m_p - base) % 4 != 0) {
            ++m_p;
        }
    }
    void Skip(std::size_t bytes) { m_p += bytes; }

  private:
    template <class T> T Read() {
        T value;
        std::memcpy(&value, m_p, sizeof value);
        m_p += sizeof value;
        return value;
    }
    WORD Peek() const {
        WORD value;
        std::memcpy(&value, m_p, sizeof value);
        return value;
    }
    const BYTE* m_p;
};

struct ControlTemplate {
    std::string windowClass;
    std::string text;
    int id;
    DWORD style;
    short x, y, cx, cy;
};

struct DialogTemplate {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string menu, windowClass, caption, font;
    WORD pointSize = 0;
    std::vector<ControlTemplate> controls;
};

const BYTE* LoadResourceBytes(const char* type, UINT id) {
    HRSRC found = ::FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
    return found == nullptr
               ? nullptr
               : static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, found)));
}

DialogTemplate ReadDialogTemplate(UINT id) {
    DialogTemplate result;
    const BYTE* base = LoadResourceBytes(MAKEINTRESOURCEA(5) /* RT_DIALOG */, id);
    EXPECT_NE(nullptr, base);
    if (base == nullptr) {
        return result;
    }
    TemplateReader in(base);
    EXPECT_EQ(1, in.Word()) << "dialog version";
    EXPECT_EQ(0xFFFF, in.Word()) << "extended template signature";
    in.Dword(); // help id
    result.exStyle = in.Dword();
    result.style = in.Dword();
    WORD count = in.Word();
    result.x = in.Short(), result.y = in.Short(), result.cx = in.Short(), result.cy = in.Short();
    result.menu = in.StringOrOrdinal();
    result.windowClass = in.StringOrOrdinal();
    result.caption = in.String();
    if (result.style & DS_SETFONT) {
        result.pointSize = in.Word();
        in.Word();  // weight
        in.Skip(2); // italic, character set
        result.font = in.String();
    }
    for (WORD i = 0; i < count; ++i) {
        in.AlignToDword(base);
        ControlTemplate control;
        in.Dword(); // help id
        in.Dword(); // extended style
        control.style = in.Dword();
        control.x = in.Short(), control.y = in.Short(), control.cx = in.Short();
        control.cy = in.Short();
        control.id = static_cast<int>(in.Dword());
        control.windowClass = in.StringOrOrdinal();
        control.text = in.StringOrOrdinal();
        in.Skip(in.Word()); // creation data
        result.controls.push_back(control);
    }
    return result;
}

struct ExpectedControl {
    const char* windowClass; // "#128" button, "#129" edit, "#130" static
    const char* text;
    int id;
    short x, y, cx, cy;
    DWORD style; // 0: not checked
};

struct TemplateCase : testing_support::NamedCase {
    UINT id;
    DWORD style, exStyle;
    short cx, cy;
    const char* menu; // "" for none
    const char* caption;
    std::vector<ExpectedControl> controls;
};

class DialogTemplateTest : public testing::TestWithParam<TemplateCase> {};

TEST_P(DialogTemplateTest, IsCompiledAsSpecified) {
    const TemplateCase& want = GetParam();
    DialogTemplate dialog = ReadDialogTemplate(want.id);
    EXPECT_EQ(want.style, dialog.style);
    EXPECT_EQ(want.exStyle, dialog.exStyle);
    EXPECT_EQ(want.cx, dialog.cx);
    EXPECT_EQ(want.cy, dialog.cy);
    EXPECT_EQ(want.menu, dialog.menu);
    EXPECT_EQ(want.caption, dialog.caption);
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ("MS Sans Serif", dialog.font);
    ASSERT_EQ(want.controls.size(), dialog.controls.size());
    for (std::size_t i = 0; i < want.controls.size(); ++i) {
        const ControlTemplate& got = dialog.controls[i];
        const ExpectedControl& control = want.controls[i];
        SCOPED_TRACE("control " + std::to_string(i) + " " + control.text);
        // Window class names are case-insensitive; resource compilers differ in the case kept.
        EXPECT_EQ(0, ::lstrcmpiA(control.windowClass, got.windowClass.c_str())) << got.windowClass;
        EXPECT_EQ(control.text, got.text);
        EXPECT_EQ(control.id, static_cast<short>(got.id));
        EXPECT_EQ(control.x, got.x);
        EXPECT_EQ(control.y, got.y);
        EXPECT_EQ(control.cx, got.cx);
        EXPECT_EQ(control.cy, got.cy);
        if (control.style != 0) {
            EXPECT_EQ(control.style, got.style) << std::hex << got.style;
        }
    }
}

// Child, visible, bordered, tab stop, auto-scrolling; with hidden characters; disabled.
constexpr DWORD kEdit = 0x50810080;
constexpr DWORD kPasswordEdit = kEdit | ES_PASSWORD;
constexpr DWORD kDisabledEdit = kEdit | WS_DISABLED;
constexpr DWORD kDefaultButton = 0x50010001;
constexpr DWORD kButton = 0x50010000;
// A pop-up with title bar, system menu (the close box) and modal frame, font set.
constexpr DWORD kModalFrame = 0x80C800C0;

INSTANTIATE_TEST_SUITE_P(
    Resources, DialogTemplateTest,
    testing::Values(TemplateCase{{"Main"},
                                 IDD_WARDKEEP_DIALOG,
                                 0x90C800C0,
                                 0x00040400,
                                 259,
                                 111,
                                 "#130",
                                 "Wardkeep",
                                 {{"#128", "Availible Certificates", -1, 2, 6, 105, 100, 0},
                                  {"#128", "Certificate Information", -1, 111, 6, 145, 100, 0},
                                  {"SysListView32", "", 1011, 8, 17, 96, 84, 0x50810842},
                                  {"#130", "User ID:", -1, 116, 21, 34, 10, 0},
                                  {"#130", "Created date:", -1, 116, 37, 47, 10, 0},
                                  {"#130", "Expire date:", -1, 116, 53, 46, 13, 0},
                                  {"#129", "", 1010, 166, 21, 87, 12, kDisabledEdit},
                                  {"#129", "", 1002, 166, 37, 87, 12, kDisabledEdit},
                                  {"#129", "", 1003, 166, 53, 87, 12, kDisabledEdit}}},
                    TemplateCase{
                        {"NewCertificate"},
                        IDD_NEW_CERTIFICATE,
                        kModalFrame,
                        0,
                        186,
                        95,
                        "",
                        "New Certificate",
                        {{"#129", "", 1010, 4, 18, 109, 11, kEdit},
                         {"#129", "", 1008, 4, 49, 109, 11, kPasswordEdit},
                         {"#129", "", 1009, 4, 76, 109, 11, kPasswordEdit},
                         {"#128", "OK", 1, 129, 7, 50, 14, kDefaultButton},
                         {"#128", "Cancel", 2, 129, 24, 50, 14, kButton},
                         {"#130", "User ID ( >6 chars recommended):", -1, 4, 6, 121, 10, 0},
                         {"#130", "Password: ( >6 chars recommended)", -1, 4, 38, 121, 8, 0},
                         {"#130", "Retype Password:", -1, 4, 65, 108, 8, 0}}},
                    TemplateCase{{"ChangePassword"},
                                 IDD_CHANGE_PASSWORD,
                                 kModalFrame,
                                 0,
                                 186,
                                 95,
                                 "",
                                 "Change Password",
                                 {{"#129", "", 1018, 4, 18, 109, 11, kPasswordEdit},
                                  {"#129", "", 1019, 4, 49, 109, 11, kPasswordEdit},
                                  {"#129", "", 1020, 4, 76, 109, 11, kPasswordEdit},
                                  {"#128", "OK", 1, 129, 7, 50, 14, kDefaultButton},
                                  {"#128", "Cancel", 2, 129, 24, 50, 14, kButton},
                                  {"#130", "Old Password:", -1, 4, 6, 72, 10, 0},
                                  {"#130", "New Password:", -1, 4, 38, 108, 8, 0},
                                  {"#130", "Retype New Password:", -1, 4, 65, 108, 8, 0}}}),
    testing_support::CaseName<TemplateCase>);

// "-" for a separator, "Text=id" for a command, "Text>" for a pop-up, "<" after its items.
void DescribeMenu(HMENU menu, std::vector<std::string>& out) {
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        char text[64] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = sizeof text;
        ASSERT_TRUE(::GetMenuItemInfoA(menu, i, TRUE, &info));
        if (info.fType & MFT_SEPARATOR) {
            out.push_back("-");
            continue;
        }
        EXPECT_EQ(0u, info.fState & (MFS_GRAYED | MFS_CHECKED)) << text;
        if (info.hSubMenu != nullptr) {
            out.push_back(std::string(text) + ">");
            DescribeMenu(info.hSubMenu, out);
            out.push_back("<");
        } else {
            out.push_back(std::string(text) + "=" + std::to_string(info.wID));
        }
    }
}

TEST(Resources, MainMenu) {
    HMENU menu = ::LoadMenuA(fw::ResourceHandle(), MAKEINTRESOURCEA(IDR_MAINMENU));
    ASSERT_NE(nullptr, menu);
    std::vector<std::string> items;
    DescribeMenu(menu, items);
    ::DestroyMenu(menu);
    EXPECT_EQ((std::vector<std::string>{"&File>", "&Change Password=32771", "-",
                                        "&Import Certificate=32772", "&Export Certificate=32773",
                                        "-", "&Delete Certificate=32774", "&New Certificate=32776",
                                        "-", "&Exit=1", "<", "&Help>", "&Help=57670", "<"}),
              items);
}

TEST(Resources, VersionComesFromTheBuild) {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::vector<char> info(::GetFileVersionInfoSizeA(path, nullptr));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(::GetFileVersionInfoA(path, 0, static_cast<DWORD>(info.size()), info.data()));
    auto text = [&](const char* name) {
        char* value = nullptr;
        UINT length = 0;
        std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
        return ::VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&value),
                                &length) &&
                       value != nullptr
                   ? std::string(value)
                   : std::string("<none>");
    };
    EXPECT_EQ("Wardkeep", text("ProductName"));
    EXPECT_EQ("wardkeep.exe", text("OriginalFilename"));
    EXPECT_EQ(WARDKEEP_VERSION_STRING, text("FileVersion"));
    EXPECT_EQ(WARDKEEP_VERSION_STRING, text("ProductVersion"));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(WARDKEEP_VERSION_MINOR, WARDKEEP_VERSION_MAJOR)),
              fixed->dwFileVersionMS);
    EXPECT_EQ(static_cast<DWORD>(MAKELONG(0, WARDKEEP_VERSION_PATCH)), fixed->dwFileVersionLS);
}

TEST(Resources, Strings) {
    EXPECT_EQ("&About Wardkeep...", fw::LoadResourceString(101));
    EXPECT_EQ("Failed to launch help.", fw::LoadResourceString(61703));
}

// "<width>x<height>@<bits>" for every image of icon group `id`.
std::vector<std::string> IconImages(UINT id) {
    std::vector<std::string> images;
    const BYTE* group = LoadResourceBytes(MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, id);
    if (group == nullptr) {
        return images;
    }
    WORD count;
    std::memcpy(&count, group + 4, sizeof count);
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = group + 6 + 14 * i; // GRPICONDIRENTRY
        WORD bits;
        std::memcpy(&bits, entry + 6, sizeof bits);
        images.push_back(std::to_string(entry[0]) + "x" + std::to_string(entry[1]) + "@" +
                         std::to_string(bits));
    }
    std::sort(images.begin(), images.end());
    return images;
}

TEST(Resources, Icons) {
    EXPECT_EQ((std::vector<std::string>{"16x16@4", "16x16@8", "32x32@4", "32x32@8"}),
              IconImages(IDI_APPLICATION_ICON));
    EXPECT_EQ((std::vector<std::string>{"16x16@4", "16x16@8"}), IconImages(IDI_CERTIFICATE));
}

} // namespace
