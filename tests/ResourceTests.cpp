// The resources as compiled into the program: dialog template, menu, strings and icons.
#include "support/TestSupport.h"

#include "framework/App.h"
#include "res/resource.h"

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

TEST(Resources, MainDialogTemplate) {
    DialogTemplate dialog = ReadDialogTemplate(IDD_WARDKEEP_DIALOG);
    EXPECT_EQ(0x90C800C0u, dialog.style);
    EXPECT_EQ(0x00040400u, dialog.exStyle);
    EXPECT_EQ(259, dialog.cx);
    EXPECT_EQ(111, dialog.cy);
    EXPECT_EQ("#130", dialog.menu);
    EXPECT_EQ("Wardkeep", dialog.caption);
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ("MS Sans Serif", dialog.font);

    struct Expected {
        const char* windowClass; // "#128" button, "#129" edit, "#130" static
        const char* text;
        int id;
        short x, y, cx, cy;
    };
    const Expected expected[] = {
        {"#128", "Availible Certificates", -1, 2, 6, 105, 100},
        {"#128", "Certificate Information", -1, 111, 6, 145, 100},
        {"SysListView32", "", 1011, 8, 17, 96, 84},
        {"#130", "User ID:", -1, 116, 21, 34, 10},
        {"#130", "Created date:", -1, 116, 37, 47, 10},
        {"#130", "Expire date:", -1, 116, 53, 46, 13},
        {"#129", "", 1010, 166, 21, 87, 12},
        {"#129", "", 1002, 166, 37, 87, 12},
        {"#129", "", 1003, 166, 53, 87, 12},
    };
    ASSERT_EQ(std::size(expected), dialog.controls.size());
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const ControlTemplate& got = dialog.controls[i];
        const Expected& want = expected[i];
        SCOPED_TRACE("control " + std::to_string(i) + " " + want.text);
        // Window class names are case-insensitive; resource compilers differ in the case kept.
        EXPECT_EQ(0, ::lstrcmpiA(want.windowClass, got.windowClass.c_str())) << got.windowClass;
        EXPECT_EQ(want.text, got.text);
        EXPECT_EQ(want.id, static_cast<short>(got.id));
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
        EXPECT_EQ(want.cx, got.cx);
        EXPECT_EQ(want.cy, got.cy);
    }
    EXPECT_EQ(0x50810842u, dialog.controls[2].style);
    for (std::size_t i = 6; i < 9; ++i) {
        EXPECT_EQ(0x58810080u, dialog.controls[i].style) << "edit " << dialog.controls[i].id;
    }
    EXPECT_EQ(static_cast<DWORD>(BS_GROUPBOX), dialog.controls[0].style & 0xF);
}

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
