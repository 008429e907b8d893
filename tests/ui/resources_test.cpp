// The resources as compiled into the program, read back from orvanel.exe.

#include "res/resource.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstring>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr WORD kLanguage = MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT);

class Program : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::wstring path = FixtureFolder() + L"\\..\\..\\orvanel.exe";
        s_module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(s_module, nullptr) << ToUtf8(path);
    }
    static void TearDownTestSuite() { FreeLibrary(s_module); }

    static std::vector<BYTE> Resource(LPCWSTR type, LPCWSTR name) {
        HRSRC found = FindResourceExW(s_module, type, name, kLanguage);
        if (found == nullptr) {
            ADD_FAILURE() << "resource missing";
            return {};
        }
        const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(s_module, found)));
        return std::vector<BYTE>(data, data + SizeofResource(s_module, found));
    }

    static HMODULE s_module;
};

HMODULE Program::s_module = nullptr;

// Reads a dialog template, classic or extended.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<BYTE>& data) : m_data(data) {}

    WORD Word() { return Read<WORD>(); }
    DWORD Dword() { return Read<DWORD>(); }
    short Short() { return Read<short>(); }
    BYTE Byte() { return Read<BYTE>(); }
    // A string, or an ordinal written as "#n".
    std::wstring StringOrOrdinal() {
        const WORD first = Word();
        if (first == 0xFFFF) {
            return L"#" + std::to_wstring(Word());
        }
        std::wstring text;
        for (WORD unit = first; unit != 0; unit = Word()) {
            text += static_cast<wchar_t>(unit);
        }
        return text;
    }
    void AlignDword() { m_at = (m_at + 3) & ~size_t{3}; }
    bool AtEnd() const { return m_at >= m_data.size(); }

private:
    template <class T> T Read() {
        T value{};
        if (m_at + sizeof(T) <= m_data.size()) {
            std::memcpy(&value, m_data.data() + m_at, sizeof(T));
        } else {
            ADD_FAILURE() << "template ends early";
        }
        m_at += sizeof(T);
        return value;
    }
    const std::vector<BYTE>& m_data;
    size_t m_at = 0;
};

struct Control {
    DWORD id;
    std::wstring cls;
    std::wstring text;
    short x, y, cx, cy;
    DWORD style;
    bool operator==(const Control&) const = default;
};

void PrintTo(const Control& c, std::ostream* out) {
    *out << "{" << c.id << ", " << ToUtf8(c.cls) << ", \"" << ToUtf8(c.text) << "\", " << c.x
         << ", " << c.y << ", " << c.cx << ", " << c.cy << ", 0x" << std::hex << c.style << std::dec
         << "}";
}

struct Template {
    bool extended;
    DWORD style, exStyle;
    short x, y, cx, cy;
    std::wstring menu, cls, caption;
    WORD pointSize;
    WORD weight;
    BYTE italic, charset;
    std::wstring font;
    std::vector<Control> controls;
    std::vector<DWORD> controlExStyles, controlHelpIds, controlExtra;
};

Template Parse(const std::vector<BYTE>& data) {
    TemplateReader r(data);
    Template t{};
    const WORD first = r.Word(), second = r.Word();
    t.extended = first == 1 && second == 0xFFFF;
    WORD count;
    if (t.extended) {
        EXPECT_EQ(r.Dword(), 0u); // help id
        t.exStyle = r.Dword();
        t.style = r.Dword();
    } else {
        t.style = MAKELONG(first, second);
        t.exStyle = r.Dword();
    }
    count = r.Word();
    t.x = r.Short(), t.y = r.Short(), t.cx = r.Short(), t.cy = r.Short();
    t.menu = r.StringOrOrdinal();
    t.cls = r.StringOrOrdinal();
    t.caption = r.StringOrOrdinal();
    if (t.style & DS_SETFONT) {
        t.pointSize = r.Word();
        if (t.extended) {
            t.weight = r.Word();
            t.italic = r.Byte();
            t.charset = r.Byte();
        }
        t.font = r.StringOrOrdinal();
    }
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword();
        Control c{};
        DWORD exStyle = 0, helpId = 0;
        if (t.extended) {
            helpId = r.Dword();
            exStyle = r.Dword();
            c.style = r.Dword();
        } else {
            c.style = r.Dword();
            exStyle = r.Dword();
        }
        c.x = r.Short(), c.y = r.Short(), c.cx = r.Short(), c.cy = r.Short();
        c.id = t.extended ? r.Dword() : r.Word();
        c.cls = r.StringOrOrdinal();
        c.text = r.StringOrOrdinal();
        const WORD extra = r.Word();
        t.controls.push_back(c);
        t.controlExStyles.push_back(exStyle);
        t.controlHelpIds.push_back(helpId);
        t.controlExtra.push_back(extra);
    }
    return t;
}

