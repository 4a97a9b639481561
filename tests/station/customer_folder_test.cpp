// Which folders the files button may hand to the file manager.
#include <gtest/gtest.h>

#include <filesystem>

#include "station/StationFiles.h"
#include "support/TempDir.h"

TEST(CustomerFolder, OnlyFoldersDirectlyUnderTheImageRootAreOpenedAndMissingOnesAreMade) {
    namespace fs = std::filesystem;
    TempDir scratch;
    const std::string root = scratch.Path() + "Guests-Image";
    scratch.Write("Guests-Image/notes.txt", "x");
    fs::create_directories(scratch.Path() + "elsewhere");
    fs::create_directory_symlink(scratch.Path() + "elsewhere", root + "/link");
    const std::pair<std::string, bool> cases[] = {
        {root + "/Anna", true},       {root + "/Bert/", true},   {root, false},
        {root + "/..", false},        {root + "/Anna/x", false}, {scratch.Path() + "elsewhere", false},
        {root + "/link", false},      {root + "/notes.txt", false},
    };
    for (const auto& [folder, ok] : cases) {
        wxString why;
        EXPECT_EQ(PrepareCustomerFolder(wxString::FromUTF8(folder), wxString::FromUTF8(root), &why), ok) << folder;
        EXPECT_EQ(why.empty(), ok) << folder;
    }
    // Missing ones were made; nothing deeper was.
    EXPECT_TRUE(fs::is_directory(root + "/Anna") && fs::is_directory(root + "/Bert"));
    EXPECT_FALSE(fs::exists(root + "/Anna/x"));
}
