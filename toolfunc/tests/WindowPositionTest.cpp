// Window positions in the registry, and centring, on real windows.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "toolfunc/RegTool.h"
#include "toolfunc/WindowPlacement.h"

using TOOLFUNC_registry::CRegTool;

namespace {

HWND MakeWindow(const char* title, DWORD style, int x, int y, int w, int h, HWND parent = NULL) {
    return CreateWindowExA(0, "STATIC", title, style, x, y, w, h, parent, NULL, NULL, NULL);
}

RECT RectOf(HWND hwnd) {
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    return rc;
}

DWORD StoredValue(const std::string& key, const char* name) {
    DWORD type = 0;
    std::string bytes;
    if (!tftest::ReadRegValue(HKEY_CURRENT_USER, key, name, &type, &bytes) || type != REG_DWORD) return 0xDEAD;
    return *reinterpret_cast<const DWORD*>(bytes.data());
}

class TfWindowPos : public ::testing::Test {
protected:
    void SetUp() override { m_base = "Software\\TelvarixToolfuncTest\\" + tftest::UniqueName("win"); }
    void TearDown() override {
        for (HWND hwnd : m_windows) DestroyWindow(hwnd);
        tftest::DeleteRegTree(HKEY_CURRENT_USER, m_base);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\TelvarixToolfuncTest");
    }
    HWND Keep(HWND hwnd) {
        m_windows.insert(m_windows.begin(), hwnd);
        return hwnd;
    }
    std::string m_base;
    std::vector<HWND> m_windows;
};

}  // namespace

TEST_F(TfWindowPos, SaveAndRestoreATopLevelWindow) {
    HWND hwnd = Keep(MakeWindow("TF Fenster A", WS_OVERLAPPEDWINDOW, 100, 120, 300, 200));
    ASSERT_NE(hwnd, (HWND)NULL);
    CRegTool reg;
    EXPECT_TRUE(reg.SaveWindowPos(hwnd, m_base.c_str(), FALSE));
    std::string key = m_base + "\\Windows\\TF Fenster A";
    EXPECT_EQ(StoredValue(key, "WndLeft"), 100u);
    EXPECT_EQ(StoredValue(key, "WndTop"), 120u);
    EXPECT_EQ(StoredValue(key, "WndRight"), 400u);
    EXPECT_EQ(StoredValue(key, "WndBottom"), 320u);

    SetWindowPos(hwnd, NULL, 5, 6, 50, 60, SWP_NOZORDER);
    EXPECT_TRUE(reg.RestoreWindowPos(hwnd, m_base.c_str(), FALSE));
    RECT rc = RectOf(hwnd);
    EXPECT_EQ(rc.left, 100);
    EXPECT_EQ(rc.top, 120);
    EXPECT_EQ(rc.right, 400);
    EXPECT_EQ(rc.bottom, 320);
}

TEST_F(TfWindowPos, TitledWindowWithoutStoredPlaceStaysUntitledIsCentred) {
    HWND titled = Keep(MakeWindow("TF Fenster neu", WS_OVERLAPPEDWINDOW, 50, 60, 200, 100));
    CRegTool reg;
    EXPECT_TRUE(reg.RestoreWindowPos(titled, m_base.c_str(), FALSE));
    EXPECT_EQ(RectOf(titled).left, 50);
    EXPECT_EQ(RectOf(titled).top, 60);

    HWND untitled = Keep(MakeWindow("", WS_OVERLAPPEDWINDOW, 50, 60, 200, 100));
    EXPECT_FALSE(reg.SaveWindowPos(untitled, m_base.c_str(), FALSE));
    EXPECT_FALSE(reg.RestoreWindowPos(untitled, m_base.c_str(), FALSE));
    RECT desk = RectOf(GetDesktopWindow());
    ASSERT_LE(desk.right / desk.bottom, 1);
    EXPECT_EQ(RectOf(untitled).left, desk.right / 2 - 100);
    EXPECT_EQ(RectOf(untitled).top, desk.bottom / 2 - 50);
}

TEST_F(TfWindowPos, ChildrenComeBackToTheSamePlace) {
    HWND parent = Keep(MakeWindow("TF Eltern", WS_OVERLAPPEDWINDOW, 200, 150, 400, 300));
    HWND childA = Keep(MakeWindow("TF Kind A", WS_CHILD | WS_VISIBLE, 10, 20, 80, 30, parent));
    HWND childB = Keep(MakeWindow("TF Kind B", WS_CHILD | WS_VISIBLE, 100, 120, 60, 40, parent));
    HWND unnamed = Keep(MakeWindow("", WS_CHILD | WS_VISIBLE, 5, 5, 10, 10, parent));
    RECT a = RectOf(childA), b = RectOf(childB), u = RectOf(unnamed);

    CRegTool reg;
    EXPECT_TRUE(reg.SaveWindowPos(parent, m_base.c_str(), TRUE));
    EXPECT_EQ(StoredValue(m_base + "\\Windows\\TF Kind A", "WndLeft"), static_cast<DWORD>(a.left));
    EXPECT_EQ(StoredValue(m_base + "\\Windows\\TF Kind B", "WndBottom"), static_cast<DWORD>(b.bottom));

    SetWindowPos(childA, NULL, 0, 0, 5, 5, SWP_NOZORDER);
    SetWindowPos(childB, NULL, 0, 0, 5, 5, SWP_NOZORDER);
    EXPECT_TRUE(reg.RestoreWindowPos(parent, m_base.c_str(), TRUE));
    RECT a2 = RectOf(childA), b2 = RectOf(childB), u2 = RectOf(unnamed);
    EXPECT_EQ(a2.left, a.left);
    EXPECT_EQ(a2.top, a.top);
    EXPECT_EQ(a2.right, a.right);
    EXPECT_EQ(b2.bottom, b.bottom);
    EXPECT_EQ(b2.left, b.left);
    EXPECT_EQ(u2.left, u.left);  // untitled children are neither restored nor centred
    EXPECT_EQ(u2.top, u.top);
}

TEST_F(TfWindowPos, CenterWindowUsesTheOwnerAndKeepsTheSize) {
    HWND owner = Keep(MakeWindow("TF Besitzer", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300));
    HWND popup = Keep(MakeWindow("TF Popup", WS_POPUP, 0, 0, 100, 50, owner));
    CenterWindow(popup);
    RECT rc = RectOf(popup);
    EXPECT_EQ(rc.left, 250);
    EXPECT_EQ(rc.top, 225);
    EXPECT_EQ(rc.right - rc.left, 100);
    EXPECT_EQ(rc.bottom - rc.top, 50);

    HWND child = Keep(MakeWindow("TF Kind", WS_CHILD, 0, 0, 40, 20, owner));
    CenterWindow(child);  // child windows are centred on the screen area of their parent
    rc = RectOf(child);
    EXPECT_EQ(rc.left, 300 - 20);
    EXPECT_EQ(rc.top, 250 - 10);
}