const std::wstring kButton = L"#128", kEdit = L"#129", kStatic = L"#130", kList = L"SysListView32";

void ExpectCommon(const Template& t, const std::vector<Control>& controls) {
    EXPECT_EQ(t.x, 0);
    EXPECT_EQ(t.y, 0);
    EXPECT_EQ(t.menu, L"");
    EXPECT_EQ(t.cls, L"");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.font, L"MS Sans Serif");
    ASSERT_EQ(t.controls.size(), controls.size());
    for (size_t i = 0; i < controls.size(); ++i) {
        EXPECT_EQ(t.controls[i], controls[i]) << "control #" << i + 1;
        EXPECT_EQ(t.controlExStyles[i], 0u) << "control #" << i + 1;
        EXPECT_EQ(t.controlHelpIds[i], 0u) << "control #" << i + 1;
        EXPECT_EQ(t.controlExtra[i], 0u) << "control #" << i + 1;
    }
}

// A template's own fields, then its controls.
void ExpectTemplate(const Template& t, bool extended, DWORD style, DWORD exStyle, short cx,
                    short cy, const std::wstring& caption, const std::vector<Control>& controls) {
    EXPECT_EQ(t.extended, extended);
    EXPECT_EQ(t.style, style);
    EXPECT_EQ(t.exStyle, exStyle);
    EXPECT_EQ(t.cx, cx);
    EXPECT_EQ(t.cy, cy);
    EXPECT_EQ(t.caption, caption);
    ExpectCommon(t, controls);
}

} // namespace

TEST_F(Program, MainTemplate) {
    const Template t = Parse(Resource(RT_DIALOG, MAKEINTRESOURCEW(IDD_MAIN)));
    EXPECT_EQ(t.weight, 0);
    EXPECT_EQ(t.italic, 0);
    EXPECT_EQ(t.charset, 1);
    ExpectTemplate(t, true, 0x90CF0040u, WS_EX_APPWINDOW, 461, 201, L"Orvanel",
                   {
                       {IDC_MESSAGE_LIST, kList, L"List2", 0, 42, 230, 109, 0x5081810D},
                       {IDC_FIND_BUTTON, kButton, L"F", 4, 2, 20, 18, 0x5001004B},
                       {IDC_STATUS, kEdit, L"", 27, 7, 40, 14, 0x50000880},
                       {IDC_RECURSIVE, kButton, L"Recursive in folder", 97, 7, 75, 10, 0x50010003},
                       {IDC_MASK_LABEL, kStatic, L"Mask:", 188, 8, 20, 8, 0x50020000},
                       {IDC_MASK, kEdit, L"", 215, 5, 45, 14, 0x50810080},
                       {IDC_OPEN_DIR, kButton, L"Open directory", 269, 5, 50, 14, 0x50010000},
                   });
}

