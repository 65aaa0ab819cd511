// The resources linked into kzsfx.exe: a build that drops or garbles one still runs, so
// only a look at the file itself notices.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "stub/win32/resource.h"
#include "tests/input_path.h"

namespace {

std::wstring exe_path() {
  const std::string path = quillet::testing::InputPath("KZSFX_EXE");
  return std::wstring(path.begin(), path.end());
}

class StubResources : public testing::Test {
 protected:
  void SetUp() override {
    module_ = ::LoadLibraryExW(exe_path().c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << "cannot load " << quillet::testing::InputPath("KZSFX_EXE");
  }
  void TearDown() override {
    if (module_ != nullptr) ::FreeLibrary(module_);
  }

  std::string resource(const wchar_t* name, const wchar_t* type) {
    HRSRC found = ::FindResourceW(module_, name, type);
    if (found == nullptr) return {};
    HGLOBAL loaded = ::LoadResource(module_, found);
    const auto* bytes = static_cast<const char*>(::LockResource(loaded));
    return std::string(bytes, ::SizeofResource(module_, found));
  }

  HMODULE module_ = nullptr;
};

TEST_F(StubResources, ManifestAsksForCommonControlsSixAsInvokerAndDpiAwareness) {
  const std::string manifest = resource(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_FALSE(manifest.empty())
      << "no manifest: no visual styles, and setup.exe would ask for elevation";
  for (const char* needle :
       {"Microsoft.Windows.Common-Controls", "version=\"6.0.0.0\"", "level=\"asInvoker\"",
        "<dpiAware", ">true</dpiAware>", "PerMonitorV2"}) {
    EXPECT_NE(manifest.find(needle), std::string::npos) << needle;
  }
}

TEST_F(StubResources, DialogsUseTheShellFont) {
  for (int id : {IDD_EXTRACT, IDD_OVERWRITE, IDD_PASSWORD}) {
    const std::string dialog = resource(MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5));
    ASSERT_GE(dialog.size(), 26u) << id;
    // DLGTEMPLATEEX: version 1, signature 0xFFFF, then help id, extended style, style.
    WORD version = 0, signature = 0;
    DWORD style = 0;
    memcpy(&version, dialog.data(), 2);
    memcpy(&signature, dialog.data() + 2, 2);
    memcpy(&style, dialog.data() + 12, 4);
    EXPECT_EQ(version, 1) << id;
    EXPECT_EQ(signature, 0xFFFF) << id;
    EXPECT_EQ(style & DS_SHELLFONT, static_cast<DWORD>(DS_SHELLFONT)) << id;
    const std::wstring text(reinterpret_cast<const wchar_t*>(dialog.data()), dialog.size() / 2);
    EXPECT_NE(text.find(L"MS Shell Dlg"), std::wstring::npos) << id;
  }
}

TEST_F(StubResources, VersionInformationIsChinese) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(exe_path().c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::string block(size, '\0');
  ASSERT_TRUE(::GetFileVersionInfoW(exe_path().c_str(), 0, size, block.data()));
  wchar_t* description = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(block.data(), L"\\StringFileInfo\\080404B0\\FileDescription",
                               reinterpret_cast<void**>(&description), &length));
  EXPECT_EQ(std::wstring(description), L"自解压程序");
}

}  // namespace
