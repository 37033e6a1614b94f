#include "app/patch_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace tambrel {
namespace {

namespace fs = std::filesystem;

class PatchListTest : public ::testing::Test {
 protected:
  PatchListTest() : Folder(testing::TempDir() + "/patch-list-" + std::to_string(::getpid()) + "/") {
    fs::remove_all(Folder);
    fs::create_directories(Folder);
  }
  ~PatchListTest() override { fs::remove_all(Folder); }
  void Touch(const std::string& name) { std::ofstream(Folder + name) << "patch"; }

  const std::string Folder;
};

TEST_F(PatchListTest, ListsPatchFilesAndWritesTheirNames) {
  for (const char* name : {"b.pch", "A.PCH", "a.pch", "c.txt", "x.pch.pch", ".h.pch", "\xE9t\xE9.pch",
                           "two\nlines.pch", "pch", ".pch"})
    Touch(name);
  fs::create_directory(Folder + "d.pch");
  fs::create_symlink("b.pch", Folder + "link.pch");
  fs::create_symlink("nowhere.pch", Folder + "gone.pch");
  fs::create_symlink("d.pch", Folder + "dirlink.pch");

  const std::vector<std::string> listed = ListPatchFiles(Folder);
  // Letter case is ignored (ties by bytes); bytes above ASCII come after it.
  EXPECT_EQ(listed, (std::vector<std::string>{"A.PCH", "a.pch", "b.pch", "link.pch", "two\nlines.pch",
                                              "x.pch.pch", "\xE9t\xE9.pch"}));
  std::vector<std::string> skipped;
  EXPECT_EQ(PatchListBytes(listed, skipped), "1\r\nA.PCH\r\na.pch\r\nb.pch\r\nlink.pch\r\n\xE9t\xE9.pch\r\n");
  EXPECT_EQ(skipped, (std::vector<std::string>{"two\nlines.pch"}));
  EXPECT_FALSE(IsListedPatchName("x.PCH.pch"));
  EXPECT_TRUE(IsListedPatchName("xpch.Pch"));
}

// No patch files give the first line only; an empty or missing root, or a file, lists nothing.
TEST_F(PatchListTest, NoPatchFilesAndNoRootListNothing) {
  std::vector<std::string> skipped;
  EXPECT_EQ(PatchListBytes({}, skipped), "1\r\n");
  EXPECT_EQ(PatchListBytes({"x.pch.pch", "a.txt"}, skipped), "1\r\n");
  EXPECT_TRUE(skipped.empty());
  Touch("c.txt");
  Touch("bank1.pchlist");
  Touch("here.pch");
  // Even from inside a folder of patch files an empty root is not the working directory.
  const fs::path before = fs::current_path();
  fs::current_path(Folder);
  const std::vector<std::string> fromEmpty = ListPatchFiles("");
  const std::vector<std::string> fromMissing = ListPatchFiles("missing/");
  fs::current_path(before);
  EXPECT_TRUE(fromEmpty.empty());
  EXPECT_TRUE(fromMissing.empty());
  EXPECT_TRUE(ListPatchFiles(Folder + "here.pch").empty());  // a file is no folder
  // The folder without its '/'; c.txt and bank1.pchlist are no patch files.
  EXPECT_EQ(ListPatchFiles(Folder.substr(0, Folder.size() - 1)), (std::vector<std::string>{"here.pch"}));
}

}  // namespace
}  // namespace tambrel