TEST_F(Program, FindResultsAndInfoTemplates) {
    const DWORD check = 0x50010003;
    ExpectTemplate(Parse(Resource(RT_DIALOG, MAKEINTRESOURCEW(IDD_FIND))), false, 0x80C800C0u, 0,
                   186, 122, L"Find as string",
                   {
                       {IDC_FIND_TEXT, kEdit, L"", 7, 7, 172, 14, 0x50810080},
                       {0xFFFF, kButton, L"Search in", 7, 21, 172, 59, 0x50000007},
                       {IDC_FIND_MODULE, kButton, L"Module name", 15, 35, 59, 10, check},
                       {IDC_FIND_ERROR, kButton, L"Error", 15, 50, 31, 10, check},
                       {IDC_FIND_LANGUAGE, kButton, L"Language ID", 15, 65, 57, 10, check},
                       {IDC_FIND_VALUE, kButton, L"Value", 90, 35, 34, 10, check},
                       {IDC_FIND_HEX, kButton, L"Hex value", 90, 50, 48, 10, check},
                       {IDC_FIND_TEXTCOL, kButton, L"Message text", 90, 65, 58, 10, check},
                       {IDC_FIND_MATCHCASE, kButton, L"Match case", 15, 90, 53, 10, check},
                       {IDOK, kButton, L"OK", 129, 101, 50, 14, 0x50010001},
                       {IDCANCEL, kButton, L"Cancel", 73, 101, 50, 14, 0x50010000},
                   });

    ExpectTemplate(Parse(Resource(RT_DIALOG, MAKEINTRESOURCEW(IDD_RESULTS))), false, 0x80CF0040u, 0,
                   320, 201, L"Finded",
                   {
                       {IDC_MESSAGE_LIST, kList, L"List2", 1, 37, 230, 126, 0x5081801D},
                       {IDC_FIND_BUTTON, kButton, L"F", 4, 2, 22, 18, 0x5001004B},
                   });

    ExpectTemplate(Parse(Resource(RT_DIALOG, MAKEINTRESOURCEW(IDD_INFO))), false, 0x80C800C0u, 0,
                   186, 66, L"Info",
                   {
                       {IDOK, kButton, L"OK", 125, 45, 50, 14, 0x50010001},
                       {IDC_INFO_TEXT, kEdit, L"", 45, 10, 135, 25, 0x50010804},
                       {IDC_INFO_ICON, kStatic, L"", 10, 10, 20, 20, 0x50000003},
                   });
}

TEST_F(Program, IconGroups) {
#pragma pack(push, 2)
    struct Entry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    struct Expected {
        int group;
        std::vector<std::array<int, 3>> images; // size, bits per pixel, bytes
    } groups[] = {{IDR_MAINFRAME_ICON, {{32, 4, 744}, {16, 4, 296}}},
                  {IDI_LIST_ICON, {{32, 24, 3240}}}};
    for (const Expected& group : groups) {
        const std::vector<BYTE> data = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(group.group));
        ASSERT_GE(data.size(), 6u);
        WORD header[3];
        std::memcpy(header, data.data(), sizeof header);
        EXPECT_EQ(header[1], 1); // icons
        ASSERT_EQ(header[2], group.images.size());
        ASSERT_GE(data.size(), 6 + header[2] * sizeof(Entry));
        for (size_t i = 0; i < group.images.size(); ++i) {
            Entry e;
            std::memcpy(&e, data.data() + 6 + i * sizeof(Entry), sizeof e);
            EXPECT_EQ(e.width, group.images[i][0]);
            EXPECT_EQ(e.height, group.images[i][0]);
            EXPECT_EQ(e.planes, 1);
            EXPECT_EQ(e.bitCount, group.images[i][1]);
            EXPECT_EQ(e.bytes, static_cast<DWORD>(group.images[i][2]));
            EXPECT_EQ(Resource(RT_ICON, MAKEINTRESOURCEW(e.id)).size(), e.bytes);
        }
    }
}

namespace {

// One node of a version resource: key, value bytes and children.
struct VersionNode {
    std::wstring key;
    std::vector<BYTE> value;
    WORD type = 0;
    std::vector<VersionNode> children;
};

VersionNode ParseVersionNode(const BYTE* data, size_t size) {
    VersionNode node;
    WORD length, valueLength;
    std::memcpy(&length, data, 2);
    std::memcpy(&valueLength, data + 2, 2);
    std::memcpy(&node.type, data + 4, 2);
    length = static_cast<WORD>(std::min<size_t>(length, size));
    size_t at = 6;
    while (at + 2 <= length) {
        wchar_t unit;
        std::memcpy(&unit, data + at, 2);
        at += 2;
        if (unit == 0) {
            break;
        }
        node.key += unit;
    }
    at = (at + 3) & ~size_t{3};
    const size_t valueBytes = node.type == 1 ? valueLength * 2u : valueLength;
    if (at + valueBytes <= length) {
        node.value.assign(data + at, data + at + valueBytes);
    }
    at = (at + valueBytes + 3) & ~size_t{3};
    while (at + 6 <= length) {
        WORD childLength;
        std::memcpy(&childLength, data + at, 2);
        if (childLength == 0) {
            break;
        }
        node.children.push_back(ParseVersionNode(data + at, length - at));
        at = (at + childLength + 3) & ~size_t{3};
    }
    return node;
}

std::wstring TextValue(const VersionNode& node) {
    std::wstring text(reinterpret_cast<const wchar_t*>(node.value.data()), node.value.size() / 2);
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return text;
}

} // namespace

