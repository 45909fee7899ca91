// CRegTool against the real registry, read back with the API and with reg.exe.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "toolfunc/RegTool.h"

using TOOLFUNC_registry::CRegTool;

namespace {

class TfRegTool : public ::testing::Test {
protected:
    void SetUp() override { m_path = "Software\\TelvarixToolfuncTest\\" + tftest::UniqueName("reg"); }
    void TearDown() override {
        tftest::DeleteRegTree(HKEY_CURRENT_USER, m_path);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\TelvarixToolfuncTest");  // if now empty
    }
    std::string RegQuery(const std::string& args) {
        return tftest::RunCapture("reg.exe query \"HKCU\\" + m_path + "\" " + args);
    }
    std::string m_path;
};

}  // namespace

TEST_F(TfRegTool, OpenCreatesMissingKeysOpenExistingDoesNot) {
    CRegTool reg;
    EXPECT_EQ(reg.OpenExisting(HKEY_CURRENT_USER, m_path.c_str()), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.GetKey(), (HKEY)NULL);
    EXPECT_FALSE(tftest::RegKeyExists(HKEY_CURRENT_USER, m_path));

    EXPECT_EQ(reg.Open(HKEY_CURRENT_USER, m_path.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(reg.GetRoot(), HKEY_CURRENT_USER);
    EXPECT_NE(reg.GetKey(), (HKEY)NULL);
    EXPECT_EQ(reg.GetDisposition(), static_cast<DWORD>(REG_CREATED_NEW_KEY));
    EXPECT_EQ(reg.Close(), ERROR_SUCCESS);
    EXPECT_EQ(reg.GetKey(), (HKEY)NULL);
    EXPECT_TRUE(tftest::RegKeyExists(HKEY_CURRENT_USER, m_path));

    EXPECT_EQ(reg.Open(HKEY_CURRENT_USER, m_path.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(reg.GetDisposition(), static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(reg.OpenExisting(HKEY_CURRENT_USER, m_path.c_str()), ERROR_SUCCESS);
}

TEST_F(TfRegTool, ValuesAreStoredWithTheirTypesAndSizes) {
    CRegTool reg;
    ASSERT_EQ(reg.Open(HKEY_CURRENT_USER, m_path.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(reg.SetString("Name", "Wert 1"), ERROR_SUCCESS);
    EXPECT_EQ(reg.SetDword("Count", 42), ERROR_SUCCESS);
    const unsigned char blob[5] = {1, 0, 2, 0xFF, 3};
    EXPECT_EQ(reg.SetBinary("Blob", blob, sizeof blob), ERROR_SUCCESS);
    reg.Close();

    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(tftest::ReadRegValue(HKEY_CURRENT_USER, m_path, "Name", &type, &bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, std::string("Wert 1", 7));  // text length + 1
    ASSERT_TRUE(tftest::ReadRegValue(HKEY_CURRENT_USER, m_path, "Count", &type, &bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(bytes, std::string("\x2a\0\0\0", 4));
    ASSERT_TRUE(tftest::ReadRegValue(HKEY_CURRENT_USER, m_path, "Blob", &type, &bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(blob), sizeof blob));

    std::string out = RegQuery("/v Name");
    EXPECT_NE(out.find("REG_SZ"), std::string::npos) << out;
    EXPECT_NE(out.find("Wert 1"), std::string::npos) << out;
    out = RegQuery("/v Count");
    EXPECT_NE(out.find("REG_DWORD"), std::string::npos) << out;
    EXPECT_NE(out.find("0x2a"), std::string::npos) << out;

    ASSERT_EQ(reg.OpenExisting(HKEY_CURRENT_USER, m_path.c_str()), ERROR_SUCCESS);
    char text[32];
    EXPECT_TRUE(reg.GetString("Name", text, sizeof text, "x"));
    EXPECT_STREQ(text, "Wert 1");
    DWORD value = 0;
    EXPECT_TRUE(reg.GetDword("Count", &value, 7));
    EXPECT_EQ(value, 42u);
    unsigned char back[5] = {};
    EXPECT_EQ(reg.GetBinary("Blob", back, sizeof back), ERROR_SUCCESS);
    EXPECT_EQ(memcmp(back, blob, sizeof blob), 0);
    EXPECT_EQ(reg.GetBinary("Blob", back, 2), ERROR_MORE_DATA);
}

TEST_F(TfRegTool, GetStringDefaultsAndOddValues) {
    CRegTool reg;
    ASSERT_EQ(reg.Open(HKEY_CURRENT_USER, m_path.c_str()), ERROR_SUCCESS);
    reg.SetString("Empty", "");
    reg.SetString("Long", "abcdef");
    reg.SetBinary("NoNul", "abcd", 4);
    reg.SetDword("Dword", 0x00636261);  // "abc" in memory

    char text[16] = "junk";
    EXPECT_FALSE(reg.GetString("Missing", text, sizeof text, "x"));
    EXPECT_STREQ(text, "x");
    EXPECT_FALSE(reg.GetString("Missing", text, sizeof text, NULL));
    EXPECT_STREQ(text, "");
    EXPECT_TRUE(reg.GetString("Empty", text, sizeof text, "x"));
    EXPECT_STREQ(text, "x");
    EXPECT_TRUE(reg.GetString("Dword", text, sizeof text, NULL));  // any type is read
    EXPECT_STREQ(text, "abc");
    char four[4];
    EXPECT_FALSE(reg.GetString("Long", four, sizeof four, "d"));  // does not fit
    EXPECT_STREQ(four, "d");
    EXPECT_TRUE(reg.GetString("NoNul", four, sizeof four, NULL));  // always terminated
    EXPECT_STREQ(four, "abc");
    EXPECT_TRUE(reg.GetString("NoNul", text, sizeof text, NULL));
    EXPECT_STREQ(text, "abcd");

    DWORD value = 1;
    EXPECT_FALSE(reg.GetDword("Missing", &value, 99));
    EXPECT_EQ(value, 99u);
}

TEST_F(TfRegTool, SubKeysAreCreatedAndDeletedOneByOne) {
    CRegTool reg;
    ASSERT_EQ(reg.Open(HKEY_CURRENT_USER, m_path.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(reg.CreateSubKey("Leaf"), ERROR_SUCCESS);
    EXPECT_EQ(reg.CreateSubKey("Branch\\Twig"), ERROR_SUCCESS);
    reg.Close();
    EXPECT_TRUE(tftest::RegKeyExists(HKEY_CURRENT_USER, m_path + "\\Leaf"));
    EXPECT_TRUE(tftest::RegKeyExists(HKEY_CURRENT_USER, m_path + "\\Branch\\Twig"));
    EXPECT_NE(RegQuery("").find("Branch"), std::string::npos);

    EXPECT_EQ(reg.DeleteSubKey(HKEY_CURRENT_USER, m_path.c_str(), "Leaf"), ERROR_SUCCESS);
    EXPECT_FALSE(tftest::RegKeyExists(HKEY_CURRENT_USER, m_path + "\\Leaf"));
    // A key with subkeys is refused, and the refusal is reported.
    EXPECT_NE(reg.DeleteSubKey(HKEY_CURRENT_USER, m_path.c_str(), "Branch"), ERROR_SUCCESS);
    EXPECT_TRUE(tftest::RegKeyExists(HKEY_CURRENT_USER, m_path + "\\Branch\\Twig"));
    EXPECT_EQ(reg.DeleteSubKey(HKEY_CURRENT_USER, m_path.c_str(), "Gone"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.GetKey(), (HKEY)NULL);
}

TEST_F(TfRegTool, DeleteKeyTreeRemovesEveryLevel) {
    CRegTool reg;
    ASSERT_EQ(reg.Open(HKEY_CURRENT_USER, (m_path + "\\Tree\\A\\A1").c_str()), ERROR_SUCCESS);
    reg.SetString("v", "1");
    ASSERT_EQ(reg.Open(HKEY_CURRENT_USER, (m_path + "\\Tree\\B").c_str()), ERROR_SUCCESS);
    reg.CreateSubKey("B1");
    reg.CreateSubKey("B2");
    ASSERT_EQ(reg.Open(HKEY_CURRENT_USER, (m_path + "\\Keep").c_str()), ERROR_SUCCESS);
    ASSERT_EQ(reg.Open(HKEY_CURRENT_USER, m_path.c_str()), ERROR_SUCCESS);

    EXPECT_EQ(CRegTool::DeleteKeyTree(reg.GetKey(), "Tree"), ERROR_SUCCESS);
    EXPECT_FALSE(tftest::RegKeyExists(HKEY_CURRENT_USER, m_path + "\\Tree"));
    EXPECT_TRUE(tftest::RegKeyExists(HKEY_CURRENT_USER, m_path + "\\Keep"));
    EXPECT_EQ(CRegTool::DeleteKeyTree(reg.GetKey(), "Tree"), ERROR_FILE_NOT_FOUND);
    // An empty name would mean the parent itself.
    EXPECT_EQ(CRegTool::DeleteKeyTree(reg.GetKey(), ""), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(tftest::RegKeyExists(HKEY_CURRENT_USER, m_path + "\\Keep"));
}
