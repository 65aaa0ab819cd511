// StubPayload: the embedded kzsfx.exe must be the very bytes of the built stub, import only
// system DLLs and live in constant data. That it is a stripped GUI image ending with its last
// section is checked when it is embedded (cmake/CheckStubImage.cmake).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/stub_payload.h"
#include "base/memory.h"

namespace quillet {
namespace {

// Reads a header structure at an offset of the payload, failing the test when it does not fit.
template <typename T>
bool ReadAt(ByteView image, std::size_t offset, T& out) {
  if (offset > image.size() || image.size() - offset < sizeof(T)) return false;
  std::memcpy(&out, image.data() + offset, sizeof(T));
  return true;
}

struct PeView {
  IMAGE_FILE_HEADER file{};
  IMAGE_OPTIONAL_HEADER32 optional{};
  std::vector<IMAGE_SECTION_HEADER> sections;
};

::testing::AssertionResult ParsePe(ByteView image, PeView& pe) {
  IMAGE_DOS_HEADER dos{};
  if (!ReadAt(image, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE)
    return ::testing::AssertionFailure() << "no MZ header";
  DWORD signature = 0;
  const std::size_t nt = static_cast<std::size_t>(dos.e_lfanew);
  if (!ReadAt(image, nt, signature) || signature != IMAGE_NT_SIGNATURE)
    return ::testing::AssertionFailure() << "no PE signature";
  if (!ReadAt(image, nt + 4, pe.file)) return ::testing::AssertionFailure() << "no file header";
  const std::size_t optional = nt + 4 + sizeof(IMAGE_FILE_HEADER);
  if (pe.file.SizeOfOptionalHeader < sizeof(IMAGE_OPTIONAL_HEADER32) ||
      !ReadAt(image, optional, pe.optional))
    return ::testing::AssertionFailure() << "no PE32 optional header";
  std::size_t at = optional + pe.file.SizeOfOptionalHeader;
  pe.sections.resize(pe.file.NumberOfSections);
  for (auto& section : pe.sections) {
    if (!ReadAt(image, at, section)) return ::testing::AssertionFailure() << "section table cut";
    at += sizeof(IMAGE_SECTION_HEADER);
  }
  return ::testing::AssertionSuccess();
}

// File offset of a relative virtual address, or 0 when no section holds it.
std::size_t OffsetOfRva(const PeView& pe, DWORD rva) {
  for (const auto& section : pe.sections) {
    const DWORD size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
    if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size)
      return section.PointerToRawData + (rva - section.VirtualAddress);
  }
  return 0;
}

std::string CString(ByteView image, std::size_t offset) {
  std::string text;
  while (offset < image.size() && image[offset] != 0) text += static_cast<char>(image[offset++]);
  return text;
}

std::vector<std::uint8_t> ReadHostFile(const std::string& unixPath) {
  // Wine maps the Unix root to drive Z:.
  std::ifstream in("Z:" + unixPath, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(StubPayloadImage, EqualsTheBuiltStubFile) {
  const std::vector<std::uint8_t> file = ReadHostFile(QUILLET_STUB_FILE);
  ASSERT_FALSE(file.empty()) << "cannot read " << QUILLET_STUB_FILE;
  const ByteView stub = StubPayload();
  ASSERT_EQ(stub.size(), file.size());
  EXPECT_TRUE(std::equal(stub.begin(), stub.end(), file.begin()));
}

TEST(StubPayloadImage, ImportsOnlyDllsFromTheSystemFolder) {
  const ByteView stub = StubPayload();
  PeView pe;
  ASSERT_TRUE(ParsePe(stub, pe));
  const IMAGE_DATA_DIRECTORY directory = pe.optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  ASSERT_NE(directory.VirtualAddress, 0u);
  std::size_t at = OffsetOfRva(pe, directory.VirtualAddress);
  ASSERT_NE(at, 0u);

  char systemFolder[MAX_PATH] = {};
  ASSERT_NE(GetSystemDirectoryA(systemFolder, MAX_PATH), 0u);
  std::vector<std::string> names;
  for (IMAGE_IMPORT_DESCRIPTOR entry{}; ReadAt(stub, at, entry) && entry.Name != 0;
       at += sizeof entry) {
    const std::size_t nameAt = OffsetOfRva(pe, entry.Name);
    ASSERT_NE(nameAt, 0u);
    names.push_back(CString(stub, nameAt));
  }
  ASSERT_FALSE(names.empty());
  bool kernel32 = false;
  for (const std::string& name : names) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    kernel32 = kernel32 || lower == "kernel32.dll";
    // MinGW's own runtime DLLs (libgcc_s, libstdc++, libwinpthread) are not on a user's system.
    EXPECT_NE(lower.rfind("lib", 0), 0u) << name << " is a MinGW runtime DLL";
    const std::string path = std::string(systemFolder) + "\\" + name;
    EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES)
        << name << " is not in " << systemFolder;
  }
  EXPECT_TRUE(kernel32) << "import table not read correctly";
}

TEST(StubPayloadMemory, LiesInConstantDataSoFreeingItDoesNothing) {
  const ByteView stub = StubPayload();
  ASSERT_FALSE(stub.empty());
  EXPECT_TRUE(IsConstantData(stub.data()));
  EXPECT_TRUE(IsConstantData(stub.data() + stub.size() - 1));
  const std::vector<std::uint8_t> before(stub.begin(), stub.end());
  FreeMemory(stub.data());
  EXPECT_TRUE(std::equal(stub.begin(), stub.end(), before.begin(), before.end()));
  // Its pages are read-only: a stray write could never change what is embedded.
  MEMORY_BASIC_INFORMATION info{};
  ASSERT_NE(VirtualQuery(stub.data(), &info, sizeof info), 0u);
  EXPECT_EQ(info.Protect & (PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE), 0u);
}

}  // namespace
}  // namespace quillet