TEST_F(Program, VersionBlock) {
    const std::vector<BYTE> data = Resource(RT_VERSION, MAKEINTRESOURCEW(1));
    const VersionNode root = ParseVersionNode(data.data(), data.size());
    EXPECT_EQ(root.key, L"VS_VERSION_INFO");
    ASSERT_EQ(root.value.size(), sizeof(VS_FIXEDFILEINFO));
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, root.value.data(), sizeof fixed);
    EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed.dwFileVersionMS, 0x000107D6u);
    EXPECT_EQ(fixed.dwFileVersionLS, 0x00020004u);
    EXPECT_EQ(fixed.dwProductVersionMS, 0x000107D6u);
    EXPECT_EQ(fixed.dwProductVersionLS, 0x00020004u);
    EXPECT_EQ(fixed.dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed.dwFileFlags, 0u);
    EXPECT_EQ(fixed.dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed.dwFileSubtype, 0u);
    EXPECT_EQ(fixed.dwFileDateMS | fixed.dwFileDateLS, 0u);

    ASSERT_EQ(root.children.size(), 2u);
    const VersionNode& strings = root.children[0];
    EXPECT_EQ(strings.key, L"StringFileInfo");
    ASSERT_EQ(strings.children.size(), 1u);
    EXPECT_EQ(strings.children[0].key, L"041904b0");
    std::vector<std::wstring> keys;
    std::map<std::wstring, std::wstring> values;
    for (const VersionNode& entry : strings.children[0].children) {
        keys.push_back(entry.key);
        values[entry.key] = TextValue(entry);
    }
    EXPECT_EQ(keys, (std::vector<std::wstring>{
                        L"Author", L"Comments", L"CompanyName", L"FileDescription", L"FileVersion",
                        L"InternalName", L"LegalCopyright", L"LegalTrademarks", L"OriginalFilename",
                        L"PrivateBuild", L"ProductName", L"ProductVersion", L"SpecialBuild"}));
    EXPECT_EQ(values[L"FileVersion"], L"1, 2006, 2, 4");
    EXPECT_EQ(values[L"ProductVersion"], L"1, 2006, 2, 4");
    for (const wchar_t* empty :
         {L"Comments", L"LegalTrademarks", L"PrivateBuild", L"SpecialBuild"}) {
        EXPECT_EQ(values[empty], L"") << ToUtf8(empty);
    }
    for (const wchar_t* product :
         {L"FileDescription", L"InternalName", L"OriginalFilename", L"ProductName"}) {
        std::wstring lower = values[product];
        CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
        EXPECT_NE(lower.find(L"orvanel"), std::wstring::npos) << ToUtf8(product);
    }
    for (const wchar_t* maker : {L"Author", L"CompanyName", L"LegalCopyright"}) {
        EXPECT_NE(values[maker].find(L"Orvanel project"), std::wstring::npos) << ToUtf8(maker);
    }

    const VersionNode& variable = root.children[1];
    EXPECT_EQ(variable.key, L"VarFileInfo");
    ASSERT_EQ(variable.children.size(), 1u);
    EXPECT_EQ(variable.children[0].key, L"Translation");
    EXPECT_EQ(variable.children[0].value, (std::vector<BYTE>{0x19, 0x04, 0xB0, 0x04}));
}

namespace {

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) {
    reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR found) {
    EnumResourceLanguagesW(module, type, name, CollectLanguage, found);
    return TRUE;
}

BOOL CALLBACK CollectType(HMODULE module, LPWSTR type, LONG_PTR found) {
    EnumResourceNamesW(module, type, CollectName, found);
    return TRUE;
}

} // namespace

TEST_F(Program, EveryResourceIsInRussian) {
    std::vector<WORD> languages;
    EnumResourceTypesW(s_module, CollectType, reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_GE(languages.size(), 10u); // 4 dialogs, 2 groups, 3 images, version, manifest
    for (WORD language : languages) {
        EXPECT_EQ(language, kLanguage);
    }
}
