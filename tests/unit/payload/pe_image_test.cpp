// The PE reader: the import table and manifest of the updater.exe the
// Windows builds made, and hand-made images at the reader's limits.
#include "payload/pe_image.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "unit/payload/pe_builder.h"

namespace {

using testpe::ImageImporting;
using testpe::Set32;

int Open(const std::string& bytes, PeImage* pe) {
  return PeOpen(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), pe);
}

int Imports(const std::string& bytes, std::vector<std::string>* names) {
  PeImage pe;
  int rc = Open(bytes, &pe);
  return rc != 0 ? rc : PeImportNames(pe, names);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

// The updater that ships (i686) and its x86_64 twin that the tests run.
void CheckBuiltUpdater(const std::string& build) {
  std::string folder = std::string(UPD_SOURCE_DIR) + "/build/" + build;
  if (!Exists(folder + "/CMakeCache.txt")) {
    std::cout << "build/" << build << " is not configured: its updater is not checked\n";
    return;
  }
  std::string bytes = ReadFile(folder + "/bin/updater.exe");
  ASSERT_FALSE(bytes.empty()) << "build/" << build << " is configured but has no bin/updater.exe";
  std::vector<std::string> names;
  ASSERT_EQ(Imports(bytes, &names), 0) << build;
  EXPECT_GE(names.size(), 4u) << build;
  bool kernel = false;
  for (const std::string& name : names) {
    EXPECT_TRUE(PeIsKnownDll(name)) << build << " imports " << name;
    if (PeIsKnownDll(name) && (name == "KERNEL32.dll" || name == "kernel32.dll")) kernel = true;
  }
  EXPECT_TRUE(kernel) << build << ": kernel32 missing, the table was misread";

  PeImage pe;
  ASSERT_EQ(Open(bytes, &pe), 0);
  size_t at = 0, length = 0;
  ASSERT_EQ(PeFindResource(pe, 24, 1, &at, &length), 0) << build << ": no RT_MANIFEST 1";
  EXPECT_NE(PeFindResource(pe, 24, 2, &at, &length), 0) << "only one manifest";
  ASSERT_EQ(PeFindResource(pe, 24, 1, &at, &length), 0);
  std::string manifest = bytes.substr(at, length);
  EXPECT_EQ(manifest.find("<?xml"), 0u) << "the resource's data, not something near it";
  EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
  for (const char* os : {"35138b9a-5d96-4fbd-8e2d-a2440225f93a",     // 7
                         "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",     // 8
                         "1f676c76-80e1-4239-95bb-83d0f6d0da78",     // 8.1
                         "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) {  // 10, 11
    EXPECT_NE(manifest.find(std::string("<supportedOS Id=\"{") + os + "}\"/>"), std::string::npos)
        << os;
  }
  EXPECT_EQ(manifest.find("dpiAware"), std::string::npos);
  EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos);
}

TEST(PeImage, BuiltUpdaterImportsOnlyKnownDllsAndCarriesItsManifest) {
  CheckBuiltUpdater("win");
  CheckBuiltUpdater("win64");
}

TEST(PeImage, ImportNamesInOrderToTheTerminator) {
  std::vector<std::string> names;
  ASSERT_EQ(Imports(ImageImporting({"KERNEL32.dll", "WINMM.DLL", "user32.dll"}), &names), 0);
  EXPECT_EQ(names, (std::vector<std::string>{"KERNEL32.dll", "WINMM.DLL", "user32.dll"}));

  // The loader stops at the first descriptor without an address table.
  std::string cut = ImageImporting({"a.dll", "b.dll", "c.dll"});
  Set32(&cut, testpe::kSectionData + 20 + 16, 0);
  ASSERT_EQ(Imports(cut, &names), 0);
  EXPECT_EQ(names, (std::vector<std::string>{"a.dll"}));

  // No import table at all.
  ASSERT_EQ(Imports(ImageImporting({}), &names), 0);
  EXPECT_TRUE(names.empty());
}

TEST(PeImage, ImportTablesRunningPastTheirSectionAreDamaged) {
  std::vector<std::string> names;
  // The table starts 19 bytes before the section's end: not one whole
  // descriptor, though the file goes on (zeros, as a payload may start).
  std::string image = ImageImporting({"a.dll"}) + std::string(64, '\0');
  Set32(&image, testpe::kImportDirectoryField,
        testpe::kSectionAddress + testpe::kSectionBytes - 19);
  EXPECT_EQ(Imports(image, &names), -1);
  // 20 bytes: one whole all-zero descriptor, an empty table.
  Set32(&image, testpe::kImportDirectoryField,
        testpe::kSectionAddress + testpe::kSectionBytes - 20);
  EXPECT_EQ(Imports(image, &names), 0);
  EXPECT_TRUE(names.empty());

  // A table in the headers, its terminator their last 20 bytes (0x1EC..0x200).
  image = ImageImporting({"a.dll"});
  image.replace(0x1D8, 20, image.substr(testpe::kSectionData, 20));
  Set32(&image, testpe::kImportDirectoryField, 0x1D8);
  ASSERT_EQ(Imports(image, &names), 0);
  EXPECT_EQ(names, (std::vector<std::string>{"a.dll"}));

  // The file cut inside the section: the section header promises bytes it lacks.
  image = ImageImporting({"a.dll"});
  image.resize(testpe::kSectionData + 10);
  EXPECT_EQ(Imports(image, &names), -1);

  // An address outside every section.
  image = ImageImporting({"a.dll"});
  Set32(&image, testpe::kImportDirectoryField, 0x5000);
  EXPECT_EQ(Imports(image, &names), -1);
}

TEST(PeImage, DllNamesMustEndInsideTheFile) {
  std::vector<std::string> names;
  // The name is the section's last bytes, without its NUL; the file goes on
  // with a NUL that belongs to no section.
  std::string image = ImageImporting({"a.dll"}) + std::string(16, '\0');
  const std::string tail = "winmm.dll";
  size_t at = testpe::kSectionData + testpe::kSectionBytes - tail.size();
  image.replace(at, tail.size(), tail);
  Set32(&image, testpe::kSectionData + 12,
        testpe::kSectionAddress + testpe::kSectionBytes - static_cast<uint32_t>(tail.size()));
  EXPECT_EQ(Imports(image, &names), -1);
  // One byte earlier, the NUL fits as the section's last byte.
  image.replace(at - 1, tail.size() + 1, tail + '\0');
  Set32(&image, testpe::kSectionData + 12,
        testpe::kSectionAddress + testpe::kSectionBytes - static_cast<uint32_t>(tail.size()) - 1);
  ASSERT_EQ(Imports(image, &names), 0);
  EXPECT_EQ(names, (std::vector<std::string>{"winmm.dll"}));

  // A name of 300 bytes before its NUL is no DLL name.
  image = ImageImporting({std::string(300, 'x')});
  EXPECT_EQ(Imports(image, &names), -1);
}

TEST(PeImage, HeadersThatAreNotAnImageOrCutShort) {
  PeImage pe;
  EXPECT_EQ(Open("", &pe), kPeNotAnImage);
  std::string image = ImageImporting({"a.dll"});
  EXPECT_EQ(Open(image.substr(0, 63), &pe), kPeNotAnImage);
  std::string bad = image;
  bad[65] = 'X';  // "PX\0\0"
  EXPECT_EQ(Open(bad, &pe), kPeNotAnImage);
  bad = image;
  Set32(&bad, 0x3C, static_cast<uint32_t>(image.size()) - 3);  // header pointer at the end
  EXPECT_EQ(Open(bad, &pe), kPeNotAnImage);
  // The section table would end past the file.
  bad = image;
  testpe::Set16(&bad, 70, 20);
  EXPECT_EQ(Open(bad, &pe), -1);
  // More data directories than the optional header holds.
  bad = image;
  Set32(&bad, 88 + 92, 17);
  EXPECT_EQ(Open(bad, &pe), -1);
  bad = image;
  testpe::Set16(&bad, 88, 0x107);  // neither PE32 nor PE32+
  EXPECT_EQ(Open(bad, &pe), -1);
  EXPECT_EQ(Open(image, &pe), 0);
}

TEST(PeImage, KnownDlls) {
  for (const char* known : {"KERNEL32.dll", "msvcrt.dll", "ole32.DLL", "Shell32.dll", "ws2_32.dll"})
    EXPECT_TRUE(PeIsKnownDll(known)) << known;
  for (const char* other : {"WINMM.DLL", "comctl32.dll", "version.dll", "kernel32", "kernel32.dl",
                            "xkernel32.dll", "kernel32.dll.dll", ".dll"})
    EXPECT_FALSE(PeIsKnownDll(other)) << other;
}

}  // namespace
